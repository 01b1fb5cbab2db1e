#include "SourceTestSupport.h"
#include "devices/VFakeDevice.h"
#include "sources/VFakeSourceCentroid.h"
#include "sources/VFakeSourceGreyscale.h"

#include <gtest/gtest.h>

using namespace SourceTest;

// The cameras hand their sources a reader over the device base's typed getters: make sure
// every forwarding compiles against the real device.
template class TDeviceParamReader<VFakeDevice>;

namespace
{
constexpr std::uint32_t kDeviceId = 42;

/// Sends frame `frame` (after `previous`) and returns its datagrams; `bytes` gets the count
/// the source reported.
std::vector<Datagram> SendAndReceive(VFakeSource& source, VLoopbackReceiver& hal,
                                     std::uint32_t frame, std::uint32_t previous,
                                     std::uint32_t& bytes)
{
    bytes = 12345; // the source must reset it
    source.SendFrame(frame, previous, bytes);
    return hal.ReceiveFrame(frame);
}

/// Sends the frame and checks that it carries the trailer alone, with no records counted.
void ExpectTrailerOnly(VFakeSource& source, VLoopbackReceiver& hal, std::uint32_t frame)
{
    std::uint32_t bytes = 0;
    const std::vector<Datagram> datagrams = SendAndReceive(source, hal, frame, frame - 1, bytes);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0].size(), 36u);
    const VTrailer trailer = DecodeTrailer(datagrams[0]);
    EXPECT_EQ(trailer.StreamKind, 2u);
    EXPECT_EQ(trailer.ByteCount, 0u);
    EXPECT_EQ(bytes, 36u);
}
} // namespace

TEST(SyntheticCentroidSource, DefaultGridOnTheLargestSensor)
{
    VParamTable params;
    SetSyntheticDefaults(params);
    VLoopbackReceiver hal;
    ASSERT_NE(hal.GetPort(), 0);
    VFakeSourceCentroid source(params, hal.Target(kDeviceId));

    std::uint32_t bytes = 0;
    const std::vector<Datagram> datagrams = SendAndReceive(source, hal, 5, 4, bytes);
    // 12 rows of 25: 300 records in datagrams of 87, 87, 87 and 39, then the trailer.
    ASSERT_EQ(datagrams.size(), 5u);
    EXPECT_EQ(datagrams[0].size(), 87u * 16);
    EXPECT_EQ(datagrams[1].size(), 87u * 16);
    EXPECT_EQ(datagrams[2].size(), 87u * 16);
    EXPECT_EQ(datagrams[3].size(), 39u * 16);
    EXPECT_EQ(datagrams[4].size(), 36u);
    EXPECT_EQ(bytes, 300u * 16 + 36);

    const VTrailer trailer = DecodeTrailer(datagrams[4]);
    EXPECT_EQ(trailer.StreamKind, 2u);
    EXPECT_EQ(trailer.DeviceId, kDeviceId);
    EXPECT_EQ(trailer.FrameNumber, 5u);
    EXPECT_EQ(trailer.ByteCount, 4800u);
    EXPECT_EQ(trailer.CentroidCount, 0u);
    EXPECT_EQ(trailer.Reserved, 0u);
    EXPECT_EQ(trailer.PreviousFrame, 4u);
    EXPECT_EQ(trailer.Tracking, 0u);

    std::vector<VCentroidFields> centroids;
    std::vector<VTrackFields> tracks;
    DecodeRecords(datagrams, centroids, tracks);
    ASSERT_EQ(centroids.size(), 300u);
    EXPECT_TRUE(tracks.empty());
    // Steps 92 and 51, radius 500 / 80 + 3 = 9. Frame 5 = binary 101: columns 0 and 2 sit on
    // the row's base line, column 1 and every column from 3 on half a row (25) lower.
    for (std::uint32_t row = 0; row < 12; ++row)
    {
        for (std::uint32_t column = 0; column < 25; ++column)
        {
            SCOPED_TRACE("row " + std::to_string(row) + " column " + std::to_string(column));
            const VCentroidFields& c = centroids[row * 25 + column];
            const bool onBaseLine = column == 0 || column == 2;
            EXPECT_EQ(c.X, static_cast<std::int32_t>((column + 1) * 92 * 256));
            EXPECT_EQ(c.Y,
                      static_cast<std::int32_t>(((row + 1) * 51 + (onBaseLine ? 0 : 25)) * 256));
            EXPECT_EQ(c.Radius, 9 * 256);
            EXPECT_EQ(c.Fraction, 25600);
        }
    }
    EXPECT_TRUE(hal.IsDrained());
}

