// The host's small decoders: AWAKE and ALIVE, the status datagrams, the sync unit's timecode
// and analogue trailer, the shell's "info" report, and the frame numbering of a stream.
#include "tsmhost/DiscoveryDatagram.h"
#include "tsmhost/RunCommandLine.h"
#include "tsmhost/ShellReport.h"
#include "tsmhost/StatusDatagramDecoder.h"
#include "tsmhost/SyncUnitStreamDecoder.h"
#include "tsmhost/VFrameSequence.h"

#include "devices/DeviceStatusDatagram.h"
#include "devices/VAwakeAndAliveServer.h"

#include "FileIO/ByteCodec.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace
{

using Bytes = std::vector<std::uint8_t>;

Bytes Status(std::uint16_t type, std::uint16_t length)
{
    Bytes bytes(length);
    DeviceStatus::EncodeHeader(bytes.data(), type, length);
    DeviceStatus::FillAddress(bytes.data(), 70000, 0x02000006);
    return bytes;
}

/// A timecode datagram as the sync unit builds it, field by field.
Bytes Timecode(std::array<std::uint8_t, 4> bcdClock, std::uint16_t subFrame, std::uint16_t standard)
{
    Bytes bytes(40);
    LittleEndian::StoreU16(bytes.data(), 0xC003);
    LittleEndian::StoreU16(bytes.data() + 2, 40);
    LittleEndian::StoreU16(bytes.data() + 4, 2);
    LittleEndian::StoreU32(bytes.data() + 8, 0x02000006);
    LittleEndian::StoreU32(bytes.data() + 12, 501);
    LittleEndian::StoreU32(bytes.data() + 16, 500);
    std::copy(bcdClock.begin(), bcdClock.end(), bytes.begin() + 24);
    LittleEndian::StoreU16(bytes.data() + 28, subFrame);
    LittleEndian::StoreU16(bytes.data() + 30, standard);
    LittleEndian::StoreU32(bytes.data() + 32, 0x12345678);
    return bytes;
}

} // namespace

TEST(DiscoveryDatagram, ReadsWhatTheDevicesSend)
{
    // AWAKE of a sync unit at position 6 on 127.0.0.5.
    std::array<std::uint8_t, AwakeDatagram::Size> awake{};
    VAwakeAndAliveServer::EncodeAwake(awake.data(), htonl(0x7F000005), DeviceClassControl, 6, 0,
                                      0x02000006);
    VDiscoveryMessage message;
    std::string error;
    ASSERT_TRUE(DecodeDiscoveryDatagram(awake.data(), awake.size(), message, error)) << error;
    EXPECT_EQ(message.Kind, VDiscoveryMessage::EKind::Awake);
    EXPECT_EQ(message.LocalAddress.ToString(), "127.0.0.5");
    EXPECT_EQ(message.ClassCode, DeviceClassControl);
    EXPECT_EQ(message.Position, 6u);
    EXPECT_EQ(message.PlaceFlags, 8u);
    EXPECT_EQ(message.DeviceId, 0x02000006u);
    EXPECT_EQ(FormatHardwareAddress(message.HardwareAddress), "00:00:37:00:00:06:00:00");

    // The 65537th ALIVE carries sequence 0 again.
    std::array<std::uint8_t, AliveDatagram::Size> alive{};
    VAwakeAndAliveServer::EncodeAlive(alive.data(), htonl(0x7F000001), DeviceClassCamera, 65537, 7);
    ASSERT_TRUE(DecodeDiscoveryDatagram(alive.data(), alive.size(), message, error)) << error;
    EXPECT_EQ(message.Kind, VDiscoveryMessage::EKind::Alive);
    EXPECT_EQ(message.Sequence, 1u);
    EXPECT_EQ(message.DeviceId, 7u);
    EXPECT_EQ(message.LocalAddress.ToString(), "127.0.0.1");

    // Cut short, empty and foreign datagrams are refused with a reason, never read past.
    EXPECT_FALSE(DecodeDiscoveryDatagram(awake.data(), 27, message, error));
    EXPECT_EQ(error, "27 bytes: AWAKE cut short (28 needed)");
    EXPECT_FALSE(DecodeDiscoveryDatagram(alive.data(), 31, message, error));
    EXPECT_EQ(error, "31 bytes: ALIVE cut short (32 needed)");
    EXPECT_FALSE(DecodeDiscoveryDatagram(alive.data(), 0, message, error));
    EXPECT_FALSE(DecodeDiscoveryDatagram(nullptr, 0, message, error));
    const Bytes preview = {0x00, 0x05, 0x00, 0x02, 0, 0, 0, 1};
    EXPECT_FALSE(DecodeDiscoveryDatagram(preview.data(), preview.size(), message, error));
    EXPECT_EQ(error, "8 bytes: unknown code 00050002");
}

