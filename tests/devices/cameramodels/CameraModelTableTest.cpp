// The camera model table, the display names and the sensor-size rule of trial files.
#include "devices/DisplayNameTable.h"
#include "devices/cameramodels/CameraModelTable.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

namespace
{

/// The "DeviceType" options, each of which must have a row.
const char* const kOfferedTypes[] = {"Zt-H1",
                                     "Zt-H0",
                                     "Zt-M1",
                                     "Zt-M4",
                                     "Zt-K1",
                                     "Zt-K2",
                                     "Zt-K4",
                                     "Zt-L2",
                                     "Zt-L4",
                                     "CellA",
                                     "CellB",
                                     "CellC",
                                     "CellD",
                                     "CellE",
                                     "CellF",
                                     "CellG",
                                     "WREN_MOCAP_VGA",
                                     "WREN_VIDEO_VGA",
                                     "WREN_2_MOCAP_1MP",
                                     "WREN_2_VIDEO_1MP",
                                     "WREN_2_VIDEO_1MP_C"};

} // namespace

TEST(CameraModelTable, HoldsTwentyFourDistinctRowsCoveringEveryOfferedType)
{
    const auto rows = CameraModelTable::GetRows();
    ASSERT_EQ(rows.size(), 24u);
    std::set<std::string> labels;
    for (const VCameraModel& row : rows)
        labels.insert(row.m_DeviceType);
    EXPECT_EQ(labels.size(), 24u);
    for (const char* type : kOfferedTypes)
        EXPECT_NE(CameraModelTable::Find(type), nullptr) << type;
    // The three rows without an option.
    for (const char* type : {"Zt-M4x", "WREN_2_VIDEO_VGA", "WREN_2_MOCAP_VGA"})
        EXPECT_NE(CameraModelTable::Find(type), nullptr) << type;
}

