#include "devices/camera/VFakeDeviceCamera.h"

#include "devices/BroadcastCommand.h"
#include "devices/DisplayNameTable.h"
#include "devices/ShellArguments.h"
#include "devices/VDefinitionBuilder.h"
#include "devices/cameramodels/CameraModelTable.h"
#include "params/IParamDefinitionList.h"
#include "params/IParamList.h"
#include "params/ParamAccess.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace
{

// ---- definitions -----------------------------------------------------------

constexpr const char* kDefaultDeviceType = "Zt-M4";

using ShellArguments::ReadWholeNumber;
using ShellArguments::SplitQuotedTokens;
using ShellArguments::Trim;
constexpr auto AppendInfoLine = &ShellArguments::AppendReportLine;

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> words)
{
    return std::find(words.begin(), words.end(), text) != words.end();
}

} // namespace

// ---- definitions -----------------------------------------------------------

bool VFakeDeviceCamera::AddCameraDefinitions(IParamDefinitionList& list)
{
    VDefinitionBuilder add(list);
    if (!VFakeDevice::AddDeviceDefinitions(list))
        add.Fail();

    // The list hands out its definitions read-only by key; this list is being
    // filled by the caller, who gave it to us writable, so the base's entry is
    // ours to extend.
    auto* deviceType = const_cast<IParamDefinition*>(list.FindDefinition("DeviceType"));
    for (const char* option : CameraModelTable::GetOfferedTypes())
        add.AddOption<std::string>(deviceType, option, option);
    if (deviceType == nullptr || !SetDefaultValue<std::string>(*deviceType, kDefaultDeviceType))
        add.Fail();

    constexpr unsigned AR = MarkFlagA | MarkReadOnly;
    add.Add<int32_t>({"ProtocolVersion", "Protocol Version", "Protocol version.", "Camera"}, 0,
                     MarkFlagB);
    add.Add<bool>({"SupportsCentroids", "Supports Centroids", "Supports centroids.", "Camera"},
                  false, MarkFlagB);
    add.Add<bool>({"SupportsGreyscale", "Supports Greyscale", "Supports Greyscale.", "Camera"},
                  false, MarkFlagB);
    add.Add<bool>({"SupportsVideo", "Supports Video", "Supports Video.", "Camera"}, false,
                  MarkFlagB);
    add.Add<std::string>({"SensorType", "Sensor Type", "Sensor type.", "Camera"}, "", AR);
    add.Add<int32_t>({"SensorWidth", "Sensor Width", "Width of the sensor, in pixels.", "Camera"},
                     0, AR);
    add.Add<int32_t>(
        {"SensorHeight", "Sensor Height", "Height of the sensor, in pixels.", "Camera"}, 0, AR);
    add.Add<int32_t>({"FineThresholdGridWidth", "Fine Threshold Grid Width",
                      "Width of the fine threshold grid, in tiles.", "Camera"},
                     0, AR);
    add.Add<int32_t>({"FineThresholdGridHeight", "Fine Threshold Grid Height",
                      "Height of the fine threshold grid, in tiles.", "Camera"},
                     0, AR);
    add.Add<int32_t>({"FineThresholdGridTileWidth", "Fine Threshold Grid Tile Width",
                      "Width of a fine threshold grid tile, in pixels.", "Camera"},
                     0, AR);
    add.Add<int32_t>({"FineThresholdGridTileHeight", "Fine Threshold Grid Tile Height",
                      "Height of a fine threshold grid tile, in pixels.", "Camera"},
                     0, AR);
    add.AddRange(add.Add<int32_t>({"Gain", "Gain", "Gain", "Camera"}, 1), 1, 8);
    add.AddRange(add.Add<int32_t>({"MinRatio", "Minimum ratio", "MinRatio", "Camera"}, 0), 0, 4096);
    add.Add<int32_t>({"MaxStrobe", "Maximum Strobe", "Maximum level of the strobe.", "Camera"},
                     1000, MarkFlagA);
    add.Add<int32_t>({"MinStrobe", "Minimum Strobe", "Minimum level of the strobe.", "Camera"}, 0,
                     MarkFlagA);
    add.Add<int32_t>({"Strobe", "Strobe", "Level of the strobe.", "Camera"}, 500);
    add.AddTextOptions(
        add.Add<std::string>({"StrobeType", "Strobe type", "Type of the strobe.", "Camera"},
                             "Visible", MarkFlagA),
        {"No Strobe", "Visible", "Near IR", "IR"});
    add.Add<int32_t>(
        {"MaxThreshold", "Maximum Threshold", "Maximum level of the threshold.", "Camera"}, 255,
        MarkFlagA);
    add.Add<int32_t>(
        {"MinThreshold", "Minimum Threshold", "Minimum level of the threshold.", "Camera"}, 0,
        MarkFlagA);
    add.Add<int32_t>({"Threshold", "Threshold", "Thresholding level.", "Camera"}, 128);
    add.Add<bool>({"PreviewMode", "Preview Mode",
                   "Defines whether the camera is sending preview data.", "Camera"},
                  false, AR);
    add.AddTextOptions(
        add.Add<std::string>({"Tracking", "Tracking", "Tracking mode", "Camera"}, "Off"),
        {"Off", "Generate", "Read"});

    for (int led = 0; led < 4; ++led)
    {
        const std::string index = std::to_string(led);
        const std::string key = "LED" + index;
        const std::string displayName = "LED " + index;
        const std::string description = "Status of strobe LED " + index + ".";
        IParamDefinition* definition = add.Add<std::string>(
            {key.c_str(), displayName.c_str(), description.c_str(), "LEDs"}, "off");
        add.AddTextOptions(definition, {{"On", "on"}, {"Off", "off"}});
        for (int pulse = 0; pulse < 10; ++pulse)
        {
            const std::string label = "Pulse " + std::to_string(pulse);
            const std::string value = "p" + std::to_string(pulse);
            add.AddOption<std::string>(definition, label.c_str(), value);
        }
    }

    add.AddTextOptions(
        add.Add<std::string>(
            {"GreyMode", "Grey Mode", "Generation of centroids/blobs", "Encodings"}, "all"),
        {{"None", "none"}, {"Some", "some"}, {"Only", "only"}, {"All", "all"}});
    // No "All" option here, although "all" is the default.
    add.AddTextOptions(add.Add<std::string>(
                           {"CoordMode", "Coord Mode", "Generation of edges", "Encodings"}, "all"),
                       {{"None", "none"}, {"Some", "some"}, {"Only", "only"}});
    add.Add<int32_t>({"MaxPixelsPerLine", "MaxPixelsPerLine", "Generation of edges", "Encodings"},
                     0);
    return add.IsComplete();
}

