// The camera variants: identity from the model index or the trial's camera record, the
// sources made on "portset" and what each tick sends, the skip line, and the release of the
// sources on disconnect. Loopback, ephemeral ports only.
#include "CameraVariantTestSupport.h"

#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/camerawire/CameraRecords.h"
#include "params/IString.h"
#include "sources/VX2DPreparedStreams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace variants_test;

std::string Description(const VFakeDevice& device)
{
    VStringStd text;
    device.GetDescription(text);
    return text.Str();
}

/// The centroid records (tag 0xC007) among `datagrams`, in order.
std::vector<Bytes> Records(const std::vector<Bytes>& datagrams, std::uint16_t tag)
{
    std::vector<Bytes> records;
    for (const Bytes& datagram : datagrams)
    {
        if (IsTrailer(datagram))
            continue;
        for (std::size_t offset = 0; offset + 16 <= datagram.size(); offset += 16)
        {
            if (U16(datagram, offset) == tag)
                records.emplace_back(datagram.begin() + static_cast<std::ptrdiff_t>(offset),
                                     datagram.begin() + static_cast<std::ptrdiff_t>(offset + 16));
        }
    }
    return records;
}

std::vector<Bytes> Trailers(const std::vector<Bytes>& datagrams)
{
    std::vector<Bytes> trailers;
    for (const Bytes& datagram : datagrams)
    {
        if (IsTrailer(datagram))
            trailers.push_back(datagram);
    }
    return trailers;
}

// ---- rules ------------------------------------------------------------------

TEST(CameraVariantRules, TypeNamesAndSensorAreasNameTheModel)
{
    // The old sensor labels name the models they stand for; the model names stay.
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("KS1A"), "Zt-H0");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("Zt-H0"), "Zt-H0");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("KS2A"), "Zt-M1");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("Zt-M1"), "Zt-M1");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("KS4A"), "Zt-M4");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("Zt-M4"), "Zt-M4");
    // Any other name is taken as it is, known to the model table or not.
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("KS3A"), "KS3A");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("CellF"), "CellF");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName("ks1a"), "ks1a");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForTypeName(""), "");

    // A typed record ignores its sensor.
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "KS2A", 2352, 1728)),
              "Zt-M1");
    // An untyped record is judged by its sensor: the "CellF" sensor is 2344 × 1728
    // (4050432 pixels); 2336 × 1728 (4036608) is no model's.
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 2352, 1728)), "Zt-M4");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 2344, 1728)), "CellF");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 2336, 1728)), "");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 659, 494)), "Zt-H0");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 1280, 1024)), "Zt-M1");
    // The area decides, not the orientation; other areas name nothing.
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 1024, 1280)), "Zt-M1");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 1600, 1280)), "");
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 0, 0)), "");
    // No 32-bit wrap-around: 65536 × 65536 is not an area of 0.
    EXPECT_EQ(VFakeDeviceCameraX2D::DeviceTypeForRecord(CameraRecord(1, "", 65536, 65536)), "");
}

TEST(CameraVariantRules, SkipLineShowsTheSignedDifference)
{
    // The next frame: nothing to say.
    EXPECT_EQ(VFakeDeviceCameraX2D::SkipLine(7, 101, 100), "");
    // A jump forwards.
    EXPECT_EQ(VFakeDeviceCameraX2D::SkipLine(7, 110, 100),
              "Device 7 skipped 10 frames between frame numbers 100 and 110\n");
    // A jump backwards shows a negative count; a repeated number a count of 0.
    EXPECT_EQ(VFakeDeviceCameraX2D::SkipLine(7, 90, 100),
              "Device 7 skipped -10 frames between frame numbers 100 and 90\n");
    EXPECT_EQ(VFakeDeviceCameraX2D::SkipLine(7, 100, 100),
              "Device 7 skipped 0 frames between frame numbers 100 and 100\n");
    // Frame numbers wrap at 32 bits: 0 after 0xFFFFFFFF is the next frame.
    EXPECT_EQ(VFakeDeviceCameraX2D::SkipLine(7, 0, 0xFFFFFFFFu), "");
    // Every number prints as a signed 32-bit value.
    EXPECT_EQ(VFakeDeviceCameraX2D::SkipLine(0x80000001u, 5, 0xFFFFFFF0u),
              "Device -2147483647 skipped 21 frames between frame numbers -16 and 5\n");
}

