#include "devices/VFakeDeviceManager.h"

#include "devices/VFramePacer.h"
#include "devices/VDeviceFaults.h"
#include "devices/VFaultPlan.h"
#include "lumen/Log.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <thread>

namespace
{

bool IsComplete(const uint8_t* data, size_t length)
{
    return data != nullptr && length >= 4 &&
           length >= BroadcastMinimumLength(LoadBroadcastWord(data, 0));
}

/// Word `index` of the datagram, 0 when the datagram ends before it.
uint32_t WordOrZero(const uint8_t* data, size_t length, size_t index)
{
    return length >= 4 * (index + 1) ? LoadBroadcastWord(data, index) : 0u;
}

/// How the log line shows one command: its name and, for most, one word.
struct VLogLineFormat
{
    uint32_t m_Code;
    const char* m_Name;
    const char* m_Field; ///< null: the line shows no word
    size_t m_Word;       ///< index of the word shown
    bool m_Hexadecimal;  ///< "0x%08X"; otherwise "%d" (ids and frames print signed)
};

constexpr VLogLineFormat kLogLineFormats[] = {
    {BROADCAST_CMD_SYNC, "BROADCAST_CMD_SYNC", "frame", 1, false},
    {BROADCAST_CMD_RESET, "BROADCAST_CMD_RESET", "device", 1, false},
    {BROADCAST_CMD_MASTER, "BROADCAST_CMD_MASTER", "device", 1, false},
    {BROADCAST_CMD_AWAKE, "BROADCAST_CMD_AWAKE", "device", 2, false},
    {BROADCAST_CMD_PREVIEW, "BROADCAST_CMD_PREVIEW", "device", 1, false},
    {BROADCAST_CMD_ALIVE_PING, "BROADCAST_CMD_ALIVE_PING", "device", 2, false},
    {BROADCAST_CMD_FRAME_NUMBER, "BROADCAST_CMD_FRAME_NUMBER", "frame", 1, false},
    {BROADCAST_CMD_DATA_DISABLE, "BROADCAST_CMD_DATA_DISABLE", "flags", 1, true},
    {BROADCAST_CMD_STROBE_DISABLE, "BROADCAST_CMD_STROBE_DISABLE", "flags", 1, true},
    {BROADCAST_CMD_TEST_SYNC, "BROADCAST_CMD_TEST_SYNC", nullptr, 0, false},
    {BROADCAST_CMD_SYSTEM_EVENT, "BROADCAST_CMD_SYSTEM_EVENT", "type", 1, true},
};

/// One line for a (complete) MASTER whose rate the frame clock cannot pace; each
/// device clamps the rate itself.
void PrintRateClampLine(const uint8_t* data)
{
    const uint32_t code = LoadBroadcastWord(data, 0);
    if (BroadcastFamily(code) != BroadcastFamily(BROADCAST_CMD_MASTER))
        return;
    const double rate = BroadcastFrameRate(LoadBroadcastWord(data, 3), LoadBroadcastWord(data, 4));
    if (rate <= VFramePacer::MaxRate)
        return;
    std::printf("Frame rate %.3f Hz is above the fastest the rig paces: running at %.0f Hz\n", rate,
                VFramePacer::MaxRate);
}

} // namespace

VFakeDeviceManager::VFakeDeviceManager(VEventManagerQt* eventManager, uint32_t localAddress,
                                       uint32_t halAddress, VFakeDeviceManagerOptions options)
    : VBroadcastReceiver(localAddress, halAddress), m_EventManager(eventManager),
      m_DeviceServices(std::move(options.m_DeviceServices)),
      m_DeviceLoader(std::move(options.m_DeviceLoader)),
      m_StreamClientFactory(std::move(options.m_StreamClientFactory))
{
    if (options.m_OpenReceiver)
        Start(BROADCAST_CMD_PORT);
}

VFakeDeviceManager::~VFakeDeviceManager()
{
    // No dispatch may reach a device while it is being taken down.
    Stop();
    std::vector<std::shared_ptr<IFakeDevice>> devices;
    {
        std::lock_guard lock(m_Lock);
        devices = m_Devices;
    }
    // Outside the lock, which a ticking frame clock may be waiting for. Every
    // clock stops before any device disconnects, so no device is ticked while
    // it takes its connection down.
    for (const std::shared_ptr<IFakeDevice>& device : devices)
        device->StopSyncThread();
    for (const std::shared_ptr<IFakeDevice>& device : devices)
        device->Retire();

    std::vector<std::shared_ptr<IStreamClient>> streamClients;
    {
        std::lock_guard lock(m_Lock);
        streamClients.swap(m_StreamClients);
        m_Devices.clear();
    }
    // The last handles go here, outside the lock.
    devices.clear();
    streamClients.clear();
}