// ---- life cycle ------------------------------------------------------------

VFakeDeviceCamera::VFakeDeviceCamera(VFakeDeviceManager& manager, uint32_t deviceId,
                                     uint32_t position, uint32_t localAddress, uint32_t halAddress,
                                     IParamList* params, uint32_t classCode)
    : VFakeDevice(manager, deviceId, position, localAddress, halAddress, params, classCode),
      m_PreviewModeObserver(params != nullptr ? params->GetParam("PreviewMode") : nullptr, *this),
      m_DeviceTypeObserver(params != nullptr ? params->GetParam("DeviceType") : nullptr, *this)
{
    m_PreviewModeObserver.Attach(true);
    // Delivering now makes the model parameters describe the current type from the
    // start: a variant that sets the type the parameter holds already (the default
    // "Zt-M4") causes no change and so no notification.
    m_DeviceTypeObserver.Attach(true);
}

VFakeDeviceCamera::~VFakeDeviceCamera()
{
    // No observer may reach the preview server while it goes.
    m_DeviceTypeObserver.Detach();
    m_PreviewModeObserver.Detach();
    m_PreviewServer.reset();
}

// ---- observers -------------------------------------------------------------

void VFakeDeviceCamera::OnDeviceTypeChanged(VStringStd type)
{
    const VCameraModel model = CameraModelTable::Lookup(type.Str());
    SetParam("ProtocolVersion", model.m_ProtocolVersion);
    SetParam("SupportsCentroids", model.m_SupportsCentroids);
    SetParam("SupportsGreyscale", model.m_SupportsGreyscale);
    SetParam("SupportsVideo", model.m_SupportsVideo);
    SetParam("SensorType", model.m_SensorType);
    SetParam("SensorWidth", model.m_SensorWidth);
    SetParam("SensorHeight", model.m_SensorHeight);
    SetParam("FineThresholdGridWidth", model.m_GridWidth);
    SetParam("FineThresholdGridHeight", model.m_GridHeight);
    SetParam("FineThresholdGridTileWidth", model.m_GridTileWidth);
    SetParam("FineThresholdGridTileHeight", model.m_GridTileHeight);
}

