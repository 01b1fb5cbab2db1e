// The camera base on the main thread: its definitions, the model parameters behind
// "DeviceType", the read-only switch of the hardware parameters, the PREVIEW family and
// the camera's shell commands.
#include "devices/camera/VFakeDeviceCamera.h"

#include "CameraTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace camera_test;

namespace
{

enum class EType
{
    Bool,
    Int,
    Text
};

constexpr unsigned A = 1;  // flag A
constexpr unsigned RO = 2; // read-only at creation
constexpr unsigned B = 4;  // flag B

struct VExpectedDefinition
{
    std::string m_Key;
    std::string m_DisplayName;
    std::string m_Description;
    std::string m_Group;
    EType m_Type;
    std::string m_Default; ///< as text
    unsigned m_Marks = 0;
    /// "label=value" per option, in order; "Min=1", "Max=8" for a range.
    std::vector<std::string> m_Options = {};
    bool m_Range = false;
};

std::vector<std::string> LedOptions()
{
    std::vector<std::string> options = {"On=on", "Off=off"};
    for (int pulse = 0; pulse < 10; ++pulse)
        options.push_back("Pulse " + std::to_string(pulse) + "=p" + std::to_string(pulse));
    return options;
}

VExpectedDefinition Led(int index)
{
    const std::string n = std::to_string(index);
    return {"LED" + n, "LED " + n,   "Status of strobe LED " + n + ".",
            "LEDs",    EType::Text,  "off",
            0,         LedOptions(), false};
}

std::vector<VExpectedDefinition> ExpectedCameraDefinitions()
{
    std::vector<VExpectedDefinition> expected = {
        {"ProtocolVersion", "Protocol Version", "Protocol version.", "Camera", EType::Int, "0", B},
        {"SupportsCentroids", "Supports Centroids", "Supports centroids.", "Camera", EType::Bool,
         "0", B},
        {"SupportsGreyscale", "Supports Greyscale", "Supports Greyscale.", "Camera", EType::Bool,
         "0", B},
        {"SupportsVideo", "Supports Video", "Supports Video.", "Camera", EType::Bool, "0", B},
        {"SensorType", "Sensor Type", "Sensor type.", "Camera", EType::Text, "", A | RO},
        {"SensorWidth", "Sensor Width", "Width of the sensor, in pixels.", "Camera", EType::Int,
         "0", A | RO},
        {"SensorHeight", "Sensor Height", "Height of the sensor, in pixels.", "Camera", EType::Int,
         "0", A | RO},
        {"FineThresholdGridWidth", "Fine Threshold Grid Width",
         "Width of the fine threshold grid, in tiles.", "Camera", EType::Int, "0", A | RO},
        {"FineThresholdGridHeight", "Fine Threshold Grid Height",
         "Height of the fine threshold grid, in tiles.", "Camera", EType::Int, "0", A | RO},
        {"FineThresholdGridTileWidth", "Fine Threshold Grid Tile Width",
         "Width of a fine threshold grid tile, in pixels.", "Camera", EType::Int, "0", A | RO},
        {"FineThresholdGridTileHeight", "Fine Threshold Grid Tile Height",
         "Height of a fine threshold grid tile, in pixels.", "Camera", EType::Int, "0", A | RO},
        {"Gain", "Gain", "Gain", "Camera", EType::Int, "1", 0, {"Min=1", "Max=8"}, true},
        {"MinRatio",
         "Minimum ratio",
         "MinRatio",
         "Camera",
         EType::Int,
         "0",
         0,
         {"Min=0", "Max=4096"},
         true},
        {"MaxStrobe", "Maximum Strobe", "Maximum level of the strobe.", "Camera", EType::Int,
         "1000", A},
        {"MinStrobe", "Minimum Strobe", "Minimum level of the strobe.", "Camera", EType::Int, "0",
         A},
        {"Strobe", "Strobe", "Level of the strobe.", "Camera", EType::Int, "500", 0},
        {"StrobeType",
         "Strobe type",
         "Type of the strobe.",
         "Camera",
         EType::Text,
         "Visible",
         A,
         {"No Strobe=No Strobe", "Visible=Visible", "Near IR=Near IR", "IR=IR"}},
        {"MaxThreshold", "Maximum Threshold", "Maximum level of the threshold.", "Camera",
         EType::Int, "255", A},
        {"MinThreshold", "Minimum Threshold", "Minimum level of the threshold.", "Camera",
         EType::Int, "0", A},
        {"Threshold", "Threshold", "Thresholding level.", "Camera", EType::Int, "128", 0},
        {"PreviewMode", "Preview Mode", "Defines whether the camera is sending preview data.",
         "Camera", EType::Bool, "0", A | RO},
        {"Tracking",
         "Tracking",
         "Tracking mode",
         "Camera",
         EType::Text,
         "Off",
         0,
         {"Off=Off", "Generate=Generate", "Read=Read"}},
    };
    for (int led = 0; led < 4; ++led)
        expected.push_back(Led(led));
    expected.push_back({"GreyMode",
                        "Grey Mode",
                        "Generation of centroids/blobs",
                        "Encodings",
                        EType::Text,
                        "all",
                        0,
                        {"None=none", "Some=some", "Only=only", "All=all"}});
    expected.push_back({"CoordMode",
                        "Coord Mode",
                        "Generation of edges",
                        "Encodings",
                        EType::Text,
                        "all",
                        0,
                        {"None=none", "Some=some", "Only=only"}});
    expected.push_back({"MaxPixelsPerLine", "MaxPixelsPerLine", "Generation of edges", "Encodings",
                        EType::Int, "0", 0});
    return expected;
}

bool HoldsType(const IParam& param, EType type)
{
    bool b;
    int32_t i;
    std::string t;
    switch (type)
    {
    case EType::Bool:
        return GetParamValue<bool>(param, b);
    case EType::Int:
        return GetParamValue<int32_t>(param, i);
    case EType::Text:
        return GetParamValue<std::string>(param, t);
    }
    return false;
}

std::vector<std::string> OptionsOf(const IParam& param)
{
    std::vector<std::string> options;
    unsigned count = 0;
    param.GetOptionCount(count);
    for (unsigned index = 0; index < count; ++index)
    {
        VStringStd label;
        const IParam* value = nullptr;
        VStringStd text;
        if (param.GetOptionValue(index, label, value) && value != nullptr && value->ToString(text))
            options.push_back(label.Str() + "=" + text.Str());
        else
            options.push_back("<unreadable>");
    }
    return options;
}

std::string Expected13Lines(const char* type, const char* display, const char* sensor,
                            const char* dimensions, const char* grid, const char* tiles,
                            const char* id)
{
    return std::string("Device Type : ") + type + "\nDisplay Device Type : " + display +
           "\nSensor : " + sensor + "\nSensor Dimensions : " + dimensions +
           "\nStrobe Range : 0 - 1000\nThreshold Range : 0 - 255\n"
           "Fine Threshold Map Dimensions : " +
           grid + "\nFine Threshold Map Tile Dimensions : " + tiles + "\nDevice ID : " + id +
           "\nStrobe Type : Visible\nMinimum HAL Version : 1\nFirmware Version : 82\n"
           "Centroid Tracking Able : yes\n";
}

size_t LineCount(const std::string& text)
{
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n' ? 1 : 0;
    return lines;
}

} // namespace

