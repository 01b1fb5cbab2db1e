// The preview picture and its sender: the cut of a picture into blocks and datagrams, the
// header built in place in front of the pixels, the test picture, sensors that cannot be
// previewed, and the sender thread on loopback with a prompt close.
#include "devices/VPreviewPicture.h"
#include "devices/VPreviewServer.h"

#include "support/MillisecondsOf.h"
#include "support/VUdpReceiver.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using namespace testsupport;

namespace
{

const uint32_t Loopback = htonl(INADDR_LOOPBACK);

/// Keeps a copy of every datagram and where its bytes lay.
class VRecordingSink : public IDatagramSink
{
public:
    bool Send(const uint8_t* bytes, size_t length) override
    {
        m_Datagrams.emplace_back(bytes, bytes + length);
        m_Addresses.push_back(bytes);
        return true;
    }
    std::vector<Bytes> m_Datagrams;
    std::vector<const uint8_t*> m_Addresses;
};

struct PreviewHeader
{
    uint32_t ImageCount, PixelCount, FirstLine, Offset;
};

PreviewHeader CheckHeader(const Bytes& datagram, uint32_t deviceId, uint32_t width, uint32_t height)
{
    EXPECT_GE(datagram.size(), PreviewDatagram::HeaderSize);
    EXPECT_EQ(U16(datagram, 0), 0xC000);
    EXPECT_EQ(U16(datagram, 2), 36);
    EXPECT_EQ(U16(datagram, 4), 2);
    EXPECT_EQ(U16(datagram, 6), 4);
    EXPECT_EQ(U32(datagram, 8), deviceId);
    EXPECT_EQ(U16(datagram, 24), 1400);
    EXPECT_EQ(U16(datagram, 26), 0);
    EXPECT_EQ(U16(datagram, 28), width);
    EXPECT_EQ(U16(datagram, 30), height);
    const PreviewHeader header{U32(datagram, 12), U32(datagram, 16), U32(datagram, 20),
                               U32(datagram, 32)};
    EXPECT_EQ(datagram.size(), PreviewDatagram::HeaderSize + header.PixelCount);
    return header;
}

/// Cuts one whole picture and checks every datagram; returns the pixel counts per block.
std::vector<std::vector<uint32_t>> CutOnePicture(uint32_t width, uint32_t height)
{
    const uint32_t deviceId = 4711;
    VPreviewPicture picture(deviceId, width, height);
    VRecordingSink sink;
    do
    {
        if (picture.SendNext(sink) == 0)
            break;
    } while (!picture.IsAtPictureStart());

    std::vector<std::vector<uint32_t>> blocks;
    uint32_t expectedOffset = 0;
    for (size_t i = 0; i < sink.m_Datagrams.size(); ++i)
    {
        const Bytes& datagram = sink.m_Datagrams[i];
        const PreviewHeader header = CheckHeader(datagram, deviceId, width, height);
        EXPECT_EQ(header.ImageCount, 1u);
        EXPECT_EQ(header.Offset, expectedOffset);
        if (header.Offset == header.FirstLine * width)
            blocks.emplace_back();
        EXPECT_EQ(header.FirstLine, (blocks.size() - 1) * VPreviewPicture::BlockLines);
        blocks.back().push_back(header.PixelCount);
        for (uint32_t k = 0; k < header.PixelCount; ++k)
        {
            const uint32_t at = header.Offset + k;
            if (datagram[PreviewDatagram::HeaderSize + k] !=
                VPreviewPicture::TestPixel(at % width, at / width, width, height, 1))
            {
                ADD_FAILURE() << "pixel " << at << " of the picture is wrong";
                break;
            }
        }
        // Built in place: each datagram's header lies right over the previous datagram's
        // last 36 pixels, so no pixel was copied.
        if (i > 0)
        {
            EXPECT_EQ(sink.m_Addresses[i],
                      sink.m_Addresses[i - 1] + (sink.m_Datagrams[i - 1].size() - 36));
        }
        expectedOffset += header.PixelCount;
    }
    EXPECT_EQ(expectedOffset, width * height);
    return blocks;
}

} // namespace

TEST(PreviewPicture, CutsA640By480PictureInto48BlocksOfSevenDatagrams)
{
    const auto blocks = CutOnePicture(640, 480);
    ASSERT_EQ(blocks.size(), 48u);
    for (const auto& block : blocks)
        EXPECT_EQ(block, (std::vector<uint32_t>{1024, 1024, 1024, 1024, 1024, 1024, 256}));

    // The last datagram: offset 299.75 × 1024, first line 470.
    VPreviewPicture picture(1, 640, 480);
    VRecordingSink sink;
    for (int i = 0; i < 48 * 7; ++i)
        picture.SendNext(sink);
    const PreviewHeader last = CheckHeader(sink.m_Datagrams.back(), 1, 640, 480);
    EXPECT_EQ(last.Offset, 306944u);
    EXPECT_EQ(last.FirstLine, 470u);
    EXPECT_EQ(last.PixelCount, 256u);
    EXPECT_TRUE(picture.IsAtPictureStart());

    // The next datagram starts picture 2 at offset 0, with rings moved by 5 grey levels.
    picture.SendNext(sink);
    const PreviewHeader next = CheckHeader(sink.m_Datagrams.back(), 1, 640, 480);
    EXPECT_EQ(next.ImageCount, 2u);
    EXPECT_EQ(next.Offset, 0u);
    EXPECT_EQ(next.FirstLine, 0u);
    EXPECT_EQ(picture.GetPixel(320, 240), 10);
    EXPECT_EQ(picture.GetPixel(0, 0), static_cast<uint8_t>(400 + 10)); // √(320² + 240²) = 400
}

