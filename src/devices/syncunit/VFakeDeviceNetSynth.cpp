#include "devices/syncunit/VFakeDeviceNetSynth.h"

#include "devices/VDefinitionBuilder.h"
#include "params/IParamList.h"

#include <memory>

constinit VDeviceClassDefinitions
    VFakeDeviceNetSynthDefinitions("Control", "Control parameters",
                                   &VFakeDeviceNetSynth::AddDefinitions);

bool VFakeDeviceNetSynth::AddDefinitions(IParamDefinitionList& list)
{
    VDefinitionBuilder add(list);
    if (!VFakeDeviceNet::AddNetDefinitions(list))
        add.Fail();
    add.Add<double>({"AnalogueSlot0TestSignalFreq", "Signal Frequency",
                     "Analogue test signal frequency, in Hz.", "Slot 0"},
                    1.0);
    return add.IsComplete();
}

VFakeDeviceNetSynth::VFakeDeviceNetSynth(VFakeDeviceManager& manager, std::uint32_t deviceId,
                                         std::uint32_t position, std::uint32_t localAddress,
                                         std::uint32_t halAddress)
    : VDefinitionListKeeper(VFakeDeviceNetSynthDefinitions.Get()),
      VFakeDeviceNet(manager, deviceId, position, localAddress, halAddress, CreateParamList())
{
    SetParam(SyncUnitKeys::Card(0).c_str(), "Not populated");
}

VFakeDeviceNetSynth::~VFakeDeviceNetSynth() = default;

void VFakeDeviceNetSynth::GetDescription(IString& out) const
{
    Describe("Synth: ", out);
}

void VFakeDeviceNetSynth::SetCardTypeReadOnly(bool readOnly)
{
    IParamList* params = GetParamList();
    if (IParam* card =
            params != nullptr ? params->GetParam(SyncUnitKeys::Card(0).c_str()) : nullptr)
        card->SetReadOnly(readOnly);
}

void VFakeDeviceNetSynth::OnConnected()
{
    VFakeDeviceNet::OnConnected();
    SetCardTypeReadOnly(true);
}

void VFakeDeviceNetSynth::OnDisconnected()
{
    m_Slot0.Release();
    SetCardTypeReadOnly(false);
}

void VFakeDeviceNetSynth::OnTelnetCommand(const std::string& line, std::string& reply)
{
    if (line.compare(0, 4, "info") == 0)
    {
        AppendInfoReport(reply, GetParamOr<std::string>(SyncUnitKeys::Card(0).c_str(), ""), false);
        return;
    }
    VFakeDeviceNet::OnTelnetCommand(line, reply);
}

void VFakeDeviceNetSynth::SetDataPort(std::uint32_t port)
{
    if (GetParamOr<std::string>(SyncUnitKeys::Card(0).c_str(), "") != "Analogue")
        return;
    m_Slot0.Replace(std::make_unique<VFakeSourceAnalogueControl>(
        m_SourceParams, SourceTarget(port + AnaloguePortOffset), 0));
}

void VFakeDeviceNetSynth::OnSendFrame(std::uint32_t frame, std::uint32_t previous)
{
    if (VFakeSourceAnalogueControl* card = m_Slot0.Get())
    {
        std::uint32_t bytesSent = 0;
        card->SendFrame(frame, previous, bytesSent);
    }
}