// ---- definitions -------------------------------------------------------------

TEST_F(CameraFixture, DefinitionsFollowTheStandardOnesWithTextsTypesDefaultsMarksAndOptions)
{
    const std::vector<VExpectedDefinition> expected = ExpectedCameraDefinitions();
    ASSERT_EQ(m_Definitions.GetDefinitionCount(), 14u + expected.size());
    EXPECT_STREQ(m_Definitions.GetDefinitionKey(0), "Connected");
    EXPECT_STREQ(m_Definitions.GetDefinitionKey(13), "FirmwareVersion");

    auto camera = AddCamera(5);
    IParamList& params = *camera->GetParamList();
    for (size_t index = 0; index < expected.size(); ++index)
    {
        const VExpectedDefinition& want = expected[index];
        SCOPED_TRACE(want.m_Key);
        EXPECT_EQ(std::string(m_Definitions.GetDefinitionKey(static_cast<unsigned>(14 + index))),
                  want.m_Key);
        const IParam* param = params.GetParam(want.m_Key.c_str());
        ASSERT_NE(param, nullptr);
        EXPECT_EQ(std::string(param->GetDisplayName()), want.m_DisplayName);
        EXPECT_EQ(std::string(param->GetDescription()), want.m_Description);
        EXPECT_EQ(std::string(param->GetGroup()), want.m_Group);
        EXPECT_TRUE(HoldsType(*param, want.m_Type));
        EXPECT_TRUE(param->HasValidDefault());
        EXPECT_EQ(param->IsFlagA(), (want.m_Marks & A) != 0);
        EXPECT_EQ(param->IsFlagB(), (want.m_Marks & B) != 0);
        EXPECT_EQ(param->IsReadOnly(), (want.m_Marks & RO) != 0);
        EXPECT_EQ(OptionsOf(*param), want.m_Options);
        EXPECT_EQ(param->IsOptionRange(), want.m_Range);
        // The defaults of the model columns are overwritten at construction (the
        // "Zt-M4" row); the definition's own default is what the prototype holds.
        const IParamDefinition* definition = m_Definitions.FindDefinition(want.m_Key.c_str());
        ASSERT_NE(definition, nullptr);
        VStringStd text;
        ASSERT_TRUE(definition->GetPrototype().ToString(text));
        EXPECT_EQ(text.Str(), want.m_Default);
    }
}