TEST(CameraVariantRules, SyntheticModelAndStrobeIndices)
{
    const char* const expected[] = {"Zt-H0",
                                    "Zt-M1",
                                    "Zt-M4",
                                    "Zt-K1",
                                    "Zt-K2",
                                    "Zt-K4",
                                    "Zt-L2",
                                    "Zt-L4",
                                    "CellC",
                                    "CellD",
                                    "CellE",
                                    "CellF",
                                    "CellG",
                                    "Unknown",
                                    "WREN_MOCAP_VGA",
                                    "WREN_VIDEO_VGA",
                                    "WREN_2_MOCAP_1MP",
                                    "WREN_2_VIDEO_1MP",
                                    "WREN_2_VIDEO_1MP_C"};
    for (std::uint32_t model = 0; model < std::size(expected); ++model)
        EXPECT_STREQ(VFakeDeviceCameraSynth::DeviceTypeForModel(model), expected[model]) << model;
    EXPECT_STREQ(VFakeDeviceCameraSynth::DeviceTypeForModel(19), "Unknown");
    EXPECT_STREQ(VFakeDeviceCameraSynth::DeviceTypeForModel(0xFFFFFFFFu), "Unknown");

    EXPECT_STREQ(VFakeDeviceCameraSynth::StrobeTypeForIndex(0), "No Strobe");
    EXPECT_STREQ(VFakeDeviceCameraSynth::StrobeTypeForIndex(1), "Visible");
    EXPECT_STREQ(VFakeDeviceCameraSynth::StrobeTypeForIndex(2), "Near IR");
    EXPECT_STREQ(VFakeDeviceCameraSynth::StrobeTypeForIndex(3), "IR");
    EXPECT_STREQ(VFakeDeviceCameraSynth::StrobeTypeForIndex(4), "Unknown");
}

// ---- synthetic camera -------------------------------------------------------

TEST_F(VariantFixture, SyntheticCameraOfModel13IsUnknownAndSendsNothing)
{
    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));

    auto unknown = VFakeDevice::Create<VFakeDeviceCameraSynth>(*m_Manager, 1u, 1u, htonl(kLoopback),
                                                               htonl(kLoopback), 13u, 3u);
    EXPECT_EQ(unknown->GetParamOr<std::string>("DeviceType", ""), "Unknown");
    EXPECT_EQ(unknown->GetParamOr<std::string>("StrobeType", ""), "IR");
    EXPECT_EQ(unknown->GetParamOr("ProtocolVersion", int32_t{-1}), 0);
    EXPECT_FALSE(unknown->GetParamOr("SupportsCentroids", true));
    EXPECT_FALSE(unknown->GetParamOr("SupportsGreyscale", true));
    EXPECT_EQ(Description(*unknown), "Synth: Unknown 1");

    StartStreaming(*unknown, centroids->GetPort());
    for (std::uint32_t frame = 1; frame <= 5; ++frame)
        Tick(*unknown, frame);
    EXPECT_FALSE(centroids->Receive(200ms).has_value()) << "an unknown model sent centroids";
    EXPECT_FALSE(greyscale->Receive(50ms).has_value()) << "an unknown model sent greyscale";

    // The same steps with a known model do send: the grid, then an empty greyscale frame.
    auto known = VFakeDevice::Create<VFakeDeviceCameraSynth>(*m_Manager, 2u, 2u, htonl(kLoopback),
                                                             htonl(kLoopback), 2u, 0u);
    EXPECT_EQ(known->GetParamOr<std::string>("DeviceType", ""), "Zt-M4");
    EXPECT_EQ(known->GetParamOr<std::string>("StrobeType", ""), "No Strobe");
    StartStreaming(*known, centroids->GetPort());
    Tick(*known, 1);
    const std::vector<Bytes> grid = centroids->ReceiveAll();
    // 2352 × 1728 at the default settings: 12 rows of 25, in datagrams of 87 records.
    EXPECT_EQ(Records(grid, 0xC007).size(), 300u);
    ASSERT_EQ(Trailers(grid).size(), 1u);
    EXPECT_EQ(U32(Trailers(grid)[0], 8), 2u);
    const std::vector<Bytes> empty = greyscale->ReceiveAll();
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_TRUE(IsTrailer(empty[0]));
    EXPECT_EQ(U32(empty[0], 4), kGreyscaleStream);
}

