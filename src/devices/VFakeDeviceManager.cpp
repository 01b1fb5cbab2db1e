#include "devices/VFakeDeviceManager.h"

#include "lumen/Log.h"

#include <cinttypes>
#include <cstdio>

namespace
{

uint32_t ReadBigEndianWord(const uint8_t* data, size_t index)
{
    const uint8_t* word = data + 4 * index;
    return (uint32_t{word[0]} << 24) | (uint32_t{word[1]} << 16) | (uint32_t{word[2]} << 8) |
           uint32_t{word[3]};
}

bool IsComplete(const uint8_t* data, size_t length)
{
    return data != nullptr && length >= 4 &&
           length >= BroadcastMinimumLength(ReadBigEndianWord(data, 0));
}

/// printf into a std::string.
template <typename... TArgs> std::string Format(const char* format, TArgs... args)
{
    char line[160];
    const int count = std::snprintf(line, sizeof(line), format, args...);
    return count < 0 ? std::string() : std::string(line);
}

} // namespace

VFakeDeviceManager::VFakeDeviceManager(VEventManagerQt* eventManager, uint32_t localAddress,
                                       uint32_t halAddress)
    : VBroadcastReceiver(localAddress, halAddress), m_EventManager(eventManager)
{
    Start(BROADCAST_CMD_PORT);
}

VFakeDeviceManager::~VFakeDeviceManager()
{
    {
        std::lock_guard lock(m_Lock);
        m_Devices.clear();
        m_StreamClients.clear();
    }
    Stop();
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
    const uint32_t code = ReadBigEndianWord(data, 0);
    // Word 1 or 2, whichever the command's line shows; the length check above
    // guarantees it is there. The log shows ids and frames as signed numbers.
    auto word = [&](size_t index) { return ReadBigEndianWord(data, index); };
    auto signedWord = [&](size_t index) { return static_cast<int32_t>(word(index)); };
    switch (code)
    {
    case BROADCAST_CMD_SYNC:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_SYNC, frame = %" PRId32 ")\n",
                      code, signedWord(1));
    case BROADCAST_CMD_RESET:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_RESET, device = %" PRId32 ")\n",
                      code, signedWord(1));
    case BROADCAST_CMD_MASTER:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_MASTER, device = %" PRId32 ")\n",
                      code, signedWord(1));
    case BROADCAST_CMD_AWAKE:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_AWAKE, device = %" PRId32 ")\n",
                      code, signedWord(2));
    case BROADCAST_CMD_PREVIEW:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_PREVIEW, device = %" PRId32 ")\n",
                      code, signedWord(1));
    case BROADCAST_CMD_ALIVE_PING:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_ALIVE_PING, device = %" PRId32 ")\n",
                      code, signedWord(2));
    case BROADCAST_CMD_FRAME_NUMBER:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_FRAME_NUMBER, frame = %" PRId32 ")\n",
                      code, signedWord(1));
    case BROADCAST_CMD_DATA_DISABLE:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_DATA_DISABLE, flags = 0x%08" PRIX32 ")\n",
                      code, word(1));
    case BROADCAST_CMD_STROBE_DISABLE:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_STROBE_DISABLE, flags = 0x%08" PRIX32 ")\n",
                      code, word(1));
    case BROADCAST_CMD_TEST_SYNC:
        return Format("Received broadcast command: %08" PRIX32 " (BROADCAST_CMD_TEST_SYNC)\n",
                      code);
    case BROADCAST_CMD_SYSTEM_EVENT:
        return Format("Received broadcast command: %08" PRIX32
                      " (BROADCAST_CMD_SYSTEM_EVENT, type = 0x%08" PRIX32 ")\n",
                      code, word(1));
    default:
        return Format("Received broadcast command: %08" PRIX32 " (unknown)\n", code);
    }
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
