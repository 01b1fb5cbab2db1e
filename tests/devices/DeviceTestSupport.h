// Helpers for the device-base tests: a small concrete device that records what
// the base asks of it, connection parts that count themselves, and a fixture
// with an event manager, a definition list and a manager without a socket.
#pragma once

#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/VFakeDevice.h"
#include "devices/VFakeDeviceManager.h"
#include "params/IString.h"
#include "params/VParamDefinitionList.h"
#include "support/BroadcastDatagrams.h"
#include "support/EventLoopPump.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace device_test
{

using testsupport::Datagram;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kLocalAddress = 0x0A000105u; // 10.0.1.5, host order
constexpr uint32_t kHalAddress = 0x0A000101u;   // 10.0.1.1, host order

/// One frame a device produced: its number, the previous one, and when.
struct VFrameRecord
{
    uint32_t m_Frame;
    uint32_t m_Previous;
    Clock::time_point m_Time;
};

/// A concrete device that records its frames, class commands and connection
/// changes. Frames arrive on sync threads; the rest on the main thread or the
/// dispatching thread.
class VTestDevice : public VFakeDevice
{
public:
    VTestDevice(VFakeDeviceManager& manager, uint32_t deviceId, uint32_t position,
                IParamList* params, uint32_t classCode = 0)
        : VFakeDevice(manager, deviceId, position, htonl(kLocalAddress), htonl(kHalAddress), params,
                      classCode)
    {
    }

    void GetDescription(IString& out) const override { out.Assign("Test device"); }

    /// Runs m_BeforeBroadcast (when set) inside the dispatch, before the base's handling.
    void OnBroadcastCommand(const uint8_t* data, size_t length) override
    {
        if (m_BeforeBroadcast)
            m_BeforeBroadcast(data, length);
        VFakeDevice::OnBroadcastCommand(data, length);
    }
    /// Set before the device takes part in any dispatch.
    std::function<void(const uint8_t*, size_t)> m_BeforeBroadcast;

    std::vector<VFrameRecord> Frames() const
    {
        std::lock_guard lock(m_RecordLock);
        return m_Frames;
    }
    size_t FrameCount() const
    {
        std::lock_guard lock(m_RecordLock);
        return m_Frames.size();
    }
    void ClearFrames()
    {
        std::lock_guard lock(m_RecordLock);
        m_Frames.clear();
    }
    /// Waits (without turning the event loop) until `done` holds for the frames.
    template <class TPredicate>
    bool WaitForFrames(TPredicate done, std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::unique_lock lock(m_RecordLock);
        return m_FrameArrived.wait_for(lock, timeout, [&] { return done(m_Frames); });
    }
    std::vector<std::vector<uint8_t>> ClassCommands() const
    {
        std::lock_guard lock(m_RecordLock);
        return m_ClassCommands;
    }

    std::atomic<int> m_Connects{0};
    std::atomic<int> m_Disconnects{0};
    std::atomic<int> m_SyncStatusSent{0};
    std::atomic<int> m_PositionsSent{0};
    std::atomic<int32_t> m_LastSyncStatusMode{-1};

protected:
    void OnConnected() override { ++m_Connects; }
    void OnDisconnected() override { ++m_Disconnects; }
    void OnClassBroadcastCommand(const uint8_t* data, size_t length) override
    {
        std::lock_guard lock(m_RecordLock);
        m_ClassCommands.emplace_back(data, data + length);
    }
    void OnTelnetCommand(const std::string&, std::string&) override {}
    void SetDataPort(uint32_t) override {}
    void OnFrame(uint32_t frame, uint32_t previous) override
    {
        {
            std::lock_guard lock(m_RecordLock);
            m_Frames.push_back({frame, previous, Clock::now()});
        }
        m_FrameArrived.notify_all();
    }
    void SendSyncStatus(int32_t mode) override
    {
        ++m_SyncStatusSent;
        m_LastSyncStatusMode = mode;
    }
    void SendPosition() override { ++m_PositionsSent; }

private:
    mutable std::mutex m_RecordLock; // guards m_Frames, m_ClassCommands
    std::condition_variable m_FrameArrived;
    std::vector<VFrameRecord> m_Frames;
    std::vector<std::vector<uint8_t>> m_ClassCommands;
};

/// Connection parts that count how many exist and were made, and remember how.
class VCountingServices : public IDeviceServices
{
public:
    class VPart : public IDeviceConnectionPart
    {
    public:
        explicit VPart(std::atomic<int>& alive) : m_Alive(alive) { ++m_Alive; }
        ~VPart() override { --m_Alive; }

    private:
        std::atomic<int>& m_Alive;
    };

    std::unique_ptr<IDeviceConnectionPart> CreateShell(VFakeDevice& device, uint16_t port) override
    {
        std::lock_guard lock(m_Lock);
        m_ShellPorts.emplace_back(device.GetDeviceId(), port);
        return std::make_unique<VPart>(m_ShellsAlive);
    }
    std::unique_ptr<IDeviceConnectionPart>
    CreateAwakeSender(const VAwakeSenderIdentity& identity) override
    {
        std::lock_guard lock(m_Lock);
        m_Senders.push_back(identity);
        return std::make_unique<VPart>(m_SendersAlive);
    }

    /// (device id, port) of every shell made, in order.
    std::vector<std::pair<uint32_t, uint16_t>> ShellPorts() const
    {
        std::lock_guard lock(m_Lock);
        return m_ShellPorts;
    }
    std::vector<VAwakeSenderIdentity> Senders() const
    {
        std::lock_guard lock(m_Lock);
        return m_Senders;
    }
    size_t ShellsMadeFor(uint32_t deviceId) const
    {
        std::lock_guard lock(m_Lock);
        return static_cast<size_t>(std::count_if(m_ShellPorts.begin(), m_ShellPorts.end(),
                                                 [&](const auto& entry)
                                                 { return entry.first == deviceId; }));
    }

    std::atomic<int> m_ShellsAlive{0};
    std::atomic<int> m_SendersAlive{0};

private:
    mutable std::mutex m_Lock;
    std::vector<std::pair<uint32_t, uint16_t>> m_ShellPorts;
    std::vector<VAwakeSenderIdentity> m_Senders;
};

/// An event manager on the test's main thread, a definition list with the
/// standard parameters and a manager that opens no socket.
class DeviceFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(VFakeDevice::AddDeviceDefinitions(m_Definitions));
        m_Manager = MakeManager();
    }
    void TearDown() override { m_Manager.reset(); }

    /// A manager on this fixture's event manager and services, without a socket.
    std::unique_ptr<VFakeDeviceManager> MakeManager()
    {
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        options.m_DeviceServices = m_Services;
        return std::make_unique<VFakeDeviceManager>(&m_Events, htonl(kLocalAddress),
                                                    htonl(kHalAddress), options);
    }

    /// A device appended to `manager` at its next position.
    std::shared_ptr<VTestDevice> AddDeviceTo(VFakeDeviceManager& manager, uint32_t deviceId,
                                             uint32_t classCode = 0)
    {
        const uint32_t position = manager.GetDeviceCount() + 1;
        auto device = VFakeDevice::Create<VTestDevice>(manager, deviceId, position,
                                                       m_Definitions.CreateParamList(), classCode);
        manager.AddDevice(device);
        return device;
    }
    std::shared_ptr<VTestDevice> AddDevice(uint32_t deviceId, uint32_t classCode = 0)
    {
        return AddDeviceTo(*m_Manager, deviceId, classCode);
    }

    /// Sets "Connected" as the start-up does: typed set, checked, main thread.
    static bool Connect(VFakeDevice& device, bool connected = true)
    {
        return SetParamValue<bool>(*device.GetParamList(), "Connected", connected, true);
    }

    /// Hands a datagram to the manager's dispatch on the calling (main) thread,
    /// so the devices' parameter changes run at once.
    void Dispatch(std::initializer_list<uint32_t> words)
    {
        const std::vector<uint8_t> bytes = Datagram(words);
        m_Manager->OnBroadcastCommand(bytes.data(), bytes.size());
    }

    static int32_t SyncModeOf(const VFakeDevice& device)
    {
        return device.GetParamOr("SyncMode", int32_t{-1});
    }

    VEventManagerQt m_Events;
    VParamDefinitionList m_Definitions{"Control", "Control parameters", "Description", "General"};
    std::shared_ptr<VCountingServices> m_Services = std::make_shared<VCountingServices>();
    std::unique_ptr<VFakeDeviceManager> m_Manager;
};

/// Counts the lines of `text` that equal `line` (without its line end).
inline size_t CountLines(const std::string& text, const std::string& line)
{
    size_t count = 0;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (text.compare(start, end - start, line) == 0)
            ++count;
        start = end + 1;
    }
    return count;
}

/// Counts the lines of `text` that contain `part`.
inline size_t CountLinesContaining(const std::string& text, const std::string& part)
{
    size_t count = 0;
    size_t start = 0;
    while ((start = text.find(part, start)) != std::string::npos)
    {
        ++count;
        start += part.size();
    }
    return count;
}

} // namespace device_test