TEST_F(CameraFixture, DeviceTypeOffersTheCameraModelsAndDefaultsToZtM4)
{
    auto camera = AddCamera(5);
    const IParam* type = camera->GetParamList()->GetParam("DeviceType");
    ASSERT_NE(type, nullptr);
    const std::vector<std::string> expected = {
        "Zt-H1=Zt-H1",
        "Zt-H0=Zt-H0",
        "Zt-M1=Zt-M1",
        "Zt-M4=Zt-M4",
        "Zt-K1=Zt-K1",
        "Zt-K2=Zt-K2",
        "Zt-K4=Zt-K4",
        "Zt-L2=Zt-L2",
        "Zt-L4=Zt-L4",
        "CellA=CellA",
        "CellB=CellB",
        "CellC=CellC",
        "CellD=CellD",
        "CellE=CellE",
        "CellF=CellF",
        "CellG=CellG",
        "WREN_MOCAP_VGA=WREN_MOCAP_VGA",
        "WREN_VIDEO_VGA=WREN_VIDEO_VGA",
        "WREN_2_MOCAP_1MP=WREN_2_MOCAP_1MP",
        "WREN_2_VIDEO_1MP=WREN_2_VIDEO_1MP",
        "WREN_2_VIDEO_1MP_C=WREN_2_VIDEO_1MP_C",
    };
    EXPECT_EQ(OptionsOf(*type), expected);
    EXPECT_FALSE(type->IsOptionRange());
    EXPECT_EQ(camera->Text("DeviceType"), "Zt-M4");
    // The standard texts of the base's entry stay.
    EXPECT_STREQ(type->GetDisplayName(), "Type");
    EXPECT_STREQ(type->GetGroup(), "Device");
}

TEST(CameraDefinitions, AListThatIsAlreadyFilledIsRefused)
{
    VParamDefinitionList list("Camera", "", "", "");
    ASSERT_TRUE(VFakeDeviceCamera::AddCameraDefinitions(list));
    const unsigned count = list.GetDefinitionCount();
    // Every key exists already: nothing is added and the failure is reported.
    EXPECT_FALSE(VFakeDeviceCamera::AddCameraDefinitions(list));
    EXPECT_EQ(list.GetDefinitionCount(), count);
}