bool VFakeDeviceManager::LockUnless(Lock& lock, const std::atomic<bool>& abandon) const
{
    // A blocking lock would not notice the stop request. Contention is rare and
    // short (one dispatch), so a short sleep between tries costs little. (A timed
    // lock would do too, but the thread sanitizer cannot follow the clock-based
    // timed lock the library uses.)
    lock = Lock(m_Lock, std::try_to_lock);
    while (!lock.owns_lock())
    {
        if (abandon.load())
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        lock.try_lock();
    }
    return true;
}

uint32_t VFakeDeviceManager::GetDeviceCount() const
{
    std::lock_guard lock(m_Lock);
    return static_cast<uint32_t>(m_Devices.size());
}

std::shared_ptr<IFakeDevice> VFakeDeviceManager::GetDevice(uint32_t index) const
{
    std::lock_guard lock(m_Lock);
    return index < m_Devices.size() ? m_Devices[index] : nullptr;
}

uint32_t VFakeDeviceManager::GetStreamClientCount() const
{
    std::lock_guard lock(m_Lock);
    return static_cast<uint32_t>(m_StreamClients.size());
}

std::shared_ptr<IStreamClient> VFakeDeviceManager::GetStreamClient(uint32_t index) const
{
    std::lock_guard lock(m_Lock);
    return index < m_StreamClients.size() ? m_StreamClients[index] : nullptr;
}

uint32_t VFakeDeviceManager::AddDevice(std::shared_ptr<IFakeDevice> device)
{
    if (device == nullptr)
        return 0;
    std::lock_guard lock(m_Lock);
    m_Devices.push_back(std::move(device));
    return static_cast<uint32_t>(m_Devices.size());
}

bool VFakeDeviceManager::AddX1D(const std::string& path)
{
    std::lock_guard lock(m_Lock);
    return m_DeviceLoader != nullptr && m_DeviceLoader->AddX1D(*this, path);
}

bool VFakeDeviceManager::AddX2D(const std::string& path)
{
    std::lock_guard lock(m_Lock);
    return m_DeviceLoader != nullptr && m_DeviceLoader->AddX2D(*this, path);
}

bool VFakeDeviceManager::AddSyntheticCamera(uint32_t model)
{
    std::lock_guard lock(m_Lock);
    return m_DeviceLoader != nullptr && m_DeviceLoader->AddSyntheticCamera(*this, model);
}

bool VFakeDeviceManager::AddSyntheticSyncUnit()
{
    std::lock_guard lock(m_Lock);
    return m_DeviceLoader != nullptr && m_DeviceLoader->AddSyntheticSyncUnit(*this);
}

std::shared_ptr<IStreamClient> VFakeDeviceManager::AddStreamClient()
{
    std::lock_guard lock(m_Lock);
    std::shared_ptr<IStreamClient> client =
        m_StreamClientFactory ? m_StreamClientFactory() : nullptr;
    if (client != nullptr)
        m_StreamClients.push_back(client);
    return client;
}

uint32_t VFakeDeviceManager::ConfigureFaults(const VFaultPlan& plan)
{
    const VDeviceFaults::Clock::time_point now = VDeviceFaults::Clock::now();
    const std::string text = plan.ToString();
    uint32_t configured = 0;
    std::lock_guard lock(m_Lock);
    for (const std::shared_ptr<IFakeDevice>& device : m_Devices)
    {
        VDeviceFaults* faults = device->GetFaultInjection();
        if (faults == nullptr || (plan.Device && *plan.Device != faults->GetDeviceId()))
            continue;
        faults->Configure(plan, now);
        std::printf("%d: Faults: %s\n", static_cast<int>(faults->GetDeviceId()), text.c_str());
        ++configured;
    }
    std::fflush(stdout);
    return configured;
}

std::vector<std::string> VFakeDeviceManager::GetInjectedLines() const
{
    std::vector<std::string> lines;
    std::lock_guard lock(m_Lock);
    for (const std::shared_ptr<IFakeDevice>& device : m_Devices)
    {
        const VDeviceFaults* faults = device->GetFaultInjection();
        if (faults != nullptr && faults->HasInjected())
            lines.push_back(faults->FormatInjectedLine());
    }
    return lines;
}

