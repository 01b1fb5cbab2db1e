#include "devices/syncunit/VAnalogueDatagramWriter.h"

#include "FileIO/ByteCodec.h"
#include "devices/IDatagramSink.h"

void VAnalogueDatagramWriter::Begin(IDatagramSink& sink, std::uint32_t slot, std::uint32_t deviceId,
                                    std::uint32_t frame, std::uint32_t previous)
{
    m_Sink = &sink;
    m_Fields = SyncUnitWire::VAnalogueTrailerFields{};
    m_Fields.Slot = static_cast<std::uint16_t>(slot);
    m_Fields.DeviceId = deviceId;
    m_Fields.Frame = frame;
    m_Fields.Previous = previous;
    m_Pending = 0;
    m_DataBytes = 0;
    m_BytesSent = 0;
}

void VAnalogueDatagramWriter::StoreSample(std::int16_t sample)
{
    LittleEndian::StoreU16(m_Datagram.data() + 2 * m_Pending, static_cast<std::uint16_t>(sample));
    ++m_Pending;
    m_DataBytes += 2;
}

void VAnalogueDatagramWriter::Flush()
{
    if (m_Pending == 0 || m_Sink == nullptr)
        return;
    const std::size_t bytes = 2 * m_Pending;
    if (m_Sink->Send(m_Datagram.data(), bytes))
        m_BytesSent += static_cast<std::uint32_t>(bytes);
    m_Pending = 0;
}

std::uint32_t VAnalogueDatagramWriter::Finish(std::uint32_t runningTotal, std::uint32_t instants,
                                              std::uint32_t channels, std::uint64_t channelMask)
{
    Flush();
    m_Fields.RunningTotal = runningTotal;
    m_Fields.Instants = static_cast<std::uint16_t>(instants);
    m_Fields.Channels = static_cast<std::uint16_t>(channels);
    m_Fields.ChannelMask = channelMask;
    m_Fields.DataBytes = m_DataBytes;
    SyncUnitWire::EncodeAnalogueTrailer(m_Trailer.data(), m_Fields);
    if (m_Sink != nullptr && m_Sink->Send(m_Trailer.data(), m_Trailer.size()))
        m_BytesSent += static_cast<std::uint32_t>(m_Trailer.size());
    m_Sink = nullptr;
    return m_BytesSent;
}