TEST(StatusDatagramDecoder, ReadsTheFourTypesAndRefusesOthers)
{
    Bytes sync(DeviceStatus::BaseDatagramSize);
    DeviceStatus::EncodeSyncStatus(sync.data(), DeviceStatus::SyncModeMaster);
    DeviceStatus::FillAddress(sync.data(), 70000, 12);
    VStatusMessage message;
    std::string error;
    ASSERT_TRUE(DecodeStatusDatagram(sync.data(), sync.size(), message, error)) << error;
    EXPECT_EQ(message.Type, DeviceStatus::TypeSyncStatus);
    EXPECT_EQ(message.HostTag, 4464u); // 70000 modulo 65536
    EXPECT_EQ(message.DeviceId, 12u);
    EXPECT_EQ(message.SyncStatus, 3u);

    Bytes position(DeviceStatus::BaseDatagramSize);
    DeviceStatus::EncodePosition(position.data(), 13);
    ASSERT_TRUE(DecodeStatusDatagram(position.data(), position.size(), message, error)) << error;
    EXPECT_EQ(message.Slot, 5u);
    EXPECT_EQ(message.Group, 1u);
    EXPECT_EQ(message.GetPosition(), 13u);

    Bytes input = Status(DeviceStatus::TypeInputStatus, 28);
    LittleEndian::StoreU32(input.data() + 12, 99);
    LittleEndian::StoreU16(input.data() + 16, 0x0004);
    LittleEndian::StoreU16(input.data() + 18, 0x0004);
    ASSERT_TRUE(DecodeStatusDatagram(input.data(), input.size(), message, error)) << error;
    EXPECT_EQ(message.FrameNumber, 99u);
    EXPECT_EQ(message.InputLevels, 4u);
    EXPECT_EQ(message.ChangedInput, 4u);
    EXPECT_EQ(message.DeviceId, 0x02000006u);

    Bytes timecode = Status(DeviceStatus::TypeTimecodeStatus, 32);
    LittleEndian::StoreU32(timecode.data() + 24, 1);
    LittleEndian::StoreU32(timecode.data() + 28, 0x211F0000);
    ASSERT_TRUE(DecodeStatusDatagram(timecode.data(), timecode.size(), message, error)) << error;
    EXPECT_EQ(message.TimecodeValue, 1u);
    EXPECT_EQ(message.TimecodeStandard, 0x211F0000u);

    // A length field that disagrees with the datagram or the type, another version, an
    // unknown type, a cut header.
    EXPECT_FALSE(DecodeStatusDatagram(sync.data(), 23, message, error));
    EXPECT_EQ(error, "sync status of 23 bytes, length field 24, 24 expected");
    Bytes longer = Status(DeviceStatus::TypeSyncStatus, 28);
    EXPECT_FALSE(DecodeStatusDatagram(longer.data(), longer.size(), message, error));
    Bytes version = sync;
    LittleEndian::StoreU16(version.data() + DeviceStatus::OffsetVersion, 2);
    EXPECT_FALSE(DecodeStatusDatagram(version.data(), version.size(), message, error));
    EXPECT_EQ(error, "sync status of version 2");
    Bytes unknown = Status(9, 24);
    EXPECT_FALSE(DecodeStatusDatagram(unknown.data(), unknown.size(), message, error));
    EXPECT_EQ(error, "unknown status type 9");
    EXPECT_FALSE(DecodeStatusDatagram(sync.data(), 11, message, error));
}