std::string VFakeDeviceManager::FormatBroadcastLogLine(const uint8_t* data, size_t length)
{
    if (data == nullptr || length < 4)
        return {};
    const uint32_t code = LoadBroadcastWord(data, 0);
    char line[160];
    // The log matches the full code: a known family with another low half is unknown.
    const VLogLineFormat* format = nullptr;
    for (const VLogLineFormat& candidate : kLogLineFormats)
    {
        if (candidate.m_Code == code)
            format = &candidate;
    }
    if (format == nullptr)
        std::snprintf(line, sizeof(line), "Received broadcast command: %08" PRIX32 " (unknown)\n",
                      code);
    else if (format->m_Field == nullptr)
        std::snprintf(line, sizeof(line), "Received broadcast command: %08" PRIX32 " (%s)\n", code,
                      format->m_Name);
    else if (format->m_Hexadecimal)
        std::snprintf(line, sizeof(line),
                      "Received broadcast command: %08" PRIX32 " (%s, %s = 0x%08" PRIX32 ")\n",
                      code, format->m_Name, format->m_Field,
                      WordOrZero(data, length, format->m_Word));
    else
        std::snprintf(line, sizeof(line),
                      "Received broadcast command: %08" PRIX32 " (%s, %s = %" PRId32 ")\n", code,
                      format->m_Name, format->m_Field,
                      static_cast<int32_t>(WordOrZero(data, length, format->m_Word)));
    return line;
}

std::string VFakeDeviceManager::FormatBroadcastDropLine(const uint8_t* data, size_t length)
{
    // An empty datagram says nothing: the socket hands those on from any sender, and
    // another host's must not print.
    if (IsComplete(data, length) || data == nullptr || length == 0)
        return {};
    char line[160];
    if (length < 4)
        std::snprintf(line, sizeof(line),
                      "Dropped a broadcast datagram of %zu bytes: too short for a command\n",
                      length);
    else
        std::snprintf(line, sizeof(line),
                      "Dropped broadcast command %08" PRIX32
                      ": %zu bytes is too short, the command needs %zu\n",
                      LoadBroadcastWord(data, 0), length,
                      BroadcastMinimumLength(LoadBroadcastWord(data, 0)));
    return line;
}

void VFakeDeviceManager::OnBroadcastCommand(const uint8_t* data, size_t length)
{
    if (!PrintLogLines(data, length))
        return;
    std::lock_guard lock(m_Lock);
    Dispatch(data, length);
}

bool VFakeDeviceManager::DispatchBroadcast(const uint8_t* data, size_t length,
                                           const std::atomic<bool>& abandon)
{
    Lock lock;
    if (!LockUnless(lock, abandon))
        return false;
    if (!PrintLogLines(data, length))
        return false;
    Dispatch(data, length);
    return true;
}

bool VFakeDeviceManager::PrintLogLines(const uint8_t* data, size_t length)
{
    // A datagram short of its command's words is still shown with the words it lacks
    // as 0, so that a host developer sees what arrived, and then why nothing happened.
    const std::string dropped = FormatBroadcastDropLine(data, length);
    const std::string line = FormatBroadcastLogLine(data, length) + dropped;
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    if (IsComplete(data, length))
    {
        PrintRateClampLine(data);
        return true;
    }
    ZEL_LOG("Broadcast", 2, "Dropped a broadcast datagram of %zu bytes: too short", length);
    return false;
}

void VFakeDeviceManager::Dispatch(const uint8_t* data, size_t length)
{
    for (const std::shared_ptr<IFakeDevice>& device : m_Devices)
        device->OnBroadcastCommand(data, length);
}

void VFakeDeviceManager::OnSyncTick(IFakeDevice* source)
{
    std::lock_guard lock(m_Lock);
    TickOthers(source);
}

bool VFakeDeviceManager::OnSyncTick(IFakeDevice* source, const std::atomic<bool>& abandon)
{
    Lock lock;
    if (!LockUnless(lock, abandon))
        return false;
    TickOthers(source);
    return true;
}

void VFakeDeviceManager::TickOthers(IFakeDevice* source)
{
    for (const std::shared_ptr<IFakeDevice>& device : m_Devices)
    {
        if (device.get() != source)
            device->OnMasterTick();
    }
    if (source == nullptr)
        return;
    const uint32_t frame = source->GetCurrentFrameNumber();
    for (const std::shared_ptr<IStreamClient>& client : m_StreamClients)
        client->OnFrameSent(frame);
}
