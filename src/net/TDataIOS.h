// Ownership of the standard stream under a data stream.
#pragma once

#include <memory>

/// Holds the standard stream object a data stream works on and deletes it with itself.
/// Not copyable.
template <class StreamT> class TDataIOS
{
public:
    explicit TDataIOS(std::unique_ptr<StreamT> stream) : m_Stream(std::move(stream)) {}
    TDataIOS(const TDataIOS&) = delete;
    TDataIOS& operator=(const TDataIOS&) = delete;

    StreamT& GetStdStream() { return *m_Stream; }
    const StreamT& GetStdStream() const { return *m_Stream; }

private:
    std::unique_ptr<StreamT> m_Stream;
};