// ---- trial-file camera ------------------------------------------------------

TEST_F(VariantFixture, TrialCameraTakesItsIdentityFromTheRecord)
{
    const std::string path = m_Temp.File("identity.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(11, "KS2A", 1280, 1024), CameraRecord(12, "", 1280, 1024),
                      CameraRecord(13, "", 2344, 1728), CameraRecord(14, "Zt-M4", 2000, 1500),
                      CameraRecord(15, "WREN_VIDEO_VGA", 640, 480)};
    layout.Rate = 120.0;
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr);

    struct VExpected
    {
        std::uint32_t m_Id;
        const char* m_Type;
        int32_t m_Width;
        int32_t m_Height;
        int32_t m_Protocol;
    };
    const VExpected expected[] = {{11, "Zt-M1", 1280, 1024, 1},
                                  {12, "Zt-M1", 1280, 1024, 1},
                                  {13, "CellF", 2344, 1728, 1},
                                  // The record's sensor replaces the model's.
                                  {14, "Zt-M4", 2000, 1500, 1},
                                  {15, "WREN_VIDEO_VGA", 640, 480, 2}};
    for (std::uint32_t index = 0; index < std::size(expected); ++index)
    {
        SCOPED_TRACE(index);
        auto camera = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, trial, index, index + 1,
                                                                htonl(kLoopback), htonl(kLoopback));
        EXPECT_EQ(camera->GetDeviceId(), expected[index].m_Id);
        EXPECT_EQ(camera->GetParamOr("DeviceID", uint32_t{0}), expected[index].m_Id);
        EXPECT_EQ(camera->GetParamOr<std::string>("DeviceType", "?"), expected[index].m_Type);
        EXPECT_EQ(camera->GetParamOr("SensorWidth", int32_t{0}), expected[index].m_Width);
        EXPECT_EQ(camera->GetParamOr("SensorHeight", int32_t{0}), expected[index].m_Height);
        EXPECT_EQ(camera->GetParamOr("ProtocolVersion", int32_t{0}), expected[index].m_Protocol);
        EXPECT_DOUBLE_EQ(camera->GetParamOr("SystemFrameRate", 0.0), 120.0);
        EXPECT_EQ(Description(*camera), std::string("X2D: ") + expected[index].m_Type + " " +
                                            std::to_string(expected[index].m_Id));
    }
}

TEST_F(VariantFixture, TrialCameraOfAnUnknownTypeWarnsAndSendsNothing)
{
    const std::string path = m_Temp.File("unknown.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(21, "KS3A", 1600, 1280), CameraRecord(22, "", 2336, 1728)};
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr);

    testing::internal::CaptureStdout();
    auto ks3a = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, trial, 0u, 1u,
                                                          htonl(kLoopback), htonl(kLoopback));
    auto untyped = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, trial, 1u, 2u,
                                                             htonl(kLoopback), htonl(kLoopback));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("21: Camera type \"KS3A\" is not a known camera model: this camera "
                           "will send no frame data\n"),
              std::string::npos)
        << printed;
    EXPECT_NE(printed.find("22: Camera type \"\" is not a known camera model"), std::string::npos)
        << printed;

    // Created as the record says, with the parameters of an unknown model.
    EXPECT_EQ(ks3a->GetParamOr<std::string>("DeviceType", "?"), "KS3A");
    EXPECT_EQ(ks3a->GetParamOr("ProtocolVersion", int32_t{-1}), 0);
    EXPECT_EQ(ks3a->GetParamOr("SensorWidth", int32_t{0}), 1600);
    EXPECT_EQ(untyped->GetParamOr<std::string>("DeviceType", "?"), "");

    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));
    StartStreaming(*ks3a, centroids->GetPort());
    StartStreaming(*untyped, centroids->GetPort());
    for (std::uint32_t frame = 1; frame <= 3; ++frame)
    {
        Tick(*ks3a, frame);
        Tick(*untyped, frame);
    }
    EXPECT_FALSE(centroids->Receive(200ms).has_value());
    EXPECT_FALSE(greyscale->Receive(50ms).has_value());
}

