// The manager on the real broadcast port: logging, HAL filter, dispatch order,
// callbacks into the manager during dispatch, and teardown.
#include "devices/VFakeDeviceManager.h"

#include "support/BroadcastDatagrams.h"
#include "support/VDatagramLog.h"
#include "support/VRecordingDevice.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

using namespace testsupport;

namespace
{

const uint32_t kHal = htonl(kLoopback);

std::vector<std::vector<uint8_t>> Repeat(const std::vector<uint8_t>& datagram, size_t count)
{
    return std::vector<std::vector<uint8_t>>(count, datagram);
}

} // namespace

TEST(FakeDeviceManager, LogsTheHalsCommandAndHandsItToEveryDeviceInListOrder)
{
    VDatagramLog log;
    VFakeDeviceManager manager(nullptr, kHal, kHal);
    EXPECT_EQ(manager.AddDevice(std::make_shared<VRecordingDevice>("first", log)), 1u);
    EXPECT_EQ(manager.AddDevice(std::make_shared<VRecordingDevice>("second", log)), 2u);
    EXPECT_EQ(manager.AddDevice(std::make_shared<VRecordingDevice>("third", log)), 3u);

    const std::vector<uint8_t> master = Datagram({0x00030005, 0x02000001, 1, 100, 500, 0});
    // Same family, unexpected low half: logged as unknown, still handed on.
    const std::vector<uint8_t> unknown = Datagram({0x00030001, 0x02000001, 1, 100, 500, 0});
    testing::internal::CaptureStdout();
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, master));
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, unknown));
    const bool arrived = log.WaitFor(6);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(arrived) << "the devices did not get both commands within 5 s";

    EXPECT_EQ(output,
              "Received broadcast command: 00030005 (BROADCAST_CMD_MASTER, device = 33554433)\n"
              "Received broadcast command: 00030001 (unknown)\n");
    EXPECT_EQ(log.Tags(),
              (std::vector<std::string>{"first", "second", "third", "first", "second", "third"}));
    std::vector<std::vector<uint8_t>> expected = Repeat(master, 3);
    for (const auto& datagram : Repeat(unknown, 3))
        expected.push_back(datagram);
    EXPECT_EQ(log.Datagrams(), expected) << "devices get the datagram as received";
}

TEST(FakeDeviceManager, OtherSendersProduceNothingAndShortDatagramsAreShownThenDropped)
{
    VDatagramLog log;
    VFakeDeviceManager manager(nullptr, kHal, kHal);
    manager.AddDevice(std::make_shared<VRecordingDevice>("device", log));

    const std::vector<uint8_t> master = Datagram({0x00030005, 0x02000001, 1, 100, 500, 0});
    const std::vector<uint8_t> marker = Datagram({0x000A0001});
    testing::internal::CaptureStdout();
    // A valid command from another host.
    ASSERT_TRUE(SendFrom(kOtherLoopback, BROADCAST_CMD_PORT, master));
    // Empty datagrams, which the socket layer lets through from any sender.
    ASSERT_TRUE(SendFrom(kOtherLoopback, BROADCAST_CMD_PORT, {}));
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, {}));
    // From the HAL, but short of the command's words.
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, {0x00, 0x01, 0x00}));
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT,
                         std::vector<uint8_t>(master.begin(), master.end() - 4)));
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, Datagram({0x00010001})));
    // Loopback keeps the order: once the marker is through, the rest was seen.
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, marker));
    const bool arrived = log.WaitFor(1);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(arrived) << "the marker did not arrive within 5 s";

    EXPECT_EQ(output,
              "Dropped a broadcast datagram of 3 bytes: too short for a command\n"
              "Received broadcast command: 00030005 (BROADCAST_CMD_MASTER, device = 33554433)\n"
              "Dropped broadcast command 00030005: 20 bytes is too short, the command needs 24\n"
              "Received broadcast command: 00010001 (BROADCAST_CMD_SYNC, frame = 0)\n"
              "Dropped broadcast command 00010001: 4 bytes is too short, the command needs 8\n"
              "Received broadcast command: 000A0001 (BROADCAST_CMD_TEST_SYNC)\n");
    EXPECT_EQ(log.Datagrams(), std::vector<std::vector<uint8_t>>{marker});
}