// ---- model parameters ------------------------------------------------------------

TEST_F(CameraFixture, DeviceTypeSetsTheModelParametersAndNothingElse)
{
    auto camera = AddCamera(5);
    // A fresh camera describes its default type at once.
    EXPECT_EQ(camera->Text("SensorType"), "KS4A");
    EXPECT_EQ(camera->Int("SensorWidth"), 2352);
    EXPECT_EQ(camera->Int("ProtocolVersion"), 1);

    camera->SetParam("Threshold", int32_t{77});
    camera->SetParam("Strobe", int32_t{321});
    camera->SetParam("GreyMode", "some");
    camera->SetParam("DeviceType", "CellF");
    EXPECT_EQ(camera->Int("SensorWidth"), 2344);
    EXPECT_EQ(camera->Int("SensorHeight"), 1728);
    EXPECT_EQ(camera->Text("SensorType"), "TR6B");
    EXPECT_EQ(camera->Int("ProtocolVersion"), 1);
    EXPECT_TRUE(camera->Bool("SupportsCentroids"));
    EXPECT_TRUE(camera->Bool("SupportsGreyscale"));
    EXPECT_FALSE(camera->Bool("SupportsVideo"));
    EXPECT_EQ(camera->Int("FineThresholdGridWidth"), 294);
    EXPECT_EQ(camera->Int("FineThresholdGridHeight"), 108);
    EXPECT_EQ(camera->Int("FineThresholdGridTileWidth"), 8);
    EXPECT_EQ(camera->Int("FineThresholdGridTileHeight"), 16);
    EXPECT_EQ(camera->Int("Threshold"), 77);
    EXPECT_EQ(camera->Int("Strobe"), 321);
    EXPECT_EQ(camera->Text("GreyMode"), "some");

    // Protocol-2 video model.
    camera->SetParam("DeviceType", "WREN_VIDEO_VGA");
    EXPECT_EQ(camera->Int("ProtocolVersion"), 2);
    EXPECT_FALSE(camera->Bool("SupportsCentroids"));
    EXPECT_TRUE(camera->Bool("SupportsGreyscale"));
    EXPECT_TRUE(camera->Bool("SupportsVideo"));
    EXPECT_EQ(camera->Text("SensorType"), "LUPA300");

    // A row that is not among the options is still reached by a direct set.
    camera->SetParam("DeviceType", "Zt-M4x");
    EXPECT_EQ(camera->Text("DeviceType"), "Zt-M4x");
    EXPECT_EQ(camera->Int("SensorWidth"), 2352);

    // Back to the default type: the model follows again.
    camera->SetParam("DeviceType", "Zt-M4");
    EXPECT_EQ(camera->Text("SensorType"), "KS4A");

    // A type the table does not hold: 0, false and empty everywhere.
    camera->SetParam("DeviceType", "Unknown");
    EXPECT_EQ(camera->Int("ProtocolVersion"), 0);
    EXPECT_FALSE(camera->Bool("SupportsCentroids"));
    EXPECT_FALSE(camera->Bool("SupportsGreyscale"));
    EXPECT_FALSE(camera->Bool("SupportsVideo"));
    EXPECT_EQ(camera->Text("SensorType"), "");
    EXPECT_EQ(camera->Int("SensorWidth"), 0);
    EXPECT_EQ(camera->Int("SensorHeight"), 0);
    EXPECT_EQ(camera->Int("FineThresholdGridWidth"), 0);
    EXPECT_EQ(camera->Int("FineThresholdGridTileHeight"), 0);
    EXPECT_EQ(camera->Int("Threshold"), 77);
}