TEST(SyncUnitStreamDecoder, TimecodeAndAnalogueTrailer)
{
    // 10:00:59:24 PAL, one system frame per timecode frame.
    VTimecodeDatagram timecode;
    const Bytes pal = Timecode({0x10, 0x00, 0x59, 0x24}, 0, 0x0001);
    ASSERT_TRUE(DecodeTimecodeDatagram(pal.data(), pal.size(), timecode));
    EXPECT_EQ(timecode.DeviceId, 0x02000006u);
    EXPECT_EQ(timecode.FrameNumber, 501u);
    EXPECT_EQ(timecode.PreviousFrame, 500u);
    EXPECT_EQ(timecode.UserBits, 0x12345678u);
    EXPECT_EQ(timecode.Format(), "10:00:59:24");
    // NTSC drop-frame, four system frames per timecode frame, the third of them (bit 15 set
    // because 3 > 4 / 2).
    const Bytes drop = Timecode({0x01, 0x02, 0x03, 0x04}, 0x8003, 0x2004);
    ASSERT_TRUE(DecodeTimecodeDatagram(drop.data(), drop.size(), timecode));
    EXPECT_EQ(timecode.SubFrame, 3u);
    EXPECT_EQ(timecode.SubFramesPerFrame, 4u);
    EXPECT_EQ(timecode.Format(), "01:02:03;04.3");
    // Not BCD, wrong version, cut short.
    const Bytes notBcd = Timecode({0x1A, 0x00, 0x00, 0x00}, 0, 1);
    EXPECT_FALSE(DecodeTimecodeDatagram(notBcd.data(), notBcd.size(), timecode));
    Bytes version = pal;
    version[4] = 1;
    EXPECT_FALSE(DecodeTimecodeDatagram(version.data(), version.size(), timecode));
    EXPECT_FALSE(DecodeTimecodeDatagram(pal.data(), 39, timecode));

    // The analogue trailer of a frame of 1800 instants of one channel (3600 bytes).
    Bytes trailer(44);
    LittleEndian::StoreU16(trailer.data(), 0xC005);
    LittleEndian::StoreU16(trailer.data() + 2, 44);
    LittleEndian::StoreU16(trailer.data() + 4, 1);
    LittleEndian::StoreU16(trailer.data() + 6, 0);
    LittleEndian::StoreU32(trailer.data() + 8, 0x02000001);
    LittleEndian::StoreU32(trailer.data() + 12, 8);
    LittleEndian::StoreU32(trailer.data() + 16, 7);
    LittleEndian::StoreU32(trailer.data() + 20, 3600);
    LittleEndian::StoreU16(trailer.data() + 24, 1800);
    LittleEndian::StoreU16(trailer.data() + 26, 1);
    LittleEndian::StoreU32(trailer.data() + 28, 0x1);
    LittleEndian::StoreU32(trailer.data() + 32, 0x80000000);
    LittleEndian::StoreU32(trailer.data() + 36, 3600);
    VAnalogueTrailer analogue;
    ASSERT_TRUE(DecodeAnalogueTrailer(trailer.data(), trailer.size(), analogue));
    EXPECT_EQ(analogue.DeviceId, 0x02000001u);
    EXPECT_EQ(analogue.FrameNumber, 8u);
    EXPECT_EQ(analogue.PreviousFrame, 7u);
    EXPECT_EQ(analogue.Instants, 1800u);
    EXPECT_EQ(analogue.ChannelMask, 0x8000000000000001ull);
    EXPECT_EQ(analogue.DataBytes, 3600u);
    // Samples that happen to start with the tag are samples unless the whole trailer fits.
    EXPECT_FALSE(DecodeAnalogueTrailer(trailer.data(), 43, analogue));
    trailer.push_back(0);
    EXPECT_FALSE(DecodeAnalogueTrailer(trailer.data(), trailer.size(), analogue));

    // A host can take the samples apart only when the counts agree: one channel named but two
    // in the mask, then two channels but the bytes of one.
    EXPECT_NE(CheckAnalogueTrailer(analogue), "");
    analogue.ChannelCount = 2;
    EXPECT_NE(CheckAnalogueTrailer(analogue).find("3600 data bytes for 1800 instants of 2"),
              std::string::npos);
    analogue.DataBytes = 7200;
    EXPECT_EQ(CheckAnalogueTrailer(analogue), "");
}