TEST(SyntheticCentroidSource, PatternsFollowTheParameters)
{
    VParamTable params;
    SetSyntheticDefaults(params);
    VLoopbackReceiver hal;
    VFakeSourceCentroid source(params, hal.Target(kDeviceId));
    std::uint32_t bytes = 0;

    // "Grid": radius 2.0 (field 512) and no column lowered, whatever the frame number.
    params.Set("GridType", 1);
    {
        std::vector<VCentroidFields> centroids;
        std::vector<VTrackFields> tracks;
        DecodeRecords(SendAndReceive(source, hal, 6, 5, bytes), centroids, tracks);
        ASSERT_EQ(centroids.size(), 300u);
        for (std::size_t n = 0; n < centroids.size(); ++n)
        {
            EXPECT_EQ(centroids[n].Radius, 512) << n;
            EXPECT_EQ(centroids[n].Y, static_cast<std::int32_t>((n / 25 + 1) * 51 * 256)) << n;
        }
    }

    // 40 columns: columns 32 on repeat bits 0 on. Frame 8 raises columns 3 and 35 only.
    params.Set("GridType", 0);
    params.Set("CentroidsX", 40);
    params.Set("Strobe", 1000);
    {
        std::vector<VCentroidFields> centroids;
        std::vector<VTrackFields> tracks;
        DecodeRecords(SendAndReceive(source, hal, 8, 7, bytes), centroids, tracks);
        ASSERT_EQ(centroids.size(), 12u * 40);
        const std::int32_t colStep = 2352 / 40 - 2;
        for (std::uint32_t column = 0; column < 40; ++column)
        {
            const bool raised = column == 3 || column == 35;
            EXPECT_EQ(centroids[column].X, static_cast<std::int32_t>((column + 1) * colStep * 256));
            EXPECT_EQ(centroids[column].Y, (51 + (raised ? 0 : 25)) * 256) << column;
            EXPECT_EQ(centroids[column].Radius, (1000 / 80 + 3) * 256);
        }
    }

    // Rows fall away as the threshold rises: 254 of 0..255 leaves 1 × 25 / 255 = 0 rows, 0
    // gives every row.
    params.Set("CentroidsX", 25);
    params.Set("Threshold", 254);
    ExpectTrailerOnly(source, hal, 9);
    params.Set("Threshold", 0);
    {
        std::vector<VCentroidFields> centroids;
        std::vector<VTrackFields> tracks;
        DecodeRecords(SendAndReceive(source, hal, 10, 9, bytes), centroids, tracks);
        EXPECT_EQ(centroids.size(), 25u * 25);
    }
    EXPECT_TRUE(hal.IsDrained());
}

TEST(SyntheticCentroidSource, SettingsWithoutAGridSendTheTrailerAlone)
{
    struct Case
    {
        const char* What;
        const char* Key;
        long long Value;
    };
    const Case cases[] = {
        {"threshold at its maximum", "Threshold", 255},
        {"threshold above the maximum", "Threshold", 256},
        {"threshold below the minimum", "Threshold", -1},
        {"minimum threshold equal to the maximum", "MinThreshold", 255},
        {"minimum threshold above the maximum", "MinThreshold", 300},
        {"no columns", "CentroidsX", 0},
        {"no rows", "CentroidsY", 0},
        {"negative columns", "CentroidsX", -3},
        {"more columns than the parameter allows", "CentroidsX", 51},
        {"more rows than the parameter allows", "CentroidsY", 1000000},
        {"sensor narrower than 2 pixels per column", "SensorWidth", 49},
        {"negative sensor width", "SensorWidth", -2352},
        {"negative sensor height", "SensorHeight", -1},
    };
    VLoopbackReceiver hal;
    std::uint32_t frame = 100;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.What);
        VParamTable params;
        SetSyntheticDefaults(params);
        params.Set(c.Key, c.Value);
        if (std::string(c.Key) == "MinThreshold")
            params.Set("Threshold", 255);
        VFakeSourceCentroid source(params, hal.Target(kDeviceId));
        ExpectTrailerOnly(source, hal, frame);
        ++frame;
    }

    // Exactly 2 pixels per column is still a grid: every column at x = 0.
    VParamTable params;
    SetSyntheticDefaults(params);
    params.Set("SensorWidth", 50);
    VFakeSourceCentroid source(params, hal.Target(kDeviceId));
    std::uint32_t bytes = 0;
    std::vector<VCentroidFields> centroids;
    std::vector<VTrackFields> tracks;
    DecodeRecords(SendAndReceive(source, hal, frame, frame - 1, bytes), centroids, tracks);
    ASSERT_EQ(centroids.size(), 300u);
    EXPECT_EQ(centroids[299].X, 0);
    EXPECT_TRUE(hal.IsDrained());
}

