// Binds the typed reader interface to a standard input stream.
#pragma once

#include "net/VIDataStream.h"

/// Reader over a standard input stream (kept by reference, not owned); the encoding is left to
/// a subclass. Threading contract: as the underlying stream, one reading thread.
template <class IStreamT> class TIDataStream : public VIDataStream
{
public:
    explicit TIDataStream(IStreamT& stream) : m_In(stream) {}
    TIDataStream(const TIDataStream&) = delete;
    TIDataStream& operator=(const TIDataStream&) = delete;

    IStreamT& GetIStream() { return m_In; }
    const IStreamT& GetIStream() const { return m_In; }

    bool good() const override { return m_In.good(); }
    bool eof() const override { return m_In.eof(); }
    bool fail() const override { return m_In.fail(); }
    bool bad() const override { return m_In.bad(); }

protected:
    IStreamT& m_In;
};
