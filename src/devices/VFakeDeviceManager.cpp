#include "devices/VFakeDeviceManager.h"

#include "lumen/Log.h"

#include <cinttypes>
#include <cstdio>

namespace
{

bool IsComplete(const uint8_t* data, size_t length)
{
    return data != nullptr && length >= 4 &&
           length >= BroadcastMinimumLength(LoadBroadcastWord(data, 0));
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

} // namespace

VFakeDeviceManager::VFakeDeviceManager(VEventManagerQt* eventManager, uint32_t localAddress,
                                       uint32_t halAddress)
    : VBroadcastReceiver(localAddress, halAddress), m_EventManager(eventManager)
{
    Start(BROADCAST_CMD_PORT);
}

VFakeDeviceManager::~VFakeDeviceManager()
{
    // No dispatch may reach a device while it is being destroyed.
    Stop();
    std::vector<std::shared_ptr<IFakeDevice>> devices;
    std::vector<std::shared_ptr<VFakeZtCGClient>> streamClients;
    {
        std::lock_guard lock(m_Lock);
        devices.swap(m_Devices);
        streamClients.swap(m_StreamClients);
    }
    // Released outside the lock: a device's teardown joins its sync thread,
    // which may be waiting for this lock in OnSyncTick.
    devices.clear();
    streamClients.clear();
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
    ZEL_LOG("Broadcast", 2, "Trial files cannot be loaded yet: %s", path.c_str());
    return false;
}

bool VFakeDeviceManager::AddX2D(const std::string& path)
{
    ZEL_LOG("Broadcast", 2, "Trial files cannot be loaded yet: %s", path.c_str());
    return false;
}

std::string VFakeDeviceManager::FormatBroadcastLogLine(const uint8_t* data, size_t length)
{
    if (!IsComplete(data, length))
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
                      LoadBroadcastWord(data, format->m_Word));
    else
        std::snprintf(line, sizeof(line),
                      "Received broadcast command: %08" PRIX32 " (%s, %s = %" PRId32 ")\n", code,
                      format->m_Name, format->m_Field,
                      static_cast<int32_t>(LoadBroadcastWord(data, format->m_Word)));
    return line;
}

void VFakeDeviceManager::OnBroadcastCommand(const uint8_t* data, size_t length)
{
    const std::string line = FormatBroadcastLogLine(data, length);
    if (line.empty())
    {
        ZEL_LOG("Broadcast", 2, "Dropped a broadcast datagram of %zu bytes: too short", length);
        return;
    }
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);

    std::lock_guard lock(m_Lock);
    for (const std::shared_ptr<IFakeDevice>& device : m_Devices)
        device->OnBroadcastCommand(data, length);
}
