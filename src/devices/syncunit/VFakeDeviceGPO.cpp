#include "devices/syncunit/VFakeDeviceGPO.h"

#include "devices/ShellArguments.h"
#include "devices/VDefinitionBuilder.h"
#include "devices/syncunit/SyncUnitDatagrams.h"
#include "params/IParamList.h"

#include <array>
#include <string_view>
#include <vector>

namespace
{
constexpr const char* kGroup = "Control";
/// "gpo" names outputs below this index.
constexpr std::uint32_t kAddressableOutputs = 8;

IParam* FindParam(IParamList* params, const char* key)
{
    return params != nullptr ? params->GetParam(key) : nullptr;
}
} // namespace

bool VFakeDeviceGPO::AddGPODefinitions(IParamDefinitionList& list, std::uint32_t outputs)
{
    VDefinitionBuilder add(list);
    if (!VFakeDevice::AddDeviceDefinitions(list))
        add.Fail();
    for (std::uint32_t input = 0; input < 4; ++input)
    {
        const std::string index = std::to_string(input);
        const std::string key = "GPI" + index;
        const std::string name = "GPI " + index;
        const std::string description = "General-purpose input " + index + ".";
        add.Add<bool>({key.c_str(), name.c_str(), description.c_str(), kGroup}, false);
    }
    for (std::uint32_t output = 0; output < outputs; ++output)
    {
        const std::string index = std::to_string(output);
        const std::string key = "GPO" + index;
        const std::string name = "GPO " + index;
        // No full stop here, unlike the inputs.
        const std::string description = "General-purpose output " + index;
        add.Add<bool>({key.c_str(), name.c_str(), description.c_str(), kGroup}, false);
    }
    add.Add<bool>({"RemoteStart", "Remote Start", "Uncheck to send remote start trigger.", kGroup},
                  true);
    add.Add<bool>({"RemoteStop", "Remote Stop", "Uncheck to send remote stop trigger.", kGroup},
                  true);
    return add.IsComplete();
}

VFakeDeviceGPO::VFakeDeviceGPO(VFakeDeviceManager& manager, std::uint32_t deviceId,
                               std::uint32_t position, std::uint32_t localAddress,
                               std::uint32_t halAddress, IParamList* params)
    : VFakeDevice(manager, deviceId, position, localAddress, halAddress, params, SyncUnitClassCode),
      m_GPI0Observer(FindParam(params, "GPI0"), *this),
      m_GPI1Observer(FindParam(params, "GPI1"), *this),
      m_GPI2Observer(FindParam(params, "GPI2"), *this),
      m_GPI3Observer(FindParam(params, "GPI3"), *this),
      m_RemoteStartObserver(FindParam(params, "RemoteStart"), *this),
      m_RemoteStopObserver(FindParam(params, "RemoteStop"), *this)
{
    m_GPI0Observer.Attach(false);
    m_GPI1Observer.Attach(false);
    m_GPI2Observer.Attach(false);
    m_GPI3Observer.Attach(false);
    m_RemoteStartObserver.Attach(false);
    m_RemoteStopObserver.Attach(false);
}

VFakeDeviceGPO::~VFakeDeviceGPO() = default;

std::uint16_t VFakeDeviceGPO::GetInputLevels() const
{
    std::uint16_t levels = 0;
    for (std::size_t input = 0; input < std::size(InputKeys); ++input)
    {
        if (GetParamOr(InputKeys[input], false))
            levels |= static_cast<std::uint16_t>(1u << input);
    }
    return levels;
}

bool VFakeDeviceGPO::SendInputStatus(std::int32_t index)
{
    std::array<std::uint8_t, SyncUnitWire::InputStatusSize> packet{};
    SyncUnitWire::EncodeInputStatus(packet.data(), GetCurrentFrameNumber(), GetInputLevels(),
                                    index);
    return SendStatus(packet.data(), packet.size());
}

void VFakeDeviceGPO::OnTelnetCommand(const std::string& line, std::string& reply)
{
    (void)reply;
    constexpr std::string_view word = "gpo";
    if (line.compare(0, word.size(), word) != 0)
        return;
    const std::vector<std::string> tokens =
        ShellArguments::SplitQuotedTokens(std::string_view(line).substr(word.size()));
    for (std::size_t pair = 0; pair + 1 < tokens.size(); pair += 2)
    {
        std::uint32_t output = 0;
        const std::string& level = tokens[pair + 1];
        if (!ShellArguments::ReadWholeNumber(std::string_view(tokens[pair]), output) ||
            output >= kAddressableOutputs || (level != "hi" && level != "lo"))
            continue;
        SetParam(("GPO" + std::to_string(output)).c_str(), level == "hi");
    }
}