TEST(SyncUnitStreamDecoder, TimecodesMustFollowEachOther)
{
    auto datagram = [](std::uint32_t frame, std::array<std::uint8_t, 4> clock,
                       std::uint16_t subFrame, std::uint16_t standard)
    {
        Bytes bytes = Timecode(clock, subFrame, standard);
        LittleEndian::StoreU32(bytes.data() + 12, frame);
        VTimecodeDatagram decoded;
        EXPECT_TRUE(DecodeTimecodeDatagram(bytes.data(), bytes.size(), decoded));
        return decoded;
    };
    using EStep = VTimecodeFollower::EStep;
    VTimecodeFollower follower;
    // NTSC drop-frame, 2 system frames per timecode frame, across a minute: 00:00:59;29 k 1,
    // then (frame 12 lost) 00:01:00;02 k 1 two frames later.
    EXPECT_EQ(follower.Next(datagram(10, {0x00, 0x00, 0x59, 0x29}, 1, 0x2002)), EStep::Started);
    EXPECT_EQ(follower.Next(datagram(11, {0x00, 0x01, 0x00, 0x02}, 0, 0x2002)), EStep::Follows);
    EXPECT_EQ(follower.Next(datagram(13, {0x00, 0x01, 0x00, 0x03}, 0, 0x2002)), EStep::Follows);
    // The same timecode again one frame on is a jump; so is one that skips ahead.
    EXPECT_EQ(follower.Next(datagram(14, {0x00, 0x01, 0x00, 0x03}, 0, 0x2002)), EStep::Jumped);
    EXPECT_EQ(follower.Next(datagram(15, {0x00, 0x01, 0x00, 0x08}, 1, 0x2002)), EStep::Jumped);
    // A frame number going back starts afresh; so does a timecode that cannot exist.
    EXPECT_EQ(follower.Next(datagram(3, {0x00, 0x01, 0x00, 0x03}, 0, 0x2002)), EStep::Started);
    EXPECT_EQ(follower.Next(datagram(4, {0x00, 0x01, 0x00, 0x00}, 0, 0x2002)), EStep::Invalid);
    // PAL at 25 frames: the last frame of the day is followed by midnight.
    EXPECT_EQ(follower.Next(datagram(20, {0x23, 0x59, 0x59, 0x24}, 0, 0x0001)), EStep::Started);
    EXPECT_EQ(follower.Next(datagram(21, {0x00, 0x00, 0x00, 0x00}, 0, 0x0001)), EStep::Follows);
}

TEST(ShellReport, CameraAndSyncUnitReports)
{
    const std::string camera = "Device Type : WREN_VIDEO_VGA\n"
                               "Display Device Type : Wren (Reference Video)\n"
                               "Sensor : LUPA300\n"
                               "Sensor Dimensions : 640 x 480\n"
                               "Device ID : 4294967295\n"
                               "Stream : V2 6000 1460 Centroids Greyscale\n"
                               "Stream : V2 7000 8000 Video\n";
    const VShellReport report = ParseShellReport(camera);
    ASSERT_EQ(report.Items.size(), 7u);
    EXPECT_EQ(report.FindAll("Stream").size(), 2u);
    const VDeviceInfo info = ReadDeviceInfo(report);
    EXPECT_EQ(info.DeviceType, "WREN_VIDEO_VGA");
    EXPECT_EQ(info.DisplayDeviceType, "Wren (Reference Video)");
    EXPECT_EQ(info.SensorWidth, 640u);
    EXPECT_EQ(info.SensorHeight, 480u);
    EXPECT_EQ(info.DeviceId, 4294967295u);
    EXPECT_TRUE(info.Protocol2);
    EXPECT_FALSE(info.SystemFrameRate);

    // A protocol-1 camera, with carriage returns, blank lines, a rate and odd lines.
    const VDeviceInfo plain = ReadDeviceInfo(ParseShellReport(
        "\r\nDevice Type : Zt-M4\r\n\r\nSensor Dimensions : 2352 x\r\nFrame Rate : 120.5\r\n"
        "garbage line\r\nDevice ID : 12x\r\n"));
    EXPECT_EQ(plain.DeviceType, "Zt-M4");
    EXPECT_FALSE(plain.Protocol2);
    EXPECT_EQ(plain.SensorWidth, 0u);
    EXPECT_FALSE(plain.DeviceId);
    ASSERT_TRUE(plain.SystemFrameRate);
    EXPECT_DOUBLE_EQ(*plain.SystemFrameRate, 120.5);
    EXPECT_EQ(ParseShellReport("garbage line\n").OtherLines.size(), 1u);
    EXPECT_TRUE(ParseShellReport("").Items.empty());
}

