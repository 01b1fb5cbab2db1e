// Builds the HAL's broadcast command datagrams: 32-bit words, big-endian.
#pragma once

#include "devices/BroadcastCommand.h"

#include <cstdint>
#include <optional>
#include <vector>

/// The datagram bytes of `words`, each word big-endian, word n at offset 4n.
std::vector<uint8_t> EncodeBroadcastWords(const std::vector<uint32_t>& words);

/// A frame rate as the MASTER command carries it: whole hertz and thousandths.
struct VBroadcastFrameRate
{
    uint32_t m_Whole = 0;
    uint32_t m_Thousandths = 0;
};

/// Splits `hz` into whole hertz and thousandths, rounded to the nearest
/// thousandth (100.5 gives 100 and 500). Empty for negative, non-finite or too
/// large rates (the whole part must fit 32 bits).
std::optional<VBroadcastFrameRate> SplitFrameRate(double hz);

/// Words of each command, in datagram order (code first).
std::vector<uint32_t> SyncWords(uint32_t frame);
std::vector<uint32_t> ResetWords(uint32_t deviceId);
std::vector<uint32_t> MasterWords(uint32_t deviceId, bool surrogate, VBroadcastFrameRate rate);
std::vector<uint32_t> AwakeWords(uint32_t deviceId);
std::vector<uint32_t> PreviewWords(uint32_t deviceId, bool previewOn);
std::vector<uint32_t> AlivePingWords(uint32_t deviceId);
std::vector<uint32_t> FrameNumberWords(uint32_t frame);
std::vector<uint32_t> DataDisableWords(uint32_t flags);
std::vector<uint32_t> StrobeDisableWords(uint32_t flags);
std::vector<uint32_t> TestSyncWords();
std::vector<uint32_t> SystemEventWords(uint32_t eventType);