TEST(SyntheticCentroidSource, GridGeometryOfTheDefaults)
{
    VCentroidGridSettings settings;
    settings.SensorWidth = 2352;
    settings.SensorHeight = 1728;
    const std::optional<VCentroidGrid> grid = VFakeSourceCentroid::ComputeGrid(settings);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->Rows, 12u);
    EXPECT_EQ(grid->Columns, 25u);
    EXPECT_EQ(grid->RowStep, 51u);
    EXPECT_EQ(grid->ColumnStep, 92u);
    EXPECT_EQ(grid->Radius, 9.0);
    EXPECT_EQ(grid->HalfRow, 25u);
    EXPECT_TRUE(grid->ShowsFrameNumber);
    EXPECT_EQ(grid->Count(), 300u);

    // Keys the camera does not have keep the parameters' defaults (a 0-pixel sensor here,
    // which cannot hold a grid).
    VParamTable empty;
    const VCentroidGridSettings read = VCentroidGridSettings::Read(empty);
    EXPECT_EQ(read.CentroidsX, 25);
    EXPECT_EQ(read.Threshold, 128);
    EXPECT_FALSE(VFakeSourceCentroid::ComputeGrid(read));
}

TEST(SyntheticGreyscaleSource, SendsTheTrailerAlone)
{
    VLoopbackReceiver hal;
    VFakeSourceGreyscale source(hal.Target(kDeviceId));
    std::uint32_t bytes = 0;
    const std::vector<Datagram> datagrams = SendAndReceive(source, hal, 77, 70, bytes);
    ASSERT_EQ(datagrams.size(), 1u);
    ASSERT_EQ(datagrams[0].size(), 36u);
    EXPECT_EQ(bytes, 36u);
    const VTrailer trailer = DecodeTrailer(datagrams[0]);
    EXPECT_EQ(trailer.StreamKind, 0x00010002u);
    EXPECT_EQ(trailer.DeviceId, kDeviceId);
    EXPECT_EQ(trailer.FrameNumber, 77u);
    EXPECT_EQ(trailer.ByteCount, 0u);
    EXPECT_EQ(trailer.CentroidCount, 0u);
    EXPECT_EQ(trailer.PreviousFrame, 70u);
    EXPECT_EQ(trailer.Tracking, 0u);
    EXPECT_TRUE(hal.IsDrained());
}

TEST(FakeSource, UnreachableTargetDropsWithoutBlocking)
{
    // A socket that cannot send (port 0 is refused by the kernel) drops each datagram at
    // once; the frame still reports only what went out.
    VFakeSourceTarget target;
    target.DeviceId = kDeviceId;
    target.HalAddress = htonl(INADDR_LOOPBACK);
    target.Port = 0;
    VFakeSourceGreyscale source(target);
    std::uint32_t bytes = 99;
    source.SendFrame(1, 0, bytes);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(source.GetSocketSink().GetDroppedCount(), 1u);

    // A recording sink takes the datagrams instead of the socket.
    VRecordingSink recorder;
    source.SetSink(&recorder);
    source.SendFrame(2, 1, bytes);
    EXPECT_EQ(bytes, 36u);
    EXPECT_EQ(recorder.Take().size(), 1u);
    EXPECT_EQ(source.GetSocketSink().GetDroppedCount(), 1u);
}

namespace
{
/// A device with typed getters by key, as the device base has them.
struct VGetterDevice
{
    bool GetParam(const char* key, bool& out) const { return Give(key, out, true); }
    bool GetParam(const char* key, std::int32_t& out) const { return Give(key, out, -7); }
    bool GetParam(const char* key, std::uint32_t& out) const { return Give(key, out, 7u); }
    bool GetParam(const char* key, double& out) const { return Give(key, out, 2.5); }
    bool GetParam(const char* key, std::string& out) const
    {
        return Give(key, out, std::string("text"));
    }

    template <class T> bool Give(const char* key, T& out, T value) const
    {
        m_Keys.push_back(key);
        if (std::string(key) == "Missing")
            return false;
        out = value;
        return true;
    }
    mutable std::vector<std::string> m_Keys;
};
} // namespace

TEST(FakeSource, DeviceParamReaderForwardsToTheTypedGetters)
{
    VGetterDevice device;
    const TDeviceParamReader<VGetterDevice> reader(device);
    const IFakeSourceParams& params = reader;
    EXPECT_TRUE(params.ReadParamOr<bool>("A", false));
    EXPECT_EQ(params.ReadParamOr<std::int32_t>("B", 0), -7);
    EXPECT_EQ(params.ReadParamOr<std::uint32_t>("C", 0u), 7u);
    EXPECT_EQ(params.ReadParamOr<double>("D", 0.0), 2.5);
    EXPECT_EQ(params.ReadParamOr<std::string>("E", ""), "text");
    EXPECT_EQ(params.ReadParamOr<std::int32_t>("Missing", 42), 42);
    EXPECT_EQ(device.m_Keys, (std::vector<std::string>{"A", "B", "C", "D", "E", "Missing"}));
}
