#include "devices/camerawire/VGreyscaleDatagramBuffer.h"

#include "devices/IDatagramSink.h"
#include "devices/camerawire/CameraRecords.h"

#include <cstdio>
#include <cstring>

namespace
{

void CopyBytes(std::uint8_t* out, const std::uint8_t* bytes, std::size_t length)
{
    if (length > 0)
        std::memcpy(out, bytes, length);
}

} // namespace

void VGreyscaleDatagramBuffer::BeginFrame(IDatagramSink& sink, DatagramHeader_t* headerTemplate,
                                          std::uint32_t deviceId)
{
    m_Sink = &sink;
    m_Template = headerTemplate;
    m_DeviceId = deviceId;
    m_BytesSent = 0;
    m_Fill = 0;
}

bool VGreyscaleDatagramBuffer::Append(const std::uint8_t* head, std::size_t headLength,
                                      const std::uint8_t* tail, std::size_t tailLength,
                                      bool countInTemplate)
{
    if (m_Sink == nullptr)
        return false;
    const std::size_t itemLength = headLength + tailLength;
    if (m_Fill > 0 && m_Fill + itemLength > Capacity)
    {
        SendDatagram(m_Datagram.data(), m_Fill);
        m_Fill = 0;
    }
    if (m_Fill == 0)
    {
        const std::size_t opening = m_Template != nullptr ? DatagramHeader_t::Size : 0;
        if (opening + itemLength > Capacity)
            return SendOversized(head, headLength, tail, tailLength, countInTemplate);
        m_Fill = OpenDatagram(m_Datagram.data());
    }
    CopyBytes(m_Datagram.data() + m_Fill, head, headLength);
    CopyBytes(m_Datagram.data() + m_Fill + headLength, tail, tailLength);
    m_Fill += itemLength;
    if (countInTemplate && m_Template != nullptr)
        m_Template->PayloadBytes += static_cast<std::uint32_t>(itemLength);
    return true;
}

void VGreyscaleDatagramBuffer::Close()
{
    if (m_Sink == nullptr)
        return;
    // Every datagram of a frame with a template opens with a header, so the flag always
    // lands in one; an empty buffer has none to mark.
    if (m_Template != nullptr && m_Fill >= DatagramHeader_t::Size)
        DatagramHeader_t::MarkLast(m_Datagram.data());
    SendDatagram(m_Datagram.data(), m_Fill);
    m_Fill = 0;
    m_Sink = nullptr;
    m_Template = nullptr;
}

void VGreyscaleDatagramBuffer::SendDatagram(const std::uint8_t* bytes, std::size_t length)
{
    if (m_Sink->Send(bytes, length))
        m_BytesSent += static_cast<std::uint32_t>(length);
}

std::size_t VGreyscaleDatagramBuffer::OpenDatagram(std::uint8_t* out)
{
    if (m_Template == nullptr)
        return 0;
    m_Template->Encode(out);
    ++m_Template->Index;
    return DatagramHeader_t::Size;
}

bool VGreyscaleDatagramBuffer::SendOversized(const std::uint8_t* head, std::size_t headLength,
                                             const std::uint8_t* tail, std::size_t tailLength,
                                             bool countInTemplate)
{
    const std::size_t opening = m_Template != nullptr ? DatagramHeader_t::Size : 0;
    const std::size_t itemLength = headLength + tailLength;
    if (opening + itemLength > CameraData::MaxUdpPayload)
    {
        ++m_DroppedItems;
        std::printf("%u: Greyscale item of %zu bytes does not fit in one datagram; dropped\n",
                    m_DeviceId, itemLength);
        std::fflush(stdout);
        return false;
    }
    // Grows once to the largest size seen, then is reused.
    m_Oversized.resize(opening + itemLength);
    std::uint8_t* out = m_Oversized.data();
    OpenDatagram(out);
    CopyBytes(out + opening, head, headLength);
    CopyBytes(out + opening + headLength, tail, tailLength);
    if (countInTemplate && m_Template != nullptr)
        m_Template->PayloadBytes += static_cast<std::uint32_t>(itemLength);
    SendDatagram(out, opening + itemLength);
    return true;
}
