// The sync unit's datagrams on the wire: the input-status and timecode-status datagrams
// (device status types 4 and 5), the analogue card's frame trailer and the per-frame timecode
// datagram. One layout per record, all little-endian, with the offsets named here.
#pragma once

#include <cstddef>
#include <cstdint>

/// Layouts and encoders of the sync unit's datagrams; decoders read the same offsets. Plain
/// functions writing into caller-owned buffers of at least the record's size; any thread.
namespace SyncUnitWire
{
// ---- input status: device status type 4, 28 bytes ----------------------------------------
constexpr std::size_t InputStatusSize = 28;
constexpr std::size_t InputStatusOffsetFrame = 12;   // u32, the device's current frame
constexpr std::size_t InputStatusOffsetLevels = 16;  // u16, bit i = input i is true
constexpr std::size_t InputStatusOffsetChanged = 18; // u16, 1 << index of the changed input

/// The inputs in bit order: "GPI0" … "GPI3", "RemoteStart", "RemoteStop".
constexpr std::size_t InputCount = 6;

/// Writes the input status datagram (host tag and device id 0: the sender fills them).
/// `changedInput` below 0 (or beyond the inputs) leaves the changed field 0.
void EncodeInputStatus(std::uint8_t* out, std::uint32_t frame, std::uint16_t levels,
                       std::int32_t changedInput);

// ---- timecode status: device status type 5, 32 bytes -------------------------------------
constexpr std::size_t TimecodeStatusSize = 32;
constexpr std::size_t TimecodeStatusOffsetValue = 24;    // u32, always 1
constexpr std::size_t TimecodeStatusOffsetStandard = 28; // u32, TimecodeStatusStandardWord

/// The standard word of the timecode status for a stream timecode code: 0x214F0000 film (0,
/// 1), 0x211F0000 PAL (2), 0x212F0000 30 and 29.97 fps (3, 4), 0x213F0000 NTSC drop-frame
/// (5), 0x210F0000 for any other code.
std::uint32_t TimecodeStatusStandardWord(std::uint32_t streamCode);

/// Writes the timecode status datagram for a stream timecode code (host tag and device id 0).
void EncodeTimecodeStatus(std::uint8_t* out, std::uint32_t streamCode);

// ---- analogue data and frame trailer -------------------------------------------------------
/// Samples in one analogue data datagram at the most (1400 bytes); the datagrams carry 16-bit
/// samples and nothing else.
constexpr std::size_t MaxSamplesPerDatagram = 700;

constexpr std::uint16_t AnalogueTrailerTag = 0xC005;
constexpr std::size_t AnalogueTrailerSize = 44;
constexpr std::uint16_t AnalogueTrailerVersion = 1;
constexpr std::size_t AnalogueOffsetTag = 0;           // u16
constexpr std::size_t AnalogueOffsetLength = 2;        // u16, 44
constexpr std::size_t AnalogueOffsetVersion = 4;       // u16, 1
constexpr std::size_t AnalogueOffsetSlot = 6;          // u16
constexpr std::size_t AnalogueOffsetDeviceId = 8;      // u32
constexpr std::size_t AnalogueOffsetFrame = 12;        // u32
constexpr std::size_t AnalogueOffsetPrevious = 16;     // u32
constexpr std::size_t AnalogueOffsetRunningTotal = 20; // u32
constexpr std::size_t AnalogueOffsetInstants = 24;     // u16
constexpr std::size_t AnalogueOffsetChannels = 26;     // u16
constexpr std::size_t AnalogueOffsetMaskLow = 28;      // u32, channels 0-31
constexpr std::size_t AnalogueOffsetMaskHigh = 32;     // u32, channels 32-63
constexpr std::size_t AnalogueOffsetDataBytes = 36;    // u32
// Bytes 40-43 are 0.

/// One analogue frame trailer.
struct VAnalogueTrailerFields
{
    std::uint16_t Slot = 0;
    std::uint32_t DeviceId = 0;
    std::uint32_t Frame = 0;
    std::uint32_t Previous = 0;
    /// Synthetic card: sample instants sent so far; X1D card: sample values sent so far.
    std::uint32_t RunningTotal = 0;
    std::uint16_t Instants = 0;
    std::uint16_t Channels = 0;
    /// Bit c = channel c sent, channels 0 to 63.
    std::uint64_t ChannelMask = 0;
    std::uint32_t DataBytes = 0;
};

void EncodeAnalogueTrailer(std::uint8_t* out, const VAnalogueTrailerFields& fields);

// ---- timecode datagram, 40 bytes -----------------------------------------------------------
constexpr std::uint16_t TimecodeTag = 0xC003;
constexpr std::size_t TimecodeSize = 40;
constexpr std::uint16_t TimecodeVersion = 2;
constexpr std::size_t TimecodeOffsetDeviceId = 8;  // u32
constexpr std::size_t TimecodeOffsetFrame = 12;    // u32
constexpr std::size_t TimecodeOffsetPrevious = 16; // u32
constexpr std::size_t TimecodeOffsetBCD = 24;      // hours, minutes, seconds, frames: BCD bytes
constexpr std::size_t TimecodeOffsetSubFrame = 28; // u16, k; bit 15 when k > m / 2
constexpr std::size_t TimecodeOffsetStandard = 30; // u16, standard bits | m
constexpr std::size_t TimecodeOffsetUserBits = 32; // u32
/// Bit 15 of the sub-frame field: the second half of the timecode frame.
constexpr std::uint16_t TimecodeSecondHalf = 0x8000;
/// System frames per timecode frame must stay below this: the standard bits lie above it.
constexpr std::uint32_t TimecodeMaxSubFrames = 0x1000;

/// The standard bits of the timecode datagram for a stream timecode code: 0x3000 film (0, 1),
/// 0x0000 PAL (2), 0x1000 30 and 29.97 fps (3, 4), 0x2000 NTSC drop-frame (5). False for any
/// other code (no datagram is sent for it).
bool TimecodeStandardBits(std::uint32_t streamCode, std::uint16_t& bits);

/// One timecode datagram.
struct VTimecodeFields
{
    std::uint32_t DeviceId = 0;
    std::uint32_t Frame = 0;
    std::uint32_t Previous = 0;
    std::uint8_t Hours = 0;
    std::uint8_t Minutes = 0;
    std::uint8_t Seconds = 0;
    std::uint8_t Frames = 0;
    /// k: this system frame's index within the timecode frame; m: system frames per timecode
    /// frame (1 to TimecodeMaxSubFrames - 1).
    std::uint16_t SubFrame = 0;
    std::uint16_t SubFramesPerFrame = 1;
    std::uint16_t StandardBits = 0;
    std::uint32_t UserBits = 0;
};

/// Writes the timecode datagram; the time fields as two BCD digits each (values below 100).
void EncodeTimecode(std::uint8_t* out, const VTimecodeFields& fields);
} // namespace SyncUnitWire