TEST_F(CameraFixture, TwoCamerasKeepTheirOwnModels)
{
    auto first = AddCamera(1);
    auto second = AddCamera(2);
    first->SetParam("DeviceType", "CellG");
    second->SetParam("DeviceType", "Zt-H0");
    EXPECT_EQ(first->Int("SensorWidth"), 4704);
    EXPECT_EQ(first->Int("FineThresholdGridTileWidth"), 16);
    EXPECT_EQ(second->Int("SensorWidth"), 659);
    EXPECT_EQ(second->Int("SensorHeight"), 493);
    EXPECT_EQ(second->Int("FineThresholdGridHeight"), 247);
}

// ---- connection --------------------------------------------------------------------

TEST_F(CameraFixture, HardwareParametersAreReadOnlyExactlyWhileConnected)
{
    auto camera = AddCamera(5);
    // At creation the sensor and grid start read-only, the strobe and threshold limits
    // writable.
    EXPECT_FALSE(SetChecked(*camera, "SensorWidth", 100));
    EXPECT_FALSE(SetChecked(*camera, "SensorType", "X"));
    EXPECT_TRUE(SetChecked(*camera, "MaxStrobe", 900));
    EXPECT_TRUE(SetChecked(*camera, "StrobeType", "IR"));
    EXPECT_TRUE(SetChecked(*camera, "MinThreshold", 3));

    ASSERT_TRUE(Connect(*camera));
    for (const char* key : VFakeDeviceCamera::HardwareKeys)
    {
        SCOPED_TRACE(key);
        EXPECT_TRUE(camera->GetParamList()->GetParam(key)->IsReadOnly());
    }
    EXPECT_FALSE(SetChecked(*camera, "MaxStrobe", 800));
    EXPECT_FALSE(SetChecked(*camera, "StrobeType", "Visible"));
    EXPECT_FALSE(SetChecked(*camera, "MinThreshold", 4));
    EXPECT_EQ(camera->Int("MaxStrobe"), 900);
    // Settings the host changes while connected stay writable.
    EXPECT_TRUE(SetChecked(*camera, "Threshold", 99));
    EXPECT_TRUE(SetChecked(*camera, "Gain", 3));
    EXPECT_TRUE(SetChecked(*camera, "LED0", "on"));

    ASSERT_TRUE(Connect(*camera, false));
    for (const char* key : VFakeDeviceCamera::HardwareKeys)
    {
        SCOPED_TRACE(key);
        EXPECT_FALSE(camera->GetParamList()->GetParam(key)->IsReadOnly());
    }
    EXPECT_TRUE(SetChecked(*camera, "SensorWidth", 100));
    EXPECT_TRUE(SetChecked(*camera, "MaxStrobe", 800));
    // "PreviewMode" is not among them.
    EXPECT_TRUE(camera->GetParamList()->GetParam("PreviewMode")->IsReadOnly());
}

// ---- broadcast commands ----------------------------------------------------------

TEST_F(CameraFixture, PreviewFamilySwitchesPreviewModeOnlyForThisCamera)
{
    auto camera = AddCamera(7);
    // A sensor of size 0 makes a preview server that sends nothing, so the switching
    // can be watched without traffic.
    camera->SetParam("DeviceType", "Unknown");

    // Addressed to this camera with the flag: on.
    camera->ClassCommand({0x00050002, 7, 1});
    EXPECT_TRUE(camera->Bool("PreviewMode"));
    EXPECT_TRUE(camera->HasPreviewServer());
    const VPreviewServer* server = camera->GetPreviewServer();
    // On again: the same server stays.
    camera->ClassCommand({0x00050002, 7, 0xFFFFFFFF});
    EXPECT_EQ(camera->GetPreviewServer(), server);

    // Naming another device turns it off, whatever the flag.
    camera->ClassCommand({0x00050002, 8, 1});
    EXPECT_FALSE(camera->Bool("PreviewMode"));
    EXPECT_FALSE(camera->HasPreviewServer());

    // The family counts, not the low half; the flag is bit 0 only.
    camera->ClassCommand({0x00050001, 7, 1});
    EXPECT_TRUE(camera->Bool("PreviewMode"));
    camera->ClassCommand({0x00050002, 7, 2});
    EXPECT_FALSE(camera->Bool("PreviewMode"));

    // Too short to hold the device and the flag: nothing changes.
    camera->ClassCommand({0x00050002, 7, 1});
    const std::vector<uint8_t> shortPreview = Datagram({0x00050002, 8});
    camera->OnClassBroadcastCommand(shortPreview.data(), shortPreview.size());
    EXPECT_TRUE(camera->Bool("PreviewMode"));
    camera->OnClassBroadcastCommand(nullptr, 12);
    EXPECT_TRUE(camera->Bool("PreviewMode"));
}

