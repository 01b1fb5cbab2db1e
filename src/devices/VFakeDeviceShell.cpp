// The device base's shell side: the greeting, the generic command words, the status
// datagrams and the "notify" re-targeting of the data output. Part of VFakeDevice, kept apart
// from the parameter, broadcast and frame-clock code in VFakeDevice.cpp.
#include "devices/VFakeDevice.h"

#include "devices/DeviceStatusDatagram.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/VFaultPlan.h"
#include "devices/VDeviceTelnetConnection.h"

#include "lumen/Log.h"

#include <cstdio>
#include <ctime>
#include <istream>
#include <sstream>
#include <string_view>

namespace
{
constexpr const char* BannerWord = "FakeZtDevice";

int ConsoleId(uint32_t deviceId)
{
    return static_cast<int>(deviceId);
}

/// Seconds since 1970, as the console lines print them: the low 32 bits, signed.
int ConsoleSeconds()
{
    return static_cast<int>(static_cast<uint32_t>(std::time(nullptr)));
}

/// True when `line` begins with `word`; `argument` then holds the rest of the line.
bool MatchWord(const std::string& line, std::string_view word, std::string& argument)
{
    if (line.compare(0, word.size(), word) != 0)
        return false;
    argument = line.substr(word.size());
    return true;
}

/// Reads an unsigned decimal number by stream extraction (leading white space skipped).
/// False, leaving `value`, when no number stands there, when it is negative (which stream
/// extraction would wrap round) or when it does not fit 32 bits.
bool ReadUnsigned(std::istream& in, uint32_t& value)
{
    in >> std::ws;
    if (in.peek() == '-')
        return false;
    unsigned long long wide = 0;
    if (!(in >> wide) || wide > 0xFFFFFFFFull)
        return false;
    value = static_cast<uint32_t>(wide);
    return true;
}

bool ReadUnsigned(const std::string& text, uint32_t& value)
{
    std::istringstream in(text);
    return ReadUnsigned(in, value);
}
} // namespace

void VFakeDevice::GetGreeting(std::string& text)
{
    std::printf("%d: Telnet reply sent at %d\n", ConsoleId(m_DeviceId), ConsoleSeconds());
    std::fflush(stdout);
    text = BannerWord;
}

void VFakeDevice::ProcessCommand(const std::string& line, std::string& reply)
{
    if (!GetParamOr("Connected", false))
        return;
    std::printf("%d: Command: %s\n", ConsoleId(m_DeviceId), line.c_str());
    std::fflush(stdout);

    // Plain prefixes, in this order; the first match wins and the rest of the line, with its
    // leading blank, is the argument. A number that does not read skips the action.
    std::string argument;
    if (MatchWord(line, "portset", argument))
    {
        uint32_t port = 0;
        if (ReadUnsigned(argument, port))
            SetDataPort(port);
    }
    else if (MatchWord(line, "datadisable", argument))
    {
        SetParam("Enabled", VDeviceTelnetConnection::Trim(argument) == "false");
    }
    else if (MatchWord(line, "setframe", argument))
    {
        uint32_t frame = 0;
        if (ReadUnsigned(argument, frame))
            RequestFrameNumber(frame);
    }
    else if (MatchWord(line, "syncmode", argument))
    {
        std::istringstream in(argument);
        std::string mode;
        in >> mode;
        if (mode == "-g")
        {
            mode.clear();
            in >> mode;
        }
        if (mode == "freerun")
            SetParam("SyncMode", int32_t{SyncModeFreeRunning});
        else if (mode == "master")
            SetParam("SyncMode", int32_t{SyncModeMaster});
        else if (mode == "slave")
            SetParam("SyncMode", int32_t{SyncModeSlave});
    }
    else if (MatchWord(line, "notify", argument))
    {
        Notify(argument);
    }
    else if (MatchWord(line, "faults", argument))
    {
        reply = ConfigureFaults(argument);
    }
    else
    {
        OnTelnetCommand(line, reply);
    }

    if (!reply.empty())
    {
        std::printf("%d:  Reply: %s\n", ConsoleId(m_DeviceId), reply.c_str());
        std::fflush(stdout);
    }
}

void VFakeDevice::Notify(const std::string& arguments)
{
    // A word, the port, a word, the tag.
    std::istringstream in(arguments);
    std::string word;
    uint32_t port = 0;
    uint32_t tag = 0;
    if (!(in >> word) || !ReadUnsigned(in, port) || !(in >> word) || !ReadUnsigned(in, tag))
    {
        ZEL_LOG("Telnet", 1, "%u: \"notify\" without a port and a tag: ignored", m_DeviceId);
        return;
    }
    if (port > 0xFFFFu)
    {
        // A host that sends this has a fault of its own to find: say so where it looks.
        std::printf("%d: \"notify\" port %u is not a UDP port (0 to 65535): ignored\n",
                    ConsoleId(m_DeviceId), port);
        std::fflush(stdout);
        return;
    }

    // Frame output on the device's own threads sends under the data lock too, so it never
    // sees the socket half rebuilt.
    std::lock_guard<std::recursive_mutex> lock(m_DataLock);
    m_DataOut.Close(true);
    m_HostTag = static_cast<uint16_t>(tag);
    m_DataOut.Open(m_HalAddress, static_cast<uint16_t>(port), m_LocalAddress);
    const int32_t mode = GetParamOr("SyncMode", int32_t{SyncModeFreeRunning});
    SendSyncStatus(mode);
    if (mode != SyncModeFreeRunning)
        SendPosition();
    OnDataTargetChanged();
}

std::string VFakeDevice::ConfigureFaults(const std::string& arguments)
{
    VFaultPlan plan;
    std::string error;
    if (!VFaultPlan::Parse(arguments, plan, error))
        return "faults: " + error + "\n";
    // Told through one device's shell, the plan is that device's unless it names another.
    if (!plan.DeviceGiven)
    {
        plan.Device = m_DeviceId;
        plan.DeviceGiven = true;
    }
    const uint32_t devices = m_Manager.ConfigureFaults(plan);
    if (devices == 0)
        return "faults: no device " + std::to_string(*plan.Device) + "\n";
    return "faults: " + plan.ToString() + " (" + std::to_string(devices) +
           (devices == 1 ? " device)\n" : " devices)\n");
}

bool VFakeDevice::SendStatus(uint8_t* packet, size_t capacity)
{
    const size_t length = DeviceStatus::GetDatagramLength(packet, capacity);
    if (length == 0)
        return false;
    std::lock_guard<std::recursive_mutex> lock(m_DataLock);
    if (!m_DataOut.IsValid())
        return false;
    DeviceStatus::FillAddress(packet, m_HostTag, m_DeviceId);
    return m_StatusSink.Send(packet, length);
}

void VFakeDevice::SendSyncStatus(int32_t syncMode)
{
    uint8_t packet[DeviceStatus::BaseDatagramSize];
    DeviceStatus::EncodeSyncStatus(packet, syncMode);
    SendStatus(packet, sizeof packet);
}

void VFakeDevice::SendPosition()
{
    uint8_t packet[DeviceStatus::BaseDatagramSize];
    DeviceStatus::EncodePosition(packet, m_Position);
    SendStatus(packet, sizeof packet);
}