TEST_F(VariantFixture, TrialCameraReplaysTheFileByFrameNumber)
{
    const std::string path = m_Temp.File("replay.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(31, "Zt-M4", 2352, 1728), CameraRecord(32, "Zt-M4", 2352, 1728)};
    layout.Frames = 10;
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr);
    auto camera = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, trial, 1u, 1u,
                                                            htonl(kLoopback), htonl(kLoopback));

    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));
    StartStreaming(*camera, centroids->GetPort());

    // Tracking read from the file: frame 23 replays trial frame 3 of camera 1.
    camera->SetParam("Tracking", "Read");
    Tick(*camera, 22);
    centroids->ReceiveAll();
    greyscale->ReceiveAll();
    Tick(*camera, 23);
    const std::vector<Bytes> datagrams = centroids->ReceiveAll();

    VCentroidFrame fileCentroids;
    VCentroidTrackFrame fileTracks;
    ASSERT_TRUE(trial->ReadFrame(3, &fileCentroids, &fileTracks, nullptr, nullptr));
    const ICentroidData* data = nullptr;
    std::uint32_t count = 0;
    fileCentroids.GetSetDirect(1)->GetData(&data, &count, nullptr);
    ASSERT_GT(count, 0u) << "the test trial should show markers to camera 1";

    const std::vector<Bytes> records = Records(datagrams, 0xC007);
    ASSERT_EQ(records.size(), count);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        Bytes expected(16);
        CentroidRecord::Encode(expected.data(), data[i]);
        EXPECT_EQ(records[i], expected) << "centroid " << i;
    }
    const std::vector<Bytes> tracks = Records(datagrams, 0xC006);
    const ICentroidTrackData* trackData = nullptr;
    std::uint32_t trackCount = 0;
    fileTracks.GetSetDirect(1)->GetData(&trackData, &trackCount);
    ASSERT_EQ(tracks.size(), trackCount);
    for (std::uint32_t i = 0; i < trackCount; ++i)
    {
        Bytes expected(16);
        TrackRecord::Encode(expected.data(), i, trackData[i]);
        EXPECT_EQ(tracks[i], expected) << "track " << i;
    }
    const std::vector<Bytes> trailers = Trailers(datagrams);
    ASSERT_EQ(trailers.size(), 1u);
    EXPECT_EQ(U32(trailers[0], 4), kCentroidStream);
    EXPECT_EQ(U32(trailers[0], 8), 32u);
    EXPECT_EQ(U32(trailers[0], 12), 23u);
    EXPECT_EQ(U32(trailers[0], 20), count);
    EXPECT_EQ(U32(trailers[0], 28), 22u);
    EXPECT_EQ(U32(trailers[0], 32), 8u);

    // The greyscale stream of the same frame ends with its trailer.
    const std::vector<Bytes> grey = greyscale->ReceiveAll();
    ASSERT_FALSE(grey.empty());
    const Bytes greyTrailer = TrailingTrailer(grey.back());
    ASSERT_TRUE(IsTrailer(greyTrailer));
    EXPECT_EQ(U32(greyTrailer, 4), kGreyscaleStream);
    EXPECT_EQ(U32(greyTrailer, 12), 23u);
    EXPECT_GT(U32(greyTrailer, 16), 0u) << "trial frame 3 has blobs";

    // An unknown tracking text leaves the source's mode: tracks are still read.
    camera->SetParam("Tracking", "Sideways");
    Tick(*camera, 24);
    EXPECT_EQ(U32(Trailers(centroids->ReceiveAll()).at(0), 32), 8u);
    // Tracking off: no tracks, 0 at offset 32.
    camera->SetParam("Tracking", "Off");
    Tick(*camera, 25);
    const std::vector<Bytes> untracked = centroids->ReceiveAll();
    EXPECT_TRUE(Records(untracked, 0xC006).empty());
    EXPECT_EQ(U32(Trailers(untracked).at(0), 32), 0u);

    // Not enabled: nothing goes out.
    camera->SetParam("Enabled", false);
    Tick(*camera, 26);
    EXPECT_FALSE(centroids->Receive(100ms).has_value());
}

TEST_F(VariantFixture, TrialCameraPrintsTheSkipLineForEachJump)
{
    const std::string path = m_Temp.File("skip.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(41, "Zt-M4", 2352, 1728)};
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    auto camera = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, VX2DHolder::Open(path), 0u,
                                                            1u, htonl(kLoopback), htonl(kLoopback));
    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));
    StartStreaming(*camera, centroids->GetPort());

    testing::internal::CaptureStdout();
    Tick(*camera, 1);  // after 0: no line
    Tick(*camera, 2);  // no line
    Tick(*camera, 10); // forwards by 8
    Tick(*camera, 11); // no line
    Tick(*camera, 4);  // backwards by 7
    std::fflush(stdout);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Device 41 skipped 8 frames between frame numbers 2 and 10\n"
                       "Device 41 skipped -7 frames between frame numbers 11 and 4\n");
}

