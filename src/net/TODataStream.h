// Binds the typed writer interface to a standard output stream.
#pragma once

#include "net/VODataStream.h"

/// Writer over a standard output stream (kept by reference, not owned); the encoding is left to
/// a subclass. Threading contract: as the underlying stream, one writing thread.
template <class OStreamT> class TODataStream : public VODataStream
{
public:
    explicit TODataStream(OStreamT& stream) : m_Out(stream) {}
    TODataStream(const TODataStream&) = delete;
    TODataStream& operator=(const TODataStream&) = delete;

    OStreamT& GetOStream() { return m_Out; }
    const OStreamT& GetOStream() const { return m_Out; }

    bool Flush() override
    {
        m_Out.flush();
        return !m_Out.fail();
    }
    bool good() const override { return m_Out.good(); }
    bool bad() const override { return m_Out.bad(); }

protected:
    OStreamT& m_Out;
};