TEST_F(CameraFixture, OtherFamiliesChangeNothing)
{
    auto camera = AddCamera(7);
    const auto before = camera->GetPropertySet().GetAll();
    camera->ClassCommand({0x00090001, 1});    // STROBE_DISABLE
    camera->ClassCommand({0x00040006, 0, 7}); // AWAKE
    camera->ClassCommand({0x00060007, 0, 7}); // ALIVE_PING
    camera->ClassCommand({0x000A0001});       // TEST_SYNC
    camera->ClassCommand({0x000B0001, 3});    // SYSTEM_EVENT
    camera->ClassCommand({0x00FF0002, 7, 1}); // unknown
    camera->ClassCommand({0x00150002, 7, 1}); // PREVIEW's low half, other family
    EXPECT_EQ(camera->GetPropertySet().GetAll(), before);
    EXPECT_FALSE(camera->HasPreviewServer());
}

// ---- shell -------------------------------------------------------------------------

TEST_F(CameraFixture, InfoReportsThirteenLinesForAProtocolOneCamera)
{
    auto camera = AddCamera(0x80000001u);
    EXPECT_EQ(camera->Telnet("info"), Expected13Lines("Zt-M4", "Zt-M4", "KS4A", "2352 x 1728",
                                                      "294 x 108", "8 x 16", "2147483649"));

    camera->SetParam("DeviceType", "CellA");
    const std::string cellA = camera->Telnet("info");
    EXPECT_EQ(cellA, Expected13Lines("CellA", "ZT Cell A", "TR1B", "1120 x 896", "140 x 56",
                                     "8 x 16", "2147483649"));

    // The values are read when asked; the prefix is enough ("info2" is "info").
    camera->SetParam("MinStrobe", int32_t{5});
    camera->SetParam("MaxThreshold", int32_t{200});
    camera->SetParam("StrobeType", "IR");
    camera->SetParam("FirmwareVersion", int32_t{90});
    const std::string changed = camera->Telnet("info2");
    EXPECT_NE(changed.find("Strobe Range : 5 - 1000\n"), std::string::npos) << changed;
    EXPECT_NE(changed.find("Threshold Range : 0 - 200\n"), std::string::npos) << changed;
    EXPECT_NE(changed.find("Strobe Type : IR\n"), std::string::npos) << changed;
    EXPECT_NE(changed.find("Firmware Version : 90\n"), std::string::npos) << changed;
    EXPECT_EQ(LineCount(changed), 13u);
}

