#include "tsmhost/BroadcastEncoder.h"

#include <cmath>

std::vector<uint8_t> EncodeBroadcastWords(const std::vector<uint32_t>& words)
{
    std::vector<uint8_t> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        StoreBroadcastWord(bytes.data(), i, words[i]);
    return bytes;
}

std::optional<VBroadcastFrameRate> SplitFrameRate(double hz)
{
    if (!std::isfinite(hz) || hz < 0.0)
        return std::nullopt;
    const double thousandths = std::round(hz * 1000.0);
    if (thousandths >= 4294967296.0 * 1000.0)
        return std::nullopt;
    const auto total = static_cast<uint64_t>(thousandths);
    return VBroadcastFrameRate{static_cast<uint32_t>(total / 1000),
                               static_cast<uint32_t>(total % 1000)};
}

std::vector<uint32_t> SyncWords(uint32_t frame)
{
    return {BROADCAST_CMD_SYNC, frame};
}

std::vector<uint32_t> ResetWords(uint32_t deviceId)
{
    return {BROADCAST_CMD_RESET, deviceId};
}

std::vector<uint32_t> MasterWords(uint32_t deviceId, bool surrogate, VBroadcastFrameRate rate)
{
    // The sixth word is present in the HAL's datagram but carries nothing.
    return {BROADCAST_CMD_MASTER, deviceId,           surrogate ? 1u : 0u,
            rate.m_Whole,         rate.m_Thousandths, 0};
}

std::vector<uint32_t> AwakeWords(uint32_t deviceId)
{
    return {BROADCAST_CMD_AWAKE, 0, deviceId};
}

std::vector<uint32_t> PreviewWords(uint32_t deviceId, bool previewOn)
{
    return {BROADCAST_CMD_PREVIEW, deviceId, previewOn ? 1u : 0u};
}

std::vector<uint32_t> AlivePingWords(uint32_t deviceId)
{
    return {BROADCAST_CMD_ALIVE_PING, 0, deviceId};
}

std::vector<uint32_t> FrameNumberWords(uint32_t frame)
{
    return {BROADCAST_CMD_FRAME_NUMBER, frame};
}

std::vector<uint32_t> DataDisableWords(uint32_t flags)
{
    return {BROADCAST_CMD_DATA_DISABLE, flags};
}

std::vector<uint32_t> StrobeDisableWords(uint32_t flags)
{
    return {BROADCAST_CMD_STROBE_DISABLE, flags};
}

std::vector<uint32_t> TestSyncWords()
{
    return {BROADCAST_CMD_TEST_SYNC};
}

std::vector<uint32_t> SystemEventWords(uint32_t eventType)
{
    return {BROADCAST_CMD_SYSTEM_EVENT, eventType};
}
