// Packs a sync unit's analogue samples into data datagrams of at most 700 samples and ends
// each frame with its trailer.
#pragma once

#include "devices/syncunit/SyncUnitDatagrams.h"

#include <array>
#include <cstddef>
#include <cstdint>

class IDatagramSink;

/// The datagrams of one analogue frame: Append the samples in time order (within an instant,
/// the channels in ascending order); a datagram leaves whenever 700 samples are waiting, and
/// Finish sends the rest, then the trailer. Nothing is allocated: the datagram is a fixed
/// buffer, so a frame costs no heap memory however many datagrams it fills.
///
/// Threading contract: used by one source on the frame thread, under its owner's data lock.
/// Not copyable.
class VAnalogueDatagramWriter
{
public:
    VAnalogueDatagramWriter() = default;
    VAnalogueDatagramWriter(const VAnalogueDatagramWriter&) = delete;
    VAnalogueDatagramWriter& operator=(const VAnalogueDatagramWriter&) = delete;

    /// Starts frame `frame` (after `previous`) of card `slot` of device `deviceId`, whose
    /// datagrams go to `sink` (kept until Finish).
    void Begin(IDatagramSink& sink, std::uint32_t slot, std::uint32_t deviceId, std::uint32_t frame,
               std::uint32_t previous);
    /// Adds one sample; sends a full datagram.
    void Append(std::int16_t sample)
    {
        StoreSample(sample);
        if (m_Pending == SyncUnitWire::MaxSamplesPerDatagram)
            Flush();
    }
    /// Sends the samples still waiting, then the trailer: the running total, the frame's
    /// sample instants, the channels sent (count and mask, bit c = channel c) and the sample
    /// bytes of the frame (sent or not). Returns the bytes that went out, trailer included.
    std::uint32_t Finish(std::uint32_t runningTotal, std::uint32_t instants, std::uint32_t channels,
                         std::uint64_t channelMask);

    /// Sample bytes of the frame so far.
    std::uint32_t GetDataBytes() const { return m_DataBytes; }

private:
    void StoreSample(std::int16_t sample);
    void Flush();

    IDatagramSink* m_Sink = nullptr;
    SyncUnitWire::VAnalogueTrailerFields m_Fields;
    std::array<std::uint8_t, 2 * SyncUnitWire::MaxSamplesPerDatagram> m_Datagram{};
    std::array<std::uint8_t, SyncUnitWire::AnalogueTrailerSize> m_Trailer{};
    std::size_t m_Pending = 0;     // samples in m_Datagram
    std::uint32_t m_DataBytes = 0; // sample bytes of this frame
    std::uint32_t m_BytesSent = 0; // bytes of this frame that went out
};