void VFakeDeviceCamera::OnPreviewModeChanged(bool on)
{
    if (!on)
    {
        m_PreviewServer.reset();
        return;
    }
    if (m_PreviewServer != nullptr)
        return;
    // A negative size (set by hand) previews nothing rather than a huge picture.
    const int32_t width = std::max(GetParamOr("SensorWidth", int32_t{0}), int32_t{0});
    const int32_t height = std::max(GetParamOr("SensorHeight", int32_t{0}), int32_t{0});
    m_PreviewServer = std::make_unique<VPreviewServer>(
        GetHalAddress(), GetDeviceId(), static_cast<uint32_t>(width), static_cast<uint32_t>(height),
        PREVIEW_PORT, GetLocalAddress());
}

// ---- connection ------------------------------------------------------------

void VFakeDeviceCamera::SetHardwareReadOnly(bool readOnly)
{
    IParamList* params = GetParamList();
    if (params == nullptr)
        return;
    for (const char* key : HardwareKeys)
    {
        if (IParam* param = params->GetParam(key))
            param->SetReadOnly(readOnly);
    }
}

void VFakeDeviceCamera::OnConnected()
{
    SetHardwareReadOnly(true);
}

void VFakeDeviceCamera::OnDisconnected()
{
    SetHardwareReadOnly(false);
}

// ---- what the variants read ------------------------------------------------

bool VFakeDeviceCamera::IsSendingAllowed() const
{
    return GetParamOr("Enabled", false) && GetParamOr("SystemEnabled", false) &&
           !GetParamOr("Preview", false);
}

// ---- broadcast commands ----------------------------------------------------

void VFakeDeviceCamera::OnClassBroadcastCommand(const uint8_t* data, size_t length)
{
    if (data == nullptr || length < 4)
        return;
    if (BroadcastFamily(LoadBroadcastWord(data, 0)) != BroadcastFamily(BROADCAST_CMD_PREVIEW))
        return;
    // The manager drops a PREVIEW without its device and flag words; a direct
    // caller's short datagram changes nothing either.
    if (length < 12)
        return;
    const bool on =
        LoadBroadcastWord(data, 1) == GetDeviceId() && (LoadBroadcastWord(data, 2) & 1u) != 0;
    SetParam("PreviewMode", on);
}

// ---- shell -----------------------------------------------------------------

