// Where a trial-file camera's data goes for the fixed data port 6000 that a host gives with
// "portset": protocol-1 cameras to 6000 and 7000, protocol-2 cameras to 11000 alone. Binds
// those ports on loopback, so it holds the protocol-port lock.
#include "CameraVariantTestSupport.h"

#include "FileIO/X2DIO/VX2DHolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using namespace variants_test;

constexpr std::uint16_t kDataPort = 6000;

TEST_F(VariantFixture, DataPort6000GoesTo6000And7000OrTo11000ByProtocol)
{
    const std::string path = m_Temp.File("ports.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(1, "WREN_VIDEO_VGA", 640, 480),
                      CameraRecord(2, "Zt-M4", 2352, 1728)};
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr);

    VUdpReceiver centroids(kDataPort);
    VUdpReceiver greyscaleV1(kDataPort + 1000);
    VUdpReceiver greyscaleV2(kDataPort + 5000);
    ASSERT_TRUE(centroids.IsOpen() && greyscaleV1.IsOpen() && greyscaleV2.IsOpen())
        << "ports 6000, 7000 and 11000 must be free on 127.0.0.1";

    // Protocol 2: greyscale only, on 11000; every datagram opens with the header (0xC009).
    auto wren = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, trial, 0u, 1u,
                                                          htonl(kLoopback), htonl(kLoopback));
    ASSERT_EQ(wren->GetParamOr("ProtocolVersion", int32_t{0}), 2);
    ASSERT_FALSE(wren->GetParamOr("SupportsCentroids", true));
    StartStreaming(*wren, kDataPort);
    for (std::uint32_t frame = 1; frame <= 3; ++frame)
        Tick(*wren, frame);
    const std::vector<Bytes> wrenGreyscale = greyscaleV2.ReceiveAll();
    ASSERT_FALSE(wrenGreyscale.empty()) << "no greyscale on port 11000";
    for (const Bytes& datagram : wrenGreyscale)
    {
        ASSERT_GE(datagram.size(), 32u);
        EXPECT_EQ(U16(datagram, 0), 0xC009);
        EXPECT_EQ(U32(datagram, 12), 1u);
    }
    EXPECT_FALSE(centroids.Receive(100ms).has_value()) << "a protocol-2 camera sent to 6000";
    EXPECT_FALSE(greyscaleV1.Receive(50ms).has_value()) << "a protocol-2 camera sent to 7000";

    // Protocol 1: centroids on 6000, greyscale on 7000, nothing on 11000.
    auto zm4 = VFakeDevice::Create<VFakeDeviceCameraX2D>(*m_Manager, trial, 1u, 2u,
                                                         htonl(kLoopback), htonl(kLoopback));
    StartStreaming(*zm4, kDataPort);
    Tick(*zm4, 1);
    const std::vector<Bytes> zm4Centroids = centroids.ReceiveAll();
    ASSERT_FALSE(zm4Centroids.empty());
    EXPECT_TRUE(IsTrailer(zm4Centroids.back()));
    EXPECT_EQ(U32(zm4Centroids.back(), 8), 2u);
    const std::vector<Bytes> zm4Greyscale = greyscaleV1.ReceiveAll();
    ASSERT_FALSE(zm4Greyscale.empty());
    EXPECT_EQ(U32(TrailingTrailer(zm4Greyscale.back()), 4), kGreyscaleStream);
    EXPECT_FALSE(greyscaleV2.Receive(50ms).has_value()) << "a protocol-1 camera sent to 11000";
}

} // namespace
