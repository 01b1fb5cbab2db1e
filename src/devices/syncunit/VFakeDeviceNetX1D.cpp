#include "devices/syncunit/VFakeDeviceNetX1D.h"

#include "FileIO/X2DIO/VX1DHolder.h"

#include <utility>

constinit VDeviceClassDefinitions VFakeDeviceNetX1DDefinitions("Control", "Control parameters",
                                                               &VFakeDeviceNetX1D::AddDefinitions);

namespace
{
/// The analogue device of the file that the card replays: the first it lists.
constexpr std::uint32_t kReplayedDevice = 0;
} // namespace

bool VFakeDeviceNetX1D::AddDefinitions(IParamDefinitionList& list)
{
    return VFakeDeviceNet::AddNetDefinitions(list);
}

VFakeDeviceNetX1D::VFakeDeviceNetX1D(VFakeDeviceManager& manager, std::shared_ptr<VX1DHolder> trial,
                                     std::uint32_t deviceId, std::uint32_t position,
                                     std::uint32_t localAddress, std::uint32_t halAddress)
    : VDefinitionListKeeper(VFakeDeviceNetX1DDefinitions.Get()),
      VFakeDeviceNet(manager, deviceId, position, localAddress, halAddress, CreateParamList()),
      m_Trial(std::move(trial))
{
    SetParam(SyncUnitKeys::Card(0).c_str(), "Analogue");
}

VFakeDeviceNetX1D::~VFakeDeviceNetX1D() = default;

void VFakeDeviceNetX1D::GetDescription(IString& out) const
{
    Describe("X1D: ", out);
}

void VFakeDeviceNetX1D::OnDisconnected()
{
    m_Slot0.Release();
}

void VFakeDeviceNetX1D::OnTelnetCommand(const std::string& line, std::string& reply)
{
    if (line.compare(0, 4, "info") == 0)
    {
        AppendInfoReport(reply, "Analogue", false);
        return;
    }
    VFakeDeviceNet::OnTelnetCommand(line, reply);
}

void VFakeDeviceNetX1D::SetDataPort(std::uint32_t port)
{
    m_Slot0.Replace(std::make_unique<VFakeSourceAnalogueX1D>(m_SourceParams, SourceTarget(port),
                                                             m_Trial, 0, kReplayedDevice));
}

void VFakeDeviceNetX1D::OnSendFrame(std::uint32_t frame, std::uint32_t previous)
{
    if (VFakeSourceAnalogueX1D* card = m_Slot0.Get())
    {
        std::uint32_t bytesSent = 0;
        card->SendFrame(frame, previous, bytesSent);
    }
}