TEST_F(VariantFixture, TrialWithoutFramesSendsTrailersOnly)
{
    const std::string path = m_Temp.File("empty.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(51, "Zt-M4", 2352, 1728)};
    layout.Frames = 0;
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr) << "a trial without frames opens";
    ASSERT_EQ(trial->GetFrameCount(), 0u);
    auto camera = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, trial, 0u, 1u,
                                                            htonl(kLoopback), htonl(kLoopback));
    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));
    StartStreaming(*camera, centroids->GetPort());
    camera->SetParam("Tracking", "Generate");

    for (std::uint32_t frame = 1; frame <= 3; ++frame)
    {
        Tick(*camera, frame);
        const std::vector<Bytes> sent = centroids->ReceiveAll();
        ASSERT_EQ(sent.size(), 1u) << "frame " << frame;
        ASSERT_TRUE(IsTrailer(sent[0]));
        EXPECT_EQ(U32(sent[0], 12), frame);
        EXPECT_EQ(U32(sent[0], 16), 0u);
        EXPECT_EQ(U32(sent[0], 20), 0u);
        const std::vector<Bytes> grey = greyscale->ReceiveAll();
        ASSERT_EQ(grey.size(), 1u) << "frame " << frame;
        EXPECT_TRUE(IsTrailer(grey[0]));
        EXPECT_EQ(U32(grey[0], 16), 0u);
    }
}

TEST_F(VariantFixture, DisconnectReleasesTheSourcesUntilTheNextPortset)
{
    const std::string path = m_Temp.File("reconnect.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(61, "Zt-M4", 2352, 1728)};
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    auto camera = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, VX2DHolder::Open(path), 0u,
                                                            1u, htonl(kLoopback), htonl(kLoopback));
    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));
    StartStreaming(*camera, centroids->GetPort());
    Tick(*camera, 1);
    EXPECT_FALSE(centroids->ReceiveAll().empty());
    greyscale->ReceiveAll();

    ASSERT_TRUE(SetParamValue<bool>(*camera->GetParamList(), "Connected", false, true));
    ASSERT_TRUE(SetParamValue<bool>(*camera->GetParamList(), "Connected", true, true));
    camera->SetParam("SystemEnabled", true);
    std::string reply;
    camera->ProcessCommand("datadisable false", reply);
    Tick(*camera, 2);
    EXPECT_FALSE(centroids->Receive(150ms).has_value()) << "sources outlived the disconnect";
    EXPECT_FALSE(greyscale->Receive(50ms).has_value());

    camera->ProcessCommand("portset " + std::to_string(centroids->GetPort()), reply);
    Tick(*camera, 3);
    EXPECT_FALSE(centroids->ReceiveAll().empty());
    EXPECT_FALSE(greyscale->ReceiveAll().empty());
}