TEST(FakeDeviceManager, DevicesMayCallBackIntoTheManagerDuringDispatch)
{
    VDatagramLog log;
    VFakeDeviceManager manager(nullptr, kHal, kHal);
    auto master = std::make_shared<VRecordingDevice>("master", log);
    auto other = std::make_shared<VRecordingDevice>("other", log);
    // Like a master's local sync broadcast: a nested dispatch on the same thread,
    // under the lock the outer dispatch already holds.
    const std::vector<uint8_t> sync = Datagram({0x00010001, 1000});
    master->m_DuringDispatch = [&](const uint8_t* data, size_t)
    {
        if (data[1] == 0x03 && manager.GetDeviceCount() == 2)
            manager.OnBroadcastCommand(sync.data(), sync.size());
    };
    manager.AddDevice(master);
    manager.AddDevice(other);

    const std::vector<uint8_t> command = Datagram({0x00030005, 0x02000001, 0, 100, 0, 0});
    testing::internal::CaptureStdout();
    ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, command));
    const bool arrived = log.WaitFor(4);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(arrived) << "the nested dispatch did not finish within 5 s (deadlock?)";

    EXPECT_EQ(output,
              "Received broadcast command: 00030005 (BROADCAST_CMD_MASTER, device = 33554433)\n"
              "Received broadcast command: 00010001 (BROADCAST_CMD_SYNC, frame = 1000)\n");
    EXPECT_EQ(log.Tags(), (std::vector<std::string>{"master", "master", "other", "other"}));
    EXPECT_EQ(log.Datagrams(), (std::vector<std::vector<uint8_t>>{command, sync, sync, command}));
}

TEST(FakeDeviceManager, KeepsTheListAndLogsWithNoDevices)
{
    VDatagramLog log;
    VFakeDeviceManager manager(nullptr, kHal, kHal);
    EXPECT_EQ(manager.GetDeviceCount(), 0u);
    EXPECT_EQ(manager.GetStreamClientCount(), 0u);
    EXPECT_EQ(manager.GetDevice(0), nullptr);
    EXPECT_EQ(manager.GetLocalAddress(), kHal);
    EXPECT_EQ(manager.GetHalAddress(), kHal);

    // With an empty list a command is only logged.
    const std::vector<uint8_t> sync = Datagram({0x00010001, 7});
    testing::internal::CaptureStdout();
    manager.OnBroadcastCommand(sync.data(), sync.size());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Received broadcast command: 00010001 (BROADCAST_CMD_SYNC, frame = 7)\n");

    EXPECT_EQ(manager.AddDevice(nullptr), 0u);
    auto device = std::make_shared<VRecordingDevice>("device", log);
    EXPECT_EQ(manager.AddDevice(device), 1u);
    EXPECT_EQ(manager.GetDevice(0), device);
    EXPECT_EQ(manager.GetDevice(1), nullptr);

    // Trial loading is not there yet: nothing is created.
    EXPECT_FALSE(manager.AddX1D("trial.x1d"));
    EXPECT_FALSE(manager.AddX2D("trial.x2d"));
    EXPECT_EQ(manager.GetDeviceCount(), 1u);
}

TEST(FakeDeviceManager, DestructionReleasesTheDevicesAndThePort)
{
    VDatagramLog log;
    std::weak_ptr<VRecordingDevice> released;
    {
        VFakeDeviceManager manager(nullptr, kHal, kHal);
        auto device = std::make_shared<VRecordingDevice>("device", log);
        released = device;
        manager.AddDevice(std::move(device));
        ASSERT_TRUE(SendFrom(kLoopback, BROADCAST_CMD_PORT, Datagram({0x000A0001})));
        ASSERT_TRUE(log.WaitFor(1)) << "the receiver was not running";
    }
    EXPECT_TRUE(released.expired()) << "the manager must drop its devices";

    // The socket is closed: a socket without reuse-address can take the port.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(BROADCAST_CMD_PORT);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(fd);
}

namespace
{

/// A device whose teardown joins a thread that needs the manager's lock, as a
/// master's sync thread does when it is inside OnSyncTick.
class VDeviceWithManagerThread : public IFakeDevice
{
public:
    explicit VDeviceWithManagerThread(VFakeDeviceManager& manager)
        : m_Thread(
              [this, &manager]
              {
                  while (!m_Ending.load())
                      std::this_thread::yield();
                  manager.GetDeviceCount();
              })
    {
    }
    ~VDeviceWithManagerThread() override
    {
        m_Ending.store(true);
        m_Thread.join();
    }
    void OnBroadcastCommand(const uint8_t*, size_t) override {}

private:
    std::atomic<bool> m_Ending{false};
    std::thread m_Thread;
};

} // namespace

TEST(FakeDeviceManager, ReleasesDevicesOutsideItsLock)
{
    auto manager = std::make_unique<VFakeDeviceManager>(nullptr, kHal, kHal);
    manager->AddDevice(std::make_shared<VDeviceWithManagerThread>(*manager));
    auto destroyed = std::async(std::launch::async, [&] { manager.reset(); });
    if (destroyed.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
    {
        ADD_FAILURE() << "destroying the manager deadlocked with a device's thread";
        std::_Exit(1);
    }
}
