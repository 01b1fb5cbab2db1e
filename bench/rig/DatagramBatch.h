// Receiving up to a batch of datagrams from one socket in one call (recvmmsg), with room for
// each datagram's control messages (kernel time stamps).
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <vector>

/// Fixed buffers for Batch datagrams of up to MaxDatagram bytes each, reused by every Receive.
/// One thread at a time. Not copyable (the headers point into the buffers).
class VDatagramBatch
{
public:
    static constexpr unsigned Batch = 64;
    static constexpr std::size_t MaxDatagram = 2048;
    static constexpr std::size_t ControlBytes = 64;

    VDatagramBatch()
        : m_Buffers(Batch * MaxDatagram), m_Controls(Batch * ControlBytes), m_Vectors(Batch),
          m_Messages(Batch)
    {
    }
    VDatagramBatch(const VDatagramBatch&) = delete;
    VDatagramBatch& operator=(const VDatagramBatch&) = delete;

    /// Takes what is waiting on `handle` without blocking; returns how many datagrams (0 when
    /// none or on an error).
    unsigned Receive(int handle)
    {
        for (unsigned i = 0; i < Batch; ++i)
        {
            m_Vectors[i] = {m_Buffers.data() + i * MaxDatagram, MaxDatagram};
            m_Messages[i] = {};
            m_Messages[i].msg_hdr.msg_iov = &m_Vectors[i];
            m_Messages[i].msg_hdr.msg_iovlen = 1;
            m_Messages[i].msg_hdr.msg_control = m_Controls.data() + i * ControlBytes;
            m_Messages[i].msg_hdr.msg_controllen = ControlBytes;
        }
        const int count = ::recvmmsg(handle, m_Messages.data(), Batch, MSG_DONTWAIT, nullptr);
        return count > 0 ? static_cast<unsigned>(count) : 0;
    }

    const std::uint8_t* Data(unsigned i) const { return m_Buffers.data() + i * MaxDatagram; }
    std::size_t Length(unsigned i) const { return m_Messages[i].msg_len; }
    msghdr& Header(unsigned i) { return m_Messages[i].msg_hdr; }

private:
    std::vector<std::uint8_t> m_Buffers;
    std::vector<std::uint8_t> m_Controls;
    std::vector<iovec> m_Vectors;
    std::vector<mmsghdr> m_Messages;
};
