#include "devices/syncunit/VFakeDeviceNetX2D.h"

#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/ShellArguments.h"
#include "devices/VDefinitionBuilder.h"
#include "devices/syncunit/SyncUnitDatagrams.h"

#include <array>
#include <string_view>
#include <utility>

constinit VDeviceClassDefinitions VFakeDeviceNetX2DDefinitions("Control", "Control parameters",
                                                               &VFakeDeviceNetX2D::AddDefinitions);

namespace
{
constexpr const char* kGroup = "Timecode";

VTimecode StartTimecodeOf(const VX2DHolder* trial)
{
    VTimecode timecode;
    if (trial == nullptr || !trial->GetStartTimecode(timecode))
        return VTimecode();
    return timecode;
}

/// The text after `prefix` when `text` starts with it.
bool AfterPrefix(std::string_view text, std::string_view prefix, std::string_view& rest)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    rest = text.substr(prefix.size());
    return true;
}
} // namespace

std::uint16_t VFakeDeviceNetX2D::TimecodePort(std::uint32_t port)
{
    return static_cast<std::uint16_t>((port + 62536u) % 65536u + 5000u);
}

bool VFakeDeviceNetX2D::AddDefinitions(IParamDefinitionList& list)
{
    VDefinitionBuilder add(list);
    if (!VFakeDeviceNet::AddNetDefinitions(list))
        add.Fail();
    add.Add<bool>({"Timecode", "Timecode",
                   "Defines whether this control sends timecode (if present).", kGroup},
                  true);
    add.Add<std::string>({"StartTime", "Start Time", "The start timecode value.", kGroup}, "");
    add.Add<bool>({"PanasonicAFrame", "Panasonic A-frame user bits",
                   "Set A-frame user bits in the timecode according to Panasonic style", kGroup},
                  false);
    return add.IsComplete();
}

VFakeDeviceNetX2D::VFakeDeviceNetX2D(VFakeDeviceManager& manager, std::shared_ptr<VX2DHolder> trial,
                                     std::uint32_t deviceId, std::uint32_t position,
                                     std::uint32_t localAddress, std::uint32_t halAddress)
    : VDefinitionListKeeper(VFakeDeviceNetX2DDefinitions.Get()),
      VFakeDeviceNet(manager, deviceId, position, localAddress, halAddress, CreateParamList()),
      m_Trial(std::move(trial)), m_Timecode(StartTimecodeOf(m_Trial.get()))
{
    if (!m_Timecode.ToStreamTimecode(m_StreamTimecode))
        m_StreamTimecode = VStreamTimecode();
    SetParam(SyncUnitKeys::Card(0).c_str(), "Not populated");
    SetParam("StartTime", m_Timecode.IsValid() ? m_Timecode.ToString(false, false) : "");
}

VFakeDeviceNetX2D::~VFakeDeviceNetX2D() = default;

void VFakeDeviceNetX2D::GetDescription(IString& out) const
{
    Describe("X2D: ", out);
}

bool VFakeDeviceNetX2D::SendTimecodeStatus()
{
    std::array<std::uint8_t, SyncUnitWire::TimecodeStatusSize> packet{};
    SyncUnitWire::EncodeTimecodeStatus(packet.data(), m_StreamTimecode.Standard);
    return SendStatus(packet.data(), packet.size());
}

void VFakeDeviceNetX2D::OnDisconnected()
{
    m_TimecodeSource.Release();
}

void VFakeDeviceNetX2D::OnTelnetCommand(const std::string& line, std::string& reply)
{
    const std::string_view text(line);
    std::string_view rest;
    if (AfterPrefix(text, "info", rest))
    {
        AppendInfoReport(reply, "Analogue", true);
        return;
    }
    if (AfterPrefix(text, "tcctl", rest))
    {
        TimecodeControl(std::string(rest));
        return;
    }
    // "vidref -e off" and "vidref -i internal": accepted, nothing to change.
    if (AfterPrefix(text, "vidref", rest))
        return;
    VFakeDeviceNet::OnTelnetCommand(line, reply);
}

void VFakeDeviceNetX2D::TimecodeControl(const std::string& rest)
{
    std::string_view value;
    if (AfterPrefix(rest, " -e ", value))
    {
        if (ShellArguments::Trim(value) == "on")
            SendTimecodeStatus();
        return;
    }
    // " -i internal" and " -d off" are accepted and change nothing.
}

void VFakeDeviceNetX2D::SetDataPort(std::uint32_t port)
{
    if (!GetParamOr("Timecode", false))
        return;
    m_TimecodeSource.Replace(std::make_unique<VFakeSourceTimecode>(
        m_SourceParams, SourceTarget(TimecodePort(port)), m_StreamTimecode));
}

void VFakeDeviceNetX2D::OnFrame(std::uint32_t frame, std::uint32_t previous)
{
    VFakeDeviceNet::OnFrame(frame, previous);
    std::lock_guard lock(GetDataLock());
    VFakeSourceTimecode* timecode = m_TimecodeSource.Get();
    if (timecode == nullptr || !IsSendingAllowed())
        return;
    std::uint32_t bytesSent = 0;
    timecode->SendFrame(frame, previous, bytesSent);
}

void VFakeDeviceNetX2D::OnDataTargetChanged()
{
    SendTimecodeStatus();
}
