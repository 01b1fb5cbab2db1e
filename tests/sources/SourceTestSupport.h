// Helpers of the data-source tests: a parameter table standing in for the camera, the HAL's
// data port, decoders of the wire records and a trial-file builder.
#pragma once

#include "FileIO/ByteCodec.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/IDatagramSink.h"
#include "devices/camerawire/CameraRecords.h"
#include "net/VNetAddress.h"
#include "sources/IFakeSourceParams.h"
#include "sources/VFakeSource.h"
#include "support/VParamTable.h"
#include "support/VRecordingSink.h"
#include "support/VTempDir.h"
#include "support/VUdpReceiver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace SourceTest
{

using namespace testsupport;
using Datagram = std::vector<std::uint8_t>;

/// The parameters of a "Zt-M4" synthetic camera with every default.
inline void SetSyntheticDefaults(VParamTable& params)
{
    params.Set("CentroidsX", 25);
    params.Set("CentroidsY", 25);
    params.Set("SensorWidth", 2352);
    params.Set("SensorHeight", 1728);
    params.Set("MaxThreshold", 255);
    params.Set("MinThreshold", 0);
    params.Set("Threshold", 128);
    params.Set("GridType", 0);
    params.Set("Strobe", 500);
}

/// The HAL's data port in the tests: a loopback receiver that sources are aimed at, read a
/// frame at a time.
class VLoopbackReceiver : public VUdpReceiver
{
public:
    /// A target that aims a source at this receiver.
    VFakeSourceTarget Target(std::uint32_t deviceId) const
    {
        VFakeSourceTarget target;
        target.DeviceId = deviceId;
        target.HalAddress = htonl(INADDR_LOOPBACK);
        target.Port = GetPort();
        return target;
    }

    /// The datagrams of one frame: everything up to and including the datagram that ends
    /// with the trailer of frame `frame`. Fails the test when it does not come.
    std::vector<Datagram> ReceiveFrame(std::uint32_t frame)
    {
        std::vector<Datagram> datagrams;
        while (std::optional<Datagram> datagram = Receive())
        {
            datagrams.push_back(*datagram);
            if (EndsWithTrailerOf(*datagram, frame))
                return datagrams;
        }
        ADD_FAILURE() << "no trailer of frame " << frame << " within 5 s after " << datagrams.size()
                      << " datagrams";
        return datagrams;
    }

    /// True when nothing else is waiting.
    bool IsDrained() { return !Receive(std::chrono::milliseconds(0)); }

    static bool EndsWithTrailerOf(const Datagram& datagram, std::uint32_t frame)
    {
        if (datagram.size() < FrameTrailer::Size)
            return false;
        const std::uint8_t* trailer = datagram.data() + datagram.size() - FrameTrailer::Size;
        return LittleEndian::LoadU16(trailer) == 0xC001 &&
               LittleEndian::LoadU16(trailer + 2) == 36 &&
               LittleEndian::LoadU32(trailer + FrameTrailer::OffsetFrameNumber) == frame;
    }
};

/// A decoded trailer.
struct VTrailer
{
    std::uint32_t StreamKind = 0;
    std::uint32_t DeviceId = 0;
    std::uint32_t FrameNumber = 0;
    std::uint32_t ByteCount = 0;
    std::uint32_t CentroidCount = 0;
    std::uint32_t Reserved = 0;
    std::uint32_t PreviousFrame = 0;
    std::uint32_t Tracking = 0;
};

/// The trailer in the last 36 bytes of `datagram`.
inline VTrailer DecodeTrailer(const Datagram& datagram)
{
    VTrailer t;
    if (datagram.size() < FrameTrailer::Size)
    {
        ADD_FAILURE() << "datagram of " << datagram.size() << " bytes holds no trailer";
        return t;
    }
    const std::uint8_t* p = datagram.data() + datagram.size() - FrameTrailer::Size;
    EXPECT_EQ(LittleEndian::LoadU16(p), 0xC001);
    EXPECT_EQ(LittleEndian::LoadU16(p + 2), 36);
    t.StreamKind = LittleEndian::LoadU32(p + 4);
    t.DeviceId = LittleEndian::LoadU32(p + 8);
    t.FrameNumber = LittleEndian::LoadU32(p + 12);
    t.ByteCount = LittleEndian::LoadU32(p + 16);
    t.CentroidCount = LittleEndian::LoadU32(p + 20);
    t.Reserved = LittleEndian::LoadU32(p + 24);
    t.PreviousFrame = LittleEndian::LoadU32(p + 28);
    t.Tracking = LittleEndian::LoadU32(p + 32);
    return t;
}

/// A centroid record as its signed fields.
struct VCentroidFields
{
    std::uint16_t Fraction = 0;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Radius = 0;
};

/// A track record's fields.
struct VTrackFields
{
    std::uint16_t Position = 0;
    std::uint16_t Length = 0;
    std::uint16_t Confidence = 0;
    std::uint64_t Id = 0;
};

/// The records of a centroid stream's record datagrams (every datagram but the trailer),
/// split by tag. Fails on any other tag.
inline void DecodeRecords(const std::vector<Datagram>& datagrams,
                          std::vector<VCentroidFields>& centroids,
                          std::vector<VTrackFields>& tracks)
{
    for (std::size_t d = 0; d + 1 < datagrams.size(); ++d)
    {
        const Datagram& datagram = datagrams[d];
        ASSERT_EQ(datagram.size() % 16, 0u) << "datagram " << d;
        for (std::size_t offset = 0; offset < datagram.size(); offset += 16)
        {
            const std::uint8_t* p = datagram.data() + offset;
            const std::uint16_t tag = LittleEndian::LoadU16(p);
            if (tag == 0xC007)
            {
                centroids.push_back({LittleEndian::LoadU16(p + 2), LittleEndian::LoadI32(p + 4),
                                     LittleEndian::LoadI32(p + 8), LittleEndian::LoadI32(p + 12)});
            }
            else if (tag == 0xC006)
            {
                tracks.push_back({LittleEndian::LoadU16(p + 2), LittleEndian::LoadU16(p + 4),
                                  LittleEndian::LoadU16(p + 6),
                                  LittleEndian::LoadU32(p + 8) |
                                      (std::uint64_t{LittleEndian::LoadU32(p + 12)} << 32)});
            }
            else
            {
                ADD_FAILURE() << "unexpected tag " << std::hex << tag;
                return;
            }
        }
    }
}

/// Sensor of the test cameras: powers of two keep the stored centroids exact.
constexpr std::uint32_t kSensorWidth = 1024;
constexpr std::uint32_t kSensorHeight = 512;
constexpr double kFrameRate = 100.0;

/// The frame data of trial frame k.
struct VTrialFrame
{
    VCentroidFrame Centroids;
    VCentroidTrackFrame Tracks;
    VGreyscaleBlobFrame Greyscale;
    VEdgePairFrame Edges;
};

/// Fills camera `camera` of trial frame `k` with contents that name the frame: 1 + (k + camera)
/// mod 3 centroids at x = 100.5 + k + 40 i (so a centroid moves one pixel per frame), file
/// tracks with id 1000 k + i, one blob of two segments and two edges whose column is k.
inline void FillTrialFrame(VTrialFrame& frame, std::uint32_t cameras, std::uint32_t k)
{
    frame.Centroids.Resize(cameras);
    frame.Tracks.Resize(cameras);
    frame.Greyscale.Resize(cameras);
    frame.Edges.Resize(cameras);
    for (std::uint32_t c = 0; c < cameras; ++c)
    {
        const std::uint32_t count = 1 + (k + c) % 3;
        VCentroidSet& centroids = *frame.Centroids.GetSetDirect(c);
        centroids.Resize(count);
        VCentroidTrackSet& tracks = *frame.Tracks.GetSetDirect(c);
        tracks.Resize(count);
        ICentroidData* data = nullptr;
        centroids.GetData(&data, nullptr, nullptr);
        ICentroidTrackData* trackData = nullptr;
        tracks.GetData(&trackData, nullptr);
        for (std::uint32_t i = 0; i < count; ++i)
        {
            data[i] = {100.5 + k + 40.0 * i, 20.25 + c, 2.0, 0.5};
            trackData[i] = {std::int64_t{1000} * k + i, k + 1, 0.5f};
        }
        VGreyscaleBlobSet& blobs = *frame.Greyscale.GetSetDirect(c);
        blobs.Clear();
        const std::uint8_t pixels[3] = {static_cast<std::uint8_t>(k), 7, 9};
        IGreyscaleLineData lines[2] = {{static_cast<std::uint16_t>(k), 4, pixels, 3},
                                       {static_cast<std::uint16_t>(k + 1), 5, pixels, 2}};
        blobs.AppendData(IGreyscaleBlobData{lines, 2, 1});
        VEdgePairSet& edges = *frame.Edges.GetSetDirect(c);
        edges.Resize(2);
        IEdgePairData* edgeData = nullptr;
        edges.GetData(&edgeData, nullptr);
        edgeData[0] = {static_cast<std::uint16_t>(k), 3, 11};
        edgeData[1] = {static_cast<std::uint16_t>(k), 6, 12};
    }
}

/// What MakeTrial writes.
struct VTrialLayout
{
    std::uint32_t Frames = 100;
    std::uint32_t Cameras = 1;
    std::string TypeName = "Zt-L4";
    std::uint32_t SensorWidth = kSensorWidth;
    std::uint32_t SensorHeight = kSensorHeight;
    /// Fills trial frame k of that many cameras.
    std::function<void(VTrialFrame&, std::uint32_t, std::uint32_t)> Fill = FillTrialFrame;
};

/// Writes a trial (frames numbered from 1000, cameras with ids 7001, 7002, ...) and opens it.
inline std::shared_ptr<VX2DHolder> MakeTrial(const VTempDir& dir, const VTrialLayout& layout)
{
    static int s_Files = 0;
    const std::string path = dir.File("trial-" + std::to_string(++s_Files) + ".x2d");
    VX2DExportSettings settings;
    settings.SystemFrameRate = kFrameRate;
    for (std::uint32_t c = 0; c < layout.Cameras; ++c)
    {
        CameraInfoRecord camera;
        camera.SensorWidth = layout.SensorWidth;
        camera.SensorHeight = layout.SensorHeight;
        camera.CameraId = 7001 + c;
        camera.TypeName = layout.TypeName;
        settings.Cameras.push_back(camera);
    }
    VX2DExport writer;
    EXPECT_TRUE(writer.Open(path, settings)) << writer.GetError();
    for (std::uint32_t k = 0; k < layout.Frames; ++k)
    {
        VTrialFrame frame;
        layout.Fill(frame, layout.Cameras, k);
        EXPECT_TRUE(writer.WriteFrame(1000 + k, &frame.Centroids, &frame.Tracks, &frame.Greyscale,
                                      &frame.Edges))
            << writer.GetError();
    }
    EXPECT_TRUE(writer.Close()) << writer.GetError();
    std::vector<std::string> errors;
    std::shared_ptr<VX2DHolder> holder = VX2DHolder::Open(path, true, 1, &errors);
    EXPECT_NE(holder, nullptr) << (errors.empty() ? "" : errors.front());
    return holder;
}

/// A trial of `frames` frames and `cameras` cameras filled by FillTrialFrame.
inline std::shared_ptr<VX2DHolder> MakeTrial(const VTempDir& dir, std::uint32_t frames,
                                             std::uint32_t cameras = 1)
{
    VTrialLayout layout;
    layout.Frames = frames;
    layout.Cameras = cameras;
    return MakeTrial(dir, layout);
}

} // namespace SourceTest
