// Standard input, output and combined streams over a shared socket.
#pragma once

#include "net/VSocketBuffer.h"

#include <istream>
#include <memory>
#include <ostream>

/// An input stream over a socket; a receive error sets its bad bit, the peer's orderly close
/// its end-of-file bit. Threading contract: one reading thread. Not copyable.
template <class CharT, class Traits = std::char_traits<CharT>>
class basic_VSocketInputStream : public std::basic_istream<CharT, Traits>
{
public:
    explicit basic_VSocketInputStream(std::shared_ptr<VSocketSimple> socket)
        : std::basic_istream<CharT, Traits>(nullptr), m_Buffer(std::move(socket))
    {
        this->init(&m_Buffer);
        m_Buffer.SetErrorSink(this);
    }

    const std::shared_ptr<VSocketSimple>& GetSocket() const { return m_Buffer.GetSocket(); }
    basic_VSocketBuffer<CharT, Traits>* rdbuf() const
    {
        return const_cast<basic_VSocketBuffer<CharT, Traits>*>(&m_Buffer);
    }

private:
    basic_VSocketBuffer<CharT, Traits> m_Buffer;
};

/// An output stream over a socket; bytes leave on flush. A failed send sets the bad bit.
/// Threading contract: one writing thread. Not copyable.
template <class CharT, class Traits = std::char_traits<CharT>>
class basic_VSocketOutputStream : public std::basic_ostream<CharT, Traits>
{
public:
    explicit basic_VSocketOutputStream(std::shared_ptr<VSocketSimple> socket)
        : std::basic_ostream<CharT, Traits>(nullptr), m_Buffer(std::move(socket))
    {
        this->init(&m_Buffer);
    }

    const std::shared_ptr<VSocketSimple>& GetSocket() const { return m_Buffer.GetSocket(); }
    basic_VSocketBuffer<CharT, Traits>* rdbuf() const
    {
        return const_cast<basic_VSocketBuffer<CharT, Traits>*>(&m_Buffer);
    }

private:
    basic_VSocketBuffer<CharT, Traits> m_Buffer;
};

/// Reading and writing over one socket and one buffer. Threading contract: one thread at a
/// time. Not copyable.
template <class CharT, class Traits = std::char_traits<CharT>>
class basic_VSocketStream : public std::basic_iostream<CharT, Traits>
{
public:
    explicit basic_VSocketStream(std::shared_ptr<VSocketSimple> socket)
        : std::basic_iostream<CharT, Traits>(nullptr), m_Buffer(std::move(socket))
    {
        this->init(&m_Buffer);
        m_Buffer.SetErrorSink(this);
    }

    const std::shared_ptr<VSocketSimple>& GetSocket() const { return m_Buffer.GetSocket(); }
    basic_VSocketBuffer<CharT, Traits>* rdbuf() const
    {
        return const_cast<basic_VSocketBuffer<CharT, Traits>*>(&m_Buffer);
    }

private:
    basic_VSocketBuffer<CharT, Traits> m_Buffer;
};

using VSocketInputStream = basic_VSocketInputStream<char>;
using VSocketOutputStream = basic_VSocketOutputStream<char>;
using VSocketStream = basic_VSocketStream<char>;
