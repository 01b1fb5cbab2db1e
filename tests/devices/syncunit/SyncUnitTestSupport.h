// Helpers of the sync-unit tests: X1D trials with chosen samples, decoders of the sync unit's
// datagrams, and the parameters a sync unit's sources read.
#pragma once

#include "FileIO/ByteCodec.h"
#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/X2DIO/VX1DExport.h"
#include "FileIO/X2DIO/VX1DHolder.h"
#include "sources/VFakeSource.h"
#include "support/VParamTable.h"
#include "support/VRecordingSink.h"
#include "support/VTempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace SyncUnitTest
{

using Datagram = std::vector<std::uint8_t>;
using testsupport::VParamTable;
using testsupport::VRecordingSink;
using testsupport::VTempDir;

/// Samples of every channel of one trial frame: Channels[c] holds channel c's samples.
struct VAnalogueFrame
{
    std::vector<std::vector<std::int16_t>> Channels;
};

/// Writes an X1D trial of one analogue device whose frame k is `frames[k]` (frames numbered
/// from 500) and opens it.
inline std::shared_ptr<VX1DHolder> MakeX1DTrial(const VTempDir& dir,
                                                const std::vector<VAnalogueFrame>& frames)
{
    static int s_Files = 0;
    const std::string path = dir.File("analogue-" + std::to_string(++s_Files) + ".x1d");
    VX1DExport writer;
    EXPECT_TRUE(writer.Open(path, VX1DExportSettings{})) << writer.GetError();
    VAnalogueBlockFrame frame;
    std::uint32_t number = 500;
    for (const VAnalogueFrame& samples : frames)
    {
        frame.Resize(1);
        VAnalogueBlockSet& set = *frame.GetSetDirect(0);
        set.Clear();
        for (const std::vector<std::int16_t>& channel : samples.Channels)
        {
            std::vector<std::uint8_t> bytes(2 * channel.size());
            for (std::size_t i = 0; i < channel.size(); ++i)
                LittleEndian::StoreU16(bytes.data() + 2 * i,
                                       static_cast<std::uint16_t>(channel[i]));
            set.AppendData(IAnalogueBlockData{bytes.empty() ? nullptr : bytes.data(),
                                              static_cast<std::uint32_t>(bytes.size())});
        }
        EXPECT_TRUE(writer.WriteFrame(number++, &frame)) << writer.GetError();
    }
    EXPECT_TRUE(writer.Close()) << writer.GetError();
    std::vector<std::string> errors;
    std::shared_ptr<VX1DHolder> holder = VX1DHolder::Open(path, &errors);
    EXPECT_NE(holder, nullptr) << (errors.empty() ? "" : errors.front());
    return holder;
}

/// `count` samples first, first + step, …
inline std::vector<std::int16_t> Ramp(std::int16_t first, std::int16_t step, std::size_t count)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(first + step * static_cast<std::int16_t>(i));
    return samples;
}

inline std::uint16_t U16(const Datagram& bytes, std::size_t offset)
{
    return LittleEndian::LoadU16(bytes.data() + offset);
}
inline std::uint32_t U32(const Datagram& bytes, std::size_t offset)
{
    return LittleEndian::LoadU32(bytes.data() + offset);
}

/// The samples of analogue data datagrams, in order.
inline std::vector<std::int16_t> Samples(const std::vector<Datagram>& datagrams)
{
    std::vector<std::int16_t> samples;
    for (const Datagram& datagram : datagrams)
    {
        for (std::size_t offset = 0; offset + 1 < datagram.size(); offset += 2)
            samples.push_back(static_cast<std::int16_t>(U16(datagram, offset)));
    }
    return samples;
}

/// One frame of an analogue card as it arrived: its data datagrams and its trailer.
struct VAnalogueFrameSent
{
    std::vector<Datagram> Data;
    Datagram Trailer;
};

/// Splits what a card sent for one frame into data and trailer (the last datagram); fails
/// the test when the last is not a 44-byte trailer.
inline VAnalogueFrameSent SplitFrame(std::vector<Datagram> datagrams)
{
    VAnalogueFrameSent frame;
    if (datagrams.empty() || datagrams.back().size() != 44 || U16(datagrams.back(), 0) != 0xC005)
    {
        ADD_FAILURE() << "the frame does not end with an analogue trailer";
        return frame;
    }
    frame.Trailer = std::move(datagrams.back());
    datagrams.pop_back();
    frame.Data = std::move(datagrams);
    return frame;
}

/// The parameters of slot 0 as a new sync unit has them, at `rate` Hz.
inline void SetSlotDefaults(VParamTable& params, double rate)
{
    params.Set("SystemFrameRate", std::to_string(rate));
    params.Set("AnalogueSlot0Prescaler", 5);
    params.Set("AnalogueSlot0Divisor", 150);
    params.Set("AnalogueSlot0SampleRate", "180000");
    params.Set("AnalogueSlot0NumChannels", 64);
    params.Set("AnalogueSlot0TestSignalFreq", "1");
    params.Set("AnalogueSlot0CaptureActive", 0);
    for (int channel = 0; channel < 64; ++channel)
    {
        params.Set("AnalogueSlot0Channel" + std::to_string(channel) + "Enabled", 0);
        params.Set("AnalogueSlot0Channel" + std::to_string(channel) + "Gain", 1);
    }
}

/// A source target that no datagram reaches (the tests record through a sink).
inline VFakeSourceTarget NowhereTarget(std::uint32_t deviceId)
{
    VFakeSourceTarget target;
    target.DeviceId = deviceId;
    target.HalAddress = 0;
    target.Port = 9;
    return target;
}

} // namespace SyncUnitTest