TEST(CameraModelTable, OffersTheOptionTypesInOrderAndOnlyThose)
{
    // The camera's "DeviceType" options and tsmtrial's --model take this list.
    const auto offered = CameraModelTable::GetOfferedTypes();
    ASSERT_EQ(offered.size(), std::size(kOfferedTypes));
    for (size_t i = 0; i < offered.size(); ++i)
        EXPECT_STREQ(offered[i], kOfferedTypes[i]) << i;
    const VCameraModel* m4 = CameraModelTable::FindOffered("Zt-M4");
    ASSERT_NE(m4, nullptr);
    EXPECT_EQ(m4, CameraModelTable::Find("Zt-M4"));
    // Rows without an option, unknown and wrongly cased types are not offered.
    for (const char* type :
         {"Zt-M4x", "WREN_2_VIDEO_VGA", "WREN_2_MOCAP_VGA", "Zt-M9", "zt-m4", ""})
        EXPECT_EQ(CameraModelTable::FindOffered(type), nullptr) << type;
    const std::string text = CameraModelTable::OfferedTypesText();
    EXPECT_EQ(text.rfind("Zt-H1, Zt-H0, Zt-M1, Zt-M4, ", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with(", WREN_2_VIDEO_1MP, WREN_2_VIDEO_1MP_C")) << text;
    EXPECT_EQ(text.find("Zt-M4x"), std::string::npos) << text;
}

TEST(CameraModelTable, RowsCarryTheirModelsValues)
{
    // The one sensor narrower than its grid family.
    const VCameraModel cellF = CameraModelTable::Lookup("CellF");
    EXPECT_STREQ(cellF.m_DeviceType, "CellF");
    EXPECT_EQ(cellF.m_ProtocolVersion, 1);
    EXPECT_STREQ(cellF.m_SensorType, "TR6B");
    EXPECT_EQ(cellF.m_SensorWidth, 2344);
    EXPECT_EQ(cellF.m_SensorHeight, 1728);
    EXPECT_EQ(cellF.m_GridWidth, 294);
    EXPECT_EQ(cellF.m_GridHeight, 108);

    // A grid a little larger than its sensor.
    const VCameraModel h0 = CameraModelTable::Lookup("Zt-H0");
    EXPECT_EQ(h0.m_SensorWidth, 659);
    EXPECT_EQ(h0.m_SensorHeight, 493);
    EXPECT_EQ(h0.m_GridWidth * h0.m_GridTileWidth, 660);
    EXPECT_EQ(h0.m_GridHeight * h0.m_GridTileHeight, 494);

    const VCameraModel cellG = CameraModelTable::Lookup("CellG");
    EXPECT_EQ(cellG.m_SensorWidth, 4704);
    EXPECT_EQ(cellG.m_GridTileWidth, 16);
    EXPECT_EQ(cellG.m_GridTileHeight, 32);

    // Protocol 2: no centroids; video only on the video models.
    for (const VCameraModel& row : CameraModelTable::GetRows())
    {
        SCOPED_TRACE(row.m_DeviceType);
        const std::string type = row.m_DeviceType;
        const bool wren = type.rfind("WREN", 0) == 0;
        EXPECT_EQ(row.m_ProtocolVersion, wren ? 2 : 1);
        EXPECT_EQ(row.m_SupportsCentroids, !wren);
        EXPECT_TRUE(row.m_SupportsGreyscale);
        EXPECT_EQ(row.m_SupportsVideo, type.find("VIDEO") != std::string::npos);
    }
    const VCameraModel video = CameraModelTable::Lookup("WREN_2_VIDEO_1MP_C");
    EXPECT_STREQ(video.m_SensorType, "CMV2000");
    EXPECT_EQ(video.m_SensorWidth, 1280);
    EXPECT_EQ(video.m_SensorHeight, 720);
    EXPECT_EQ(video.m_GridWidth, 160);
    EXPECT_EQ(video.m_GridHeight, 90);
}

TEST(CameraModelTable, UnknownTypesGiveTheEmptyModelAndAreNotAdded)
{
    for (const char* type : {"", "zt-m4", "Zt-M4 ", "Unknown"})
    {
        SCOPED_TRACE(type);
        EXPECT_EQ(CameraModelTable::Find(type), nullptr);
        const VCameraModel model = CameraModelTable::Lookup(type);
        EXPECT_STREQ(model.m_DeviceType, "");
        EXPECT_EQ(model.m_ProtocolVersion, 0);
        EXPECT_FALSE(model.m_SupportsCentroids || model.m_SupportsGreyscale ||
                     model.m_SupportsVideo);
        EXPECT_STREQ(model.m_SensorType, "");
        EXPECT_EQ(model.m_SensorWidth + model.m_SensorHeight + model.m_GridWidth +
                      model.m_GridHeight + model.m_GridTileWidth + model.m_GridTileHeight,
                  0);
    }
    EXPECT_EQ(CameraModelTable::GetRows().size(), 24u);
}

TEST(CameraModelTable, SensorAreaNamesTheModelOfATypelessRecord)
{
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(2352, 1728), "Zt-M4");
    // 2344 x 1728 is 4050432 pixels; 4036608 would be a 2336-wide sensor.
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(2344, 1728), "CellF");
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(2336, 1728), "");
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(659, 494), "Zt-H0");
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(1280, 1024), "Zt-M1");
    // The rule is by area, so the same sensor on its side matches too.
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(1024, 1280), "Zt-M1");
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(0, 0), "");
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(640, 480), "");
    // Sizes whose 32-bit product would wrap onto a rule's area do not match:
    // 2^32 + 1310720 = 65536 x 65556.
    EXPECT_STREQ(CameraModelTable::DeviceTypeForSensorArea(65536, 65556), "");
}

TEST(DisplayNameTable, MapsTheCellAndWrenTypesAndShowsOthersAsTheyAre)
{
    const std::pair<const char*, const char*> expected[] = {
        {"CellA", "ZT Cell A"},
        {"CellB", "ZT Cell A"},
        {"CellC", "ZT Cell C"},
        {"CellD", "ZT Cell C"},
        {"CellE", "ZT Cell E"},
        {"CellF", "ZT Cell E"},
        {"CellG", "ZT Cell G"},
        {"WREN_MOCAP_VGA", "Wren (Motion Capture)"},
        {"WREN_VIDEO_VGA", "Wren (Reference Video)"},
        {"WREN_2_MOCAP_1MP", "Wren 2 (Motion Capture)"},
        {"WREN_2_VIDEO_1MP", "Wren 2 (Reference Video)"},
        {"WREN_2_VIDEO_1MP_C", "Wren 2 (Color Reference Video)"},
        {"Zt-M4", "Zt-M4"},
        {"WREN_2_VIDEO_VGA", "WREN_2_VIDEO_VGA"},
        {"", ""},
        {"cella", "cella"},
    };
    for (const auto& [label, name] : expected)
        EXPECT_EQ(DisplayNameTable::GetDisplayName(label), name) << label;
}