TEST(PreviewPicture, AHeightNotAMultipleOfTenEndsWithAShorterBlock)
{
    // 485 lines of 640: 48 full blocks, then 5 lines = 3200 pixels.
    const auto blocks = CutOnePicture(640, 485);
    ASSERT_EQ(blocks.size(), 49u);
    EXPECT_EQ(blocks.back(), (std::vector<uint32_t>{1024, 1024, 1024, 128}));

    // A narrow sensor whose blocks fit in one datagram each: 10 × 7 = 70 pixels, last 3 × 7.
    const auto narrow = CutOnePicture(7, 23);
    ASSERT_EQ(narrow.size(), 3u);
    EXPECT_EQ(narrow.back(), std::vector<uint32_t>{21});
}

TEST(PreviewPicture, TestPictureIsRingsAroundTheCentre)
{
    // Centre at (width/2, height/2) with integer halves; distance plus 5 per picture, low byte.
    EXPECT_EQ(VPreviewPicture::TestPixel(2, 1, 5, 3, 1), 5);
    EXPECT_EQ(VPreviewPicture::TestPixel(5, 1, 5, 3, 1), 8);
    EXPECT_EQ(VPreviewPicture::TestPixel(0, 0, 5, 3, 3), static_cast<uint8_t>(2 + 15)); // √5
    EXPECT_EQ(VPreviewPicture::TestPixel(0, 0, 640, 480, 52), static_cast<uint8_t>(400 + 260));
}

TEST(PreviewPicture, ASensorWithoutPixelsSendsNothing)
{
    for (const auto& [width, height] :
         {std::pair{0u, 480u}, std::pair{640u, 0u}, std::pair{0u, 0u}, std::pair{100000u, 100000u}})
    {
        VPreviewPicture picture(1, width, height);
        VRecordingSink sink;
        EXPECT_FALSE(picture.IsSendable());
        EXPECT_EQ(picture.SendNext(sink), 0u);
        EXPECT_TRUE(sink.m_Datagrams.empty()) << width << " x " << height;
    }
}

TEST(PreviewServer, StreamsPicturesOnLoopbackAndClosesPromptly)
{
    VUdpReceiver host;
    ASSERT_TRUE(host.IsOpen());
    auto server = std::make_unique<VPreviewServer>(Loopback, 77, 64, 48, host.GetPort());
    EXPECT_TRUE(server->IsSending());
    // The first datagram of the first picture: 10 lines of 64 pixels fit in one datagram.
    const auto first = host.Receive();
    ASSERT_TRUE(first.has_value()) << "no preview datagram within 5 s";
    const PreviewHeader header = CheckHeader(*first, 77, 64, 48);
    EXPECT_EQ(header.ImageCount, 1u);
    EXPECT_EQ(header.Offset, 0u);
    EXPECT_EQ(header.PixelCount, 640u);
    // Further pictures follow, counted up.
    bool sawLaterPicture = false;
    for (int i = 0; i < 200 && !sawLaterPicture; ++i)
    {
        const auto datagram = host.Receive();
        ASSERT_TRUE(datagram.has_value());
        sawLaterPicture = U32(*datagram, 12) > 1;
    }
    EXPECT_TRUE(sawLaterPicture);
    EXPECT_LT(MillisecondsOf([&] { server.reset(); }), 1000);
    host.Drain();
    EXPECT_FALSE(host.Receive(std::chrono::milliseconds(200)).has_value())
        << "a datagram after destruction";
}

TEST(PreviewServer, ASensorWithoutPixelsRunsNoThreadAndSendsNothing)
{
    VUdpReceiver host;
    VPreviewServer server(Loopback, 77, 0, 480, host.GetPort());
    EXPECT_FALSE(server.IsSending());
    EXPECT_FALSE(host.Receive(std::chrono::milliseconds(300)).has_value());
}

TEST(PreviewServer, UnreachableHostDoesNotHoldUpTheClose)
{
    // A full-size picture streamed to a port nobody reads on loopback (refusals drop the
    // datagrams at once) and to an address that may not route at all.
    for (uint32_t address : {Loopback, htonl(0x0A0000FE)})
    {
        auto server = std::make_unique<VPreviewServer>(address, 1, 1280, 1024, 9);
        VThread::Sleep(50);
        EXPECT_LT(MillisecondsOf([&] { server.reset(); }), 1000);
    }
}