void VFakeDeviceCamera::OnTelnetCommand(const std::string& line, std::string& reply)
{
    const std::string_view command(line);
    std::string_view argument;
    auto matches = [&command, &argument](std::string_view word)
    {
        if (command.substr(0, word.size()) != word)
            return false;
        argument = command.substr(word.size());
        return true;
    };
    auto setInteger = [this, &argument](const char* key)
    {
        int32_t value = 0;
        if (ReadWholeNumber(argument, value))
            SetParam(key, value);
    };

    if (matches("info"))
    {
        AppendInfoReport(reply);
        return;
    }
    if (matches("gain"))
    {
        setInteger("Gain");
        return;
    }
    if (matches("minratio"))
    {
        setInteger("MinRatio");
        return;
    }
    if (matches("setstrobe"))
    {
        setInteger("Strobe");
        return;
    }
    if (matches("threshold"))
    {
        setInteger("Threshold");
        return;
    }
    if (matches("window"))
    {
        reply += "0 " + std::to_string(GetParamOr("SensorHeight", int32_t{0})) + " 0 " +
                 std::to_string(GetParamOr("SensorWidth", int32_t{0})) + "\n";
        return;
    }
    if (matches("led"))
    {
        const std::vector<std::string> tokens = SplitQuotedTokens(argument);
        for (size_t pair = 0; pair + 1 < tokens.size(); pair += 2)
        {
            uint32_t index = 0;
            if (!ReadWholeNumber(std::string_view(tokens[pair]), index) || index > 3)
                break;
            SetParam(("LED" + std::to_string(index)).c_str(), tokens[pair + 1]);
        }
        return;
    }
    if (matches("greymode"))
    {
        const std::string_view mode = Trim(argument);
        if (IsOneOf(mode, {"some", "all", "only", "none"}))
            SetParam("GreyMode", std::string(mode));
        return;
    }
    if (matches("coordmode"))
    {
        const std::string_view mode = Trim(argument);
        if (IsOneOf(mode, {"some", "only", "none"}))
            SetParam("CoordMode", std::string(mode));
        return;
    }
    if (matches("dspparams -s"))
    {
        argument = Trim(argument);
        setInteger("MaxPixelsPerLine");
        return;
    }
}

void VFakeDeviceCamera::AppendInfoReport(std::string& reply) const
{
    auto text = [this](const char* key) { return GetParamOr<std::string>(key, ""); };
    auto number = [this](const char* key) { return std::to_string(GetParamOr(key, int32_t{0})); };
    auto pair = [&number](const char* first, const char* separator, const char* second)
    { return number(first) + separator + number(second); };

    const std::string deviceType = text("DeviceType");
    AppendInfoLine(reply, "Device Type", deviceType);
    AppendInfoLine(reply, "Display Device Type", DisplayNameTable::GetDisplayName(deviceType));
    AppendInfoLine(reply, "Sensor", text("SensorType"));
    AppendInfoLine(reply, "Sensor Dimensions", pair("SensorWidth", " x ", "SensorHeight"));
    AppendInfoLine(reply, "Strobe Range", pair("MinStrobe", " - ", "MaxStrobe"));
    AppendInfoLine(reply, "Threshold Range", pair("MinThreshold", " - ", "MaxThreshold"));
    AppendInfoLine(reply, "Fine Threshold Map Dimensions",
                   pair("FineThresholdGridWidth", " x ", "FineThresholdGridHeight"));
    AppendInfoLine(reply, "Fine Threshold Map Tile Dimensions",
                   pair("FineThresholdGridTileWidth", " x ", "FineThresholdGridTileHeight"));
    AppendInfoLine(reply, "Device ID", std::to_string(GetDeviceId()));
    AppendInfoLine(reply, "Strobe Type", text("StrobeType"));
    AppendInfoLine(reply, "Minimum HAL Version", number("MinHalVersion"));
    AppendInfoLine(reply, "Firmware Version", number("FirmwareVersion"));
    AppendInfoLine(reply, "Centroid Tracking Able", "yes");

    if (GetParamOr("ProtocolVersion", int32_t{0}) != 2)
        return;
    if (GetParamOr("SupportsCentroids", false) || GetParamOr("SupportsGreyscale", false))
        AppendInfoLine(reply, "Stream", "V2 6000 1460 Centroids Greyscale");
    if (GetParamOr("SupportsVideo", false))
        AppendInfoLine(reply, "Stream", "V2 7000 8000 Video");
}