TEST_F(CameraFixture, InfoAddsStreamLinesForProtocolTwo)
{
    auto camera = AddCamera(3);
    camera->SetParam("DeviceType", "WREN_VIDEO_VGA");
    const std::string video = camera->Telnet("info");
    EXPECT_EQ(LineCount(video), 15u) << video;
    const std::string ending = "Centroid Tracking Able : yes\n"
                               "Stream : V2 6000 1460 Centroids Greyscale\n"
                               "Stream : V2 7000 8000 Video\n";
    ASSERT_GE(video.size(), ending.size());
    EXPECT_EQ(video.substr(video.size() - ending.size()), ending);
    EXPECT_NE(video.find("Display Device Type : Wren (Reference Video)\n"), std::string::npos);

    // Motion capture only: the first stream line alone.
    camera->SetParam("DeviceType", "WREN_2_MOCAP_1MP");
    const std::string mocap = camera->Telnet("info");
    EXPECT_EQ(LineCount(mocap), 14u) << mocap;
    EXPECT_EQ(mocap.substr(mocap.size() - 42), "Stream : V2 6000 1460 Centroids Greyscale\n");

    // Protocol 2 with neither centroids nor greyscale but video: only the video line.
    camera->SetParam("SupportsGreyscale", false);
    camera->SetParam("SupportsVideo", true);
    const std::string videoOnly = camera->Telnet("info");
    EXPECT_EQ(LineCount(videoOnly), 14u) << videoOnly;
    EXPECT_EQ(videoOnly.substr(videoOnly.size() - 28), "Stream : V2 7000 8000 Video\n");

    // Video support on a protocol-1 camera adds nothing.
    camera->SetParam("DeviceType", "CellB");
    camera->SetParam("SupportsVideo", true);
    EXPECT_EQ(LineCount(camera->Telnet("info")), 13u);
}

TEST_F(CameraFixture, WindowAnswersHeightBeforeWidth)
{
    auto camera = AddCamera(3);
    camera->SetParam("DeviceType", "Zt-M1");
    EXPECT_EQ(camera->Telnet("window"), "0 1024 0 1280\n");
    EXPECT_EQ(camera->Telnet("window anything"), "0 1024 0 1280\n");
    camera->SetParam("DeviceType", "CellF");
    EXPECT_EQ(camera->Telnet("window"), "0 1728 0 2344\n");
}

TEST_F(CameraFixture, IntegerCommandsSetOnlyFromAWholeDecimalNumber)
{
    auto camera = AddCamera(3);
    // The plain forms.
    EXPECT_EQ(camera->Telnet("gain 5"), "");
    EXPECT_EQ(camera->Int("Gain"), 5);
    camera->Telnet("minratio 300");
    EXPECT_EQ(camera->Int("MinRatio"), 300);
    camera->Telnet("setstrobe 750");
    EXPECT_EQ(camera->Int("Strobe"), 750);
    camera->Telnet("threshold 90");
    EXPECT_EQ(camera->Int("Threshold"), 90);

    // Digits right after the word, and several leading blanks, are fine.
    camera->Telnet("gain7");
    EXPECT_EQ(camera->Int("Gain"), 7);
    camera->Telnet("gain   \t2");
    EXPECT_EQ(camera->Int("Gain"), 2);

    // Anything after the number, no number, or a number beyond 32 bits: no change.
    for (const char* bad : {"gain x", "gain 3 ", "gain 3x", "gain", "gain ", "gain 3.5",
                            "gain 99999999999", "gain - 3", "gain 0x4"})
    {
        SCOPED_TRACE(bad);
        EXPECT_EQ(camera->Telnet(bad), "");
        EXPECT_EQ(camera->Int("Gain"), 2);
    }
    camera->Telnet("threshold 90 91");
    EXPECT_EQ(camera->Int("Threshold"), 90);

    // "dspparams -s" trims its argument first, so blanks after the number are fine.
    camera->Telnet("dspparams -s 12 \t");
    EXPECT_EQ(camera->Int("MaxPixelsPerLine"), 12);
    camera->Telnet("dspparams -s13");
    EXPECT_EQ(camera->Int("MaxPixelsPerLine"), 13);
    camera->Telnet("dspparams -s 14 15");
    camera->Telnet("dspparams 16"); // not the command word
    EXPECT_EQ(camera->Int("MaxPixelsPerLine"), 13);
}

