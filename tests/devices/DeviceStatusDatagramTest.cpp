// The status datagrams of the device base byte for byte, and the checks on a datagram's own
// length that decide how many bytes go out.
#include "devices/DeviceStatusDatagram.h"

#include "support/WireBytes.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(DeviceStatusDatagram, SyncStatusCarriesNotFreeRunningAndMasterBits)
{
    // SyncMode: 3 free-running, 2 master, 1 surrogate master, 0 slave.
    const std::pair<int32_t, uint32_t> cases[] = {{3, 0u}, {2, 3u}, {1, 1u}, {0, 1u}};
    for (const auto& [mode, bits] : cases)
    {
        Bytes packet(DeviceStatus::BaseDatagramSize, 0xEE);
        DeviceStatus::EncodeSyncStatus(packet.data(), mode);
        Bytes expected = {3, 0, 24, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        expected[12] = static_cast<uint8_t>(bits);
        EXPECT_EQ(packet, expected) << "sync mode " << mode;
    }
}

TEST(DeviceStatusDatagram, PositionCarriesSlotAndGroup)
{
    Bytes packet(DeviceStatus::BaseDatagramSize, 0xEE);
    DeviceStatus::EncodePosition(packet.data(), 8 * 300 + 5);
    const Bytes expected = {2, 0, 24, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                            5, 0, 44, 1, 0, 0, 0, 0, 0, 0, 0, 0}; // group 300 = 0x012C
    EXPECT_EQ(packet, expected);

    // Host tag (low 16 bits) and device id go in at offsets 6 and 8; nothing else changes.
    DeviceStatus::FillAddress(packet.data(), 70000, 0x02000001);
    EXPECT_EQ(U16(packet, 6), 4464);
    EXPECT_EQ(U32(packet, 8), 0x02000001u);
    EXPECT_EQ(Bytes(packet.begin() + 12, packet.end()),
              Bytes(expected.begin() + 12, expected.end()));
}

TEST(DeviceStatusDatagram, OwnLengthMustCoverTheHeaderAndFitTheBuffer)
{
    uint8_t packet[40] = {};
    for (const auto& [length, capacity, expected] :
         {std::tuple{24u, 24u, 24u}, std::tuple{28u, 40u, 28u}, std::tuple{32u, 32u, 32u},
          std::tuple{12u, 40u, 12u}, std::tuple{11u, 40u, 0u}, std::tuple{33u, 32u, 0u},
          std::tuple{0u, 40u, 0u}, std::tuple{24u, 8u, 0u}})
    {
        DeviceStatus::EncodeHeader(packet, 4, static_cast<uint16_t>(length));
        EXPECT_EQ(DeviceStatus::GetDatagramLength(packet, capacity), expected)
            << "length " << length << " in " << capacity << " bytes";
    }
    EXPECT_EQ(DeviceStatus::GetDatagramLength(nullptr, 32), 0u);
}
