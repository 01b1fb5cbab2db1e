// Helpers of the trial replay tests, the test playing the capture host: a collector that cuts
// each camera's centroid stream into frames, and the check of those frames against the trial
// file.
#pragma once

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "support/VTempDir.h"
#include "support/VUdpReceiver.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace stream_test
{

using namespace testsupport;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

/// One frame of a centroid stream as the host sees it: its records and its trailer.
struct VReceivedFrame
{
    std::uint32_t m_DeviceId = 0;
    std::uint32_t m_Frame = 0;
    std::uint32_t m_Previous = 0;
    std::uint32_t m_RecordBytes = 0;   ///< trailer offset 16
    std::uint32_t m_CentroidCount = 0; ///< trailer offset 20
    std::uint32_t m_Tracking = 0;      ///< trailer offset 32
    std::vector<Bytes> m_Centroids;
    std::vector<Bytes> m_Tracks;
    bool m_Malformed = false;
};

/// Cuts the datagrams of the centroid streams into frames, per sender (each camera's
/// centroid source has its own socket, so its own source port); the trailer names the
/// device.
class VCentroidStreamCollector
{
public:
    void Add(const VDatagram& datagram)
    {
        VReceivedFrame& frame = m_Open[datagram.m_SourcePort];
        const Bytes& bytes = datagram.m_Bytes;
        if (bytes.size() == 36 && U16(bytes, 0) == 0xC001)
        {
            frame.m_DeviceId = U32(bytes, 8);
            frame.m_Frame = U32(bytes, 12);
            frame.m_RecordBytes = U32(bytes, 16);
            frame.m_CentroidCount = U32(bytes, 20);
            frame.m_Previous = U32(bytes, 28);
            frame.m_Tracking = U32(bytes, 32);
            if (U32(bytes, 4) != 2)
                frame.m_Malformed = true;
            m_Frames[frame.m_DeviceId].push_back(std::move(frame));
            m_Open.erase(datagram.m_SourcePort);
            return;
        }
        if (bytes.size() % 16 != 0 || bytes.empty())
        {
            frame.m_Malformed = true;
            return;
        }
        for (std::size_t offset = 0; offset < bytes.size(); offset += 16)
        {
            Bytes record(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                         bytes.begin() + static_cast<std::ptrdiff_t>(offset + 16));
            const std::uint16_t tag = U16(record, 0);
            if (tag == 0xC007)
                frame.m_Centroids.push_back(std::move(record));
            else if (tag == 0xC006)
                frame.m_Tracks.push_back(std::move(record));
            else
                frame.m_Malformed = true;
        }
    }

    /// The complete frames of each device, in arrival order.
    const std::map<std::uint32_t, std::vector<VReceivedFrame>>& GetFrames() const
    {
        return m_Frames;
    }

private:
    std::map<std::uint16_t, VReceivedFrame> m_Open;
    std::map<std::uint32_t, std::vector<VReceivedFrame>> m_Frames;
};

/// Compares the frames received from camera `cameraIndex` with the trial: consecutive frame
/// numbers, and the records of trial frame (frame mod frame count) within the wire's fixed
/// point. `tracking` is the camera's mode: "Off" (no tracks; a frame whose trial index did not
/// advance carries no centroids) or "Read" (centroids always, and the file's tracks).
inline void ExpectFramesMatchTrial(const std::vector<VReceivedFrame>& frames, VX2DHolder& trial,
                                   std::uint32_t cameraIndex, const std::string& tracking)
{
    const std::uint32_t count = trial.GetFrameCount();
    ASSERT_GT(count, 0u);
    std::map<std::uint32_t, std::pair<VCentroidFrame, VCentroidTrackFrame>> cache;
    std::uint32_t mismatches = 0;
    for (std::size_t k = 0; k < frames.size() && mismatches < 10; ++k)
    {
        const VReceivedFrame& frame = frames[k];
        SCOPED_TRACE("frame " + std::to_string(frame.m_Frame));
        EXPECT_FALSE(frame.m_Malformed);
        if (k > 0)
        {
            EXPECT_EQ(frame.m_Frame, frames[k - 1].m_Frame + 1) << "frame numbers not consecutive";
            EXPECT_EQ(frame.m_Previous, frames[k - 1].m_Frame);
        }
        const std::uint32_t index = frame.m_Frame % count;
        const bool wrapped = index <= frame.m_Previous % count;
        auto [entry, inserted] = cache.try_emplace(index);
        if (inserted)
        {
            ASSERT_TRUE(trial.ReadFrame(index, &entry->second.first, &entry->second.second, nullptr,
                                        nullptr));
        }
        const ICentroidData* centroids = nullptr;
        std::uint32_t centroidCount = 0;
        entry->second.first.GetSetDirect(cameraIndex)->GetData(&centroids, &centroidCount, nullptr);
        const ICentroidTrackData* tracks = nullptr;
        std::uint32_t trackCount = 0;
        entry->second.second.GetSetDirect(cameraIndex)->GetData(&tracks, &trackCount);

        if (tracking == "Off" && wrapped)
            centroidCount = 0;
        if (tracking == "Off")
            trackCount = 0;
        EXPECT_EQ(frame.m_Tracking, tracking == "Off" ? 0u : 8u);
        EXPECT_EQ(frame.m_CentroidCount, centroidCount);
        EXPECT_EQ(frame.m_RecordBytes, 16 * (centroidCount + trackCount));
        if (frame.m_Centroids.size() != centroidCount || frame.m_Tracks.size() != trackCount)
        {
            ADD_FAILURE() << "trial frame " << index << ": " << frame.m_Centroids.size()
                          << " centroids and " << frame.m_Tracks.size() << " tracks, expected "
                          << centroidCount << " and " << trackCount;
            ++mismatches;
            continue;
        }
        constexpr double kStep = 1.0 / 256.0;
        for (std::uint32_t c = 0; c < centroidCount; ++c)
        {
            const Bytes& record = frame.m_Centroids[c];
            const bool close = std::fabs(I32(record, 4) / 256.0 - centroids[c].X) < kStep &&
                               std::fabs(I32(record, 8) / 256.0 - centroids[c].Y) < kStep &&
                               std::fabs(I32(record, 12) / 256.0 - centroids[c].Radius) < kStep &&
                               std::fabs(U16(record, 2) / 256.0 - centroids[c].Fraction) < kStep;
            if (!close)
            {
                ADD_FAILURE() << "trial frame " << index << " centroid " << c << ": x "
                              << I32(record, 4) / 256.0 << " vs " << centroids[c].X << ", y "
                              << I32(record, 8) / 256.0 << " vs " << centroids[c].Y;
                ++mismatches;
            }
        }
        for (std::uint32_t t = 0; t < trackCount; ++t)
        {
            const Bytes& record = frame.m_Tracks[t];
            const std::uint64_t id = static_cast<std::uint64_t>(U32(record, 8)) |
                                     (static_cast<std::uint64_t>(U32(record, 12)) << 32);
            const double confidence = tracks[t].Confidence * 65535.0;
            const bool same = U16(record, 2) == t &&
                              id == static_cast<std::uint64_t>(tracks[t].Id) &&
                              U16(record, 4) == static_cast<std::uint16_t>(tracks[t].Length) &&
                              std::fabs(U16(record, 6) - confidence) < 1.0;
            if (!same)
            {
                ADD_FAILURE() << "trial frame " << index << " track " << t << ": id " << id
                              << " vs " << tracks[t].Id;
                ++mismatches;
            }
        }
    }
}

} // namespace stream_test