// Frame output on one thread, "portset" and "notify" on another, disconnects and reconnects on
// the main thread: the sources are replaced and released while frames go out. Meant for the
// thread sanitizer build; in any build nothing may crash and frames must keep flowing.
TEST_F(VariantFixture, PortsetNotifyAndDisconnectDoNotRaceTheFrames)
{
    const std::string path = m_Temp.File("race.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(71, "Zt-M4", 2352, 1728)};
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    auto camera = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, VX2DHolder::Open(path), 0u,
                                                            1u, htonl(kLoopback), htonl(kLoopback));
    VUdpReceiver sink;
    ASSERT_TRUE(sink.IsOpen());
    const std::string portset = "portset " + std::to_string(sink.GetPort());
    StartStreaming(*camera, sink.GetPort());
    camera->SetParam("Tracking", "Generate");

    std::atomic<bool> stop{false};
    std::atomic<std::uint32_t> frames{0};
    std::atomic<std::uint32_t> commands{0};
    std::thread frameThread(
        [&]
        {
            while (!stop.load())
            {
                camera->OnMasterTick();
                ++frames;
            }
        });
    std::thread shellThread(
        [&]
        {
            std::string reply;
            const std::string notify = "notify port " + std::to_string(sink.GetPort()) + " tag 7";
            while (!stop.load())
            {
                camera->ProcessCommand(portset, reply);
                camera->ProcessCommand(notify, reply);
                ++commands;
            }
        });
    // Both threads at work before the reconnects, or there is no race to have: on a
    // loaded machine the 40 rounds can be over before either thread was first scheduled.
    const auto running = [&](std::uint32_t framesAtLeast)
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (frames.load() < framesAtLeast || commands.load() == 0)
        {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    };
    bool started = running(1);
    for (int round = 0; started && round < 40; ++round)
    {
        EXPECT_TRUE(SetParamValue<bool>(*camera->GetParamList(), "Connected", false, true));
        EXPECT_TRUE(SetParamValue<bool>(*camera->GetParamList(), "Connected", true, true));
        camera->SetParam("SystemEnabled", true);
        camera->SetParam("Enabled", true);
        std::this_thread::yield();
    }
    // Frames keep flowing after the reconnects: nothing was left stuck.
    const bool flowing = started && running(frames.load() + 10);
    stop = true;
    frameThread.join();
    shellThread.join();
    EXPECT_TRUE(started) << "the frame and shell threads never ran";
    EXPECT_TRUE(flowing) << "frames stopped after the reconnects";
    sink.ReceiveAll(20ms);
}

// ---- prepared-trial camera --------------------------------------------------

TEST_F(VariantFixture, ParsedCameraReplaysThePreparedStreams)
{
    const std::string path = m_Temp.File("parsed.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(81, "", 1280, 1024), CameraRecord(82, "", 2344, 1728),
                      CameraRecord(83, "KS3A", 1600, 1280)};
    layout.Frames = 5;
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr);
    testing::internal::CaptureStdout();
    const std::shared_ptr<const VX2DPreparedStreams> streams =
        VX2DPreparedStreams::Prepare(*trial, {}, nullptr);
    auto zm1 = VFakeDevice::Create<VFakeDeviceCameraX2DParsed>(*m_Manager, streams, 0u, 1u,
                                                               htonl(kLoopback), htonl(kLoopback));
    auto cellF = VFakeDevice::Create<VFakeDeviceCameraX2DParsed>(
        *m_Manager, streams, 1u, 2u, htonl(kLoopback), htonl(kLoopback));
    const std::string printed = testing::internal::GetCapturedStdout();

    // The streams named the 1280 × 1024 sensor "KS2A"; the 2344 × 1728 one keeps no name,
    // and the prepared camera has no sensor-size rule of its own.
    EXPECT_EQ(zm1->GetParamOr<std::string>("DeviceType", "?"), "Zt-M1");
    EXPECT_EQ(zm1->GetDeviceId(), 81u);
    EXPECT_EQ(Description(*zm1), "X2D: Zt-M1 81");
    EXPECT_EQ(cellF->GetParamOr<std::string>("DeviceType", "?"), "");
    EXPECT_NE(printed.find("82: Camera type \"\" is not a known camera model"), std::string::npos)
        << printed;

    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));
    StartStreaming(*zm1, centroids->GetPort());
    Tick(*zm1, 7); // trial frame 2
    const std::vector<Bytes> sent = centroids->ReceiveAll();
    ASSERT_FALSE(sent.empty());
    ASSERT_TRUE(IsTrailer(sent.back()));
    EXPECT_EQ(U32(sent.back(), 8), 81u);
    EXPECT_EQ(U32(sent.back(), 12), 7u);
    EXPECT_EQ(U32(sent.back(), 28), 0u);
    const std::span<const std::uint8_t> prepared = streams->GetCentroidStream(2, 0);
    std::size_t bytes = 0;
    for (const Bytes& datagram : sent)
        bytes += datagram.size();
    EXPECT_EQ(bytes, prepared.size());
    const std::vector<Bytes> grey = greyscale->ReceiveAll();
    ASSERT_FALSE(grey.empty());
    const Bytes greyTrailer = TrailingTrailer(grey.back());
    ASSERT_TRUE(IsTrailer(greyTrailer));
    EXPECT_EQ(U32(greyTrailer, 4), kGreyscaleStream);
    EXPECT_EQ(U32(greyTrailer, 12), 7u);
}

} // namespace