TEST_F(CameraFixture, LedTakesIndexAndValuePairsUntilTheFirstBadOne)
{
    auto camera = AddCamera(3);
    camera->Telnet("led 2 p5");
    EXPECT_EQ(camera->Text("LED2"), "p5");

    // Index out of range: nothing.
    camera->Telnet("led 4 on");
    for (const char* key : {"LED0", "LED1", "LED3"})
        EXPECT_EQ(camera->Text(key), "off") << key;

    // A pair without its value stops: LED0 set, LED1 not.
    camera->Telnet("led 0 on 1");
    EXPECT_EQ(camera->Text("LED0"), "on");
    EXPECT_EQ(camera->Text("LED1"), "off");

    // Several pairs, runs of blanks, quoted tokens (quotes dropped, blanks kept).
    camera->Telnet("led  1   p1 3 \"p9\"");
    EXPECT_EQ(camera->Text("LED1"), "p1");
    EXPECT_EQ(camera->Text("LED3"), "p9");
    camera->Telnet("led \" 2\" \"on x\"");
    EXPECT_EQ(camera->Text("LED2"), "on x");

    // A bad index stops before its pair and every later one.
    camera->Telnet("led x on 1 off");
    camera->Telnet("led -1 on 1 off");
    camera->Telnet("led 1x on 1 off");
    EXPECT_EQ(camera->Text("LED1"), "p1");
    // The second pair is bad: the first still counts.
    camera->Telnet("led 0 p0 9 on 1 off");
    EXPECT_EQ(camera->Text("LED0"), "p0");
    EXPECT_EQ(camera->Text("LED1"), "p1");
    EXPECT_EQ(camera->Telnet("led 0 p2"), "");
}

TEST_F(CameraFixture, GreyModeAndCoordModeTakeOnlyTheirWords)
{
    auto camera = AddCamera(3);
    camera->Telnet("greymode  none \t");
    EXPECT_EQ(camera->Text("GreyMode"), "none");
    camera->Telnet("greymode \r all \n");
    EXPECT_EQ(camera->Text("GreyMode"), "all");
    for (const char* bad : {"greymode ALL", "greymode al", "greymode all x", "greymode"})
    {
        camera->Telnet(bad);
        EXPECT_EQ(camera->Text("GreyMode"), "all") << bad;
    }
    camera->Telnet("greymodesome"); // the prefix rule: no blank needed
    EXPECT_EQ(camera->Text("GreyMode"), "some");

    camera->Telnet("coordmode only");
    EXPECT_EQ(camera->Text("CoordMode"), "only");
    // "all" is the default but not a word this command takes.
    camera->Telnet("coordmode all");
    EXPECT_EQ(camera->Text("CoordMode"), "only");
    camera->Telnet("coordmode  none ");
    EXPECT_EQ(camera->Text("CoordMode"), "none");
}

TEST_F(CameraFixture, UnknownLinesLeaveTheReplyAsItWas)
{
    auto camera = AddCamera(3);
    const auto before = camera->GetPropertySet().GetAll();
    for (const char* line : {"", "bogus", "Info", " info", "dspparams", "window", "le"})
    {
        std::string reply = "kept";
        camera->OnTelnetCommand(line, reply);
        if (std::string(line) == "window")
            EXPECT_EQ(reply, "kept0 1728 0 2352\n"); // appended, not replaced
        else
            EXPECT_EQ(reply, "kept") << line;
    }
    EXPECT_EQ(camera->GetPropertySet().GetAll(), before);
}

// ---- what the variants read -------------------------------------------------------------

TEST_F(CameraFixture, SendingNeedsEnabledAndSystemEnabledAndNoPreview)
{
    auto camera = AddCamera(3);
    EXPECT_FALSE(camera->IsSendingAllowed());
    camera->SetParam("Enabled", true);
    EXPECT_FALSE(camera->IsSendingAllowed());
    camera->SetParam("SystemEnabled", true);
    EXPECT_TRUE(camera->IsSendingAllowed());
    camera->SetParam("Preview", true);
    EXPECT_FALSE(camera->IsSendingAllowed());
}
