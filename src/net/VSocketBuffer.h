// A standard stream buffer over a shared socket: 4096-byte receive blocks, a growing send
// area that leaves on flush.
#pragma once

#include "net/VSocketSimple.h"

#include <algorithm>
#include <cstddef>
#include <ios>
#include <memory>
#include <streambuf>
#include <vector>

/// Stream buffer over a VSocketSimple held by a shared handle (the socket lives as long as any
/// buffer or owner holds it).
///
/// Input: each underflow receives up to ReceiveBlockSize bytes; 0 bytes is the end of the
/// stream. Bulk reads of at least one block go straight into the caller's memory. A receive
/// error (including a receive time-out) makes the stream registered with SetErrorSink bad and
/// reads end; no exception leaves the buffer (unless the stream's own exception mask asks for
/// it).
/// Output: nothing is sent until a flush (sync). The send area starts empty, takes
/// InitialSendCapacity bytes on the first write and doubles as needed up to MaxSendCapacity;
/// beyond that, pending bytes are sent before more are taken, so memory stays bounded. A flush
/// sends everything pending, looping over partial sends, and keeps the capacity; a flush with
/// nothing pending sends nothing and succeeds. Unflushed bytes are dropped on destruction.
///
/// Threading contract: the get side is used by one thread and the put side by one thread
/// (they may differ); the socket may be interrupted from any thread. Not copyable.
template <class CharT, class Traits = std::char_traits<CharT>>
class basic_VSocketBuffer : public std::basic_streambuf<CharT, Traits>
{
    static_assert(sizeof(CharT) == 1, "socket buffers carry bytes");
    using Base = std::basic_streambuf<CharT, Traits>;

public:
    using char_type = CharT;
    using traits_type = Traits;
    using int_type = typename Traits::int_type;

    static constexpr size_t ReceiveBlockSize = 4096;
    static constexpr size_t InitialSendCapacity = 4096;
    static constexpr size_t MaxSendCapacity = size_t{1} << 20;

    explicit basic_VSocketBuffer(std::shared_ptr<VSocketSimple> socket)
        : m_Socket(std::move(socket)), m_GetArea(ReceiveBlockSize)
    {
        CharT* block = m_GetArea.data();
        this->setg(block, block, block);
        this->setp(nullptr, nullptr);
    }
    basic_VSocketBuffer(const basic_VSocketBuffer&) = delete;
    basic_VSocketBuffer& operator=(const basic_VSocketBuffer&) = delete;

    const std::shared_ptr<VSocketSimple>& GetSocket() const { return m_Socket; }
    /// True once a receive has failed.
    bool HasReceiveError() const { return m_ReceiveError; }
    /// The stream whose bad bit reports receive errors; kept, not owned.
    void SetErrorSink(std::basic_ios<CharT, Traits>* sink) { m_ErrorSink = sink; }
    /// Bytes written and not yet flushed.
    size_t GetPendingSize() const { return static_cast<size_t>(this->pptr() - this->pbase()); }
    size_t GetSendCapacity() const { return m_PutArea.size(); }

protected:
    int_type underflow() override
    {
        if (this->gptr() < this->egptr())
            return Traits::to_int_type(*this->gptr());
        CharT* block = m_GetArea.data();
        const int received = Receive(block, ReceiveBlockSize);
        if (received <= 0)
            return Traits::eof();
        this->setg(block, block, block + received);
        return Traits::to_int_type(*this->gptr());
    }

    std::streamsize xsgetn(CharT* target, std::streamsize count) override
    {
        std::streamsize done = 0;
        while (done < count)
        {
            const std::streamsize buffered = this->egptr() - this->gptr();
            if (buffered > 0)
            {
                const std::streamsize take = std::min(buffered, count - done);
                Traits::copy(target + done, this->gptr(), static_cast<size_t>(take));
                this->gbump(static_cast<int>(take));
                done += take;
                continue;
            }
            const std::streamsize wanted = count - done;
            if (wanted < static_cast<std::streamsize>(ReceiveBlockSize))
            {
                // Small reads go through the block so that a run of them costs one receive.
                if (Traits::eq_int_type(underflow(), Traits::eof()))
                    break;
                continue;
            }
            const int received = Receive(target + done, static_cast<size_t>(wanted));
            if (received <= 0)
                break;
            done += received;
        }
        return done;
    }

    std::streamsize showmanyc() override
    {
        if (!m_Socket || !m_Socket->IsValid())
            return -1;
        std::vector<VSocketSimple*> readers{m_Socket.get()};
        std::vector<VSocketSimple*> writers;
        if (!VSocketSimple::Select(readers, writers, 0))
        {
            ReportReceiveError();
            return -1;
        }
        return readers.empty() ? 0 : 1;
    }

    int_type overflow(int_type c) override
    {
        if (Traits::eq_int_type(c, Traits::eof()))
            return Traits::not_eof(c);
        if (this->pptr() == this->epptr() && !GrowSendArea())
            return Traits::eof();
        *this->pptr() = Traits::to_char_type(c);
        this->pbump(1);
        return c;
    }

    int sync() override
    {
        const size_t pending = GetPendingSize();
        size_t sent = 0;
        while (sent < pending)
        {
            const int result = m_Socket ? m_Socket->Send(this->pbase() + sent, pending - sent) : -1;
            if (result <= 0)
            {
                // The connection is gone: drop what cannot be sent so memory stays bounded.
                ResetSendArea();
                return -1;
            }
            sent += static_cast<size_t>(result);
        }
        ResetSendArea();
        return 0;
    }

private:
    /// Receives into `target`; reports an error to the sink. Returns the platform count.
    int Receive(CharT* target, size_t length)
    {
        const int received = m_Socket ? m_Socket->Receive(target, length) : -1;
        if (received < 0)
            ReportReceiveError();
        return received;
    }

    void ReportReceiveError()
    {
        m_ReceiveError = true;
        if (m_ErrorSink != nullptr)
            m_ErrorSink->setstate(std::ios_base::badbit);
    }

    void ResetSendArea()
    {
        CharT* start = m_PutArea.data();
        this->setp(start, start + m_PutArea.size());
    }

    /// Makes room for at least one more byte: doubles the area (keeping pending bytes) or,
    /// at the maximum, sends what is pending. False when that send fails.
    bool GrowSendArea()
    {
        if (m_PutArea.size() >= MaxSendCapacity)
            return sync() == 0;
        const size_t pending = GetPendingSize();
        const size_t capacity = m_PutArea.empty() ? InitialSendCapacity
                                                  : std::min(m_PutArea.size() * 2, MaxSendCapacity);
        m_PutArea.resize(capacity);
        CharT* start = m_PutArea.data();
        this->setp(start, start + capacity);
        this->pbump(static_cast<int>(pending));
        return true;
    }

    std::shared_ptr<VSocketSimple> m_Socket;
    std::vector<CharT> m_GetArea;
    std::vector<CharT> m_PutArea;
    bool m_ReceiveError = false;
    std::basic_ios<CharT, Traits>* m_ErrorSink = nullptr;
};

using VSocketBuffer = basic_VSocketBuffer<char>;