TEST(FrameSequence, LossReorderingAndTheSendersOwnJumps)
{
    using V = VFrameSequence::EVerdict;
    VFrameSequence sequence;
    EXPECT_EQ(sequence.OnFrame(0, 0), V::First);
    EXPECT_EQ(sequence.OnFrame(1, 0), V::InSequence);
    // Frames 2 and 3 went missing: frame 4's predecessor was 3.
    EXPECT_EQ(sequence.OnFrame(4, 3), V::AfterLoss);
    EXPECT_EQ(sequence.GetLost(), 2u);
    // Frame 3 arrives late: out of order, and no longer lost.
    EXPECT_EQ(sequence.OnFrame(3, 2), V::OutOfOrder);
    EXPECT_EQ(sequence.GetLost(), 1u);
    EXPECT_EQ(sequence.GetOutOfOrder(), 1u);
    // A duplicate of frame 4.
    EXPECT_EQ(sequence.OnFrame(4, 3), V::OutOfOrder);
    EXPECT_EQ(sequence.GetOutOfOrder(), 2u);
    // The sender's own jump forward (a new frame number): its predecessor is what we hold.
    EXPECT_EQ(sequence.OnFrame(100, 4), V::Jump);
    // And back (FRAME_NUMBER 0 again): the predecessor is the frame received just before.
    EXPECT_EQ(sequence.OnFrame(0, 100), V::Jump);
    EXPECT_EQ(sequence.OnFrame(1, 0), V::InSequence);
    EXPECT_EQ(sequence.GetJumps(), 2u);
    EXPECT_EQ(sequence.GetLost(), 1u);
    EXPECT_EQ(sequence.GetFrames(), 8u);

    // A restarted device begins again without counting anything.
    sequence.Restart();
    EXPECT_EQ(sequence.OnFrame(0, 0), V::First);
    EXPECT_EQ(sequence.OnFrame(1, 0), V::InSequence);
    EXPECT_EQ(sequence.GetOutOfOrder(), 2u);

    // A gap beyond any plausible loss is a jump, not millions of lost frames.
    VFrameSequence wild;
    wild.OnFrame(5, 4);
    EXPECT_EQ(wild.OnFrame(4000000000u, 3999999999u), V::Jump);
    EXPECT_EQ(wild.GetLost(), 0u);
}

TEST(RunCommandLine, AnalogueRatesDivideTheSampleClock)
{
    std::uint32_t prescaler = 0;
    std::uint32_t divisor = 0;
    // The smallest prescaler whose divisor fits 16 bits.
    ASSERT_TRUE(SampleClockDivision(1000.0, prescaler, divisor));
    EXPECT_EQ(prescaler, 3u);
    EXPECT_EQ(divisor, 45000u);
    ASSERT_TRUE(SampleClockDivision(180000.0, prescaler, divisor));
    EXPECT_EQ(prescaler * divisor, 750u);
    ASSERT_TRUE(SampleClockDivision(3000.0, prescaler, divisor));
    EXPECT_EQ(prescaler * divisor, 45000u);
    // Not whole ticks, no rate, faster than the clock.
    EXPECT_FALSE(SampleClockDivision(7.0, prescaler, divisor));
    EXPECT_FALSE(SampleClockDivision(0.0, prescaler, divisor));
    EXPECT_FALSE(SampleClockDivision(2.0e8, prescaler, divisor));

    VRunOptions options;
    std::string error;
    ASSERT_TRUE(ParseRunCommandLine({"--analogue-rate=3000"}, options, error)) << error;
    EXPECT_EQ(options.AnalogueRate, 3000.0);
    EXPECT_EQ(options.AnaloguePrescaler * options.AnalogueDivisor, 45000u);
    EXPECT_FALSE(ParseRunCommandLine({"--analogue-rate", "-5"}, options, error));
}
