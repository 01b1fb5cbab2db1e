// The sub-commands run in-process: what they print, in text and JSON, and their exit codes
// for good files, bad files and bad arguments.
#include "tsmtrial/TrialReport.h"
#include "tsmtrial/TsmtrialCommands.h"
#include "tsmtrial/VX1DTrialGenerator.h"
#include "tsmtrial/VX2DTrialGenerator.h"

#include "TestJson.h"
#include "TsmtrialTestSupport.h"

#include "FileIO/X2DIO/VX1DImport.h"
#include "FileIO/X2DIO/VX2DImport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>

using testsupport::VTempDir;

namespace
{

struct VResult
{
    int Code = -1;
    std::string Out;
    std::string Err;
};

VResult RunTool(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    VResult result;
    result.Code = Tsmtrial::Run(arguments, VTsmtrialConsole{out, err, false});
    result.Out = out.str();
    result.Err = err.str();
    return result;
}

TestJson::VValue ParseJson(const std::string& text)
{
    TestJson::VValue value;
    EXPECT_TRUE(TestJson::Parse(text, value)) << text;
    return value;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

/// A generated trial pair in a temporary folder, made with the tool's default settings.
class TsmtrialCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_Dir.IsValid());
        m_X2D = m_Dir.File("trial.x2d");
        m_X1D = m_Dir.File("trial.x1d");
        ASSERT_EQ(RunTool({"generate", m_X2D, "--frames", "60"}).Code, 0);
        ASSERT_EQ(RunTool({"generate", m_X1D, "--frames", "60", "--devices", "2"}).Code, 0);
    }

    VTempDir m_Dir;
    std::string m_X2D;
    std::string m_X1D;
};

} // namespace

TEST_F(TsmtrialCommand, InfoJsonOfX2DHasEveryKeyInOrderWithTheFileValues)
{
    const VResult result = RunTool({"info", m_X2D, "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    const TestJson::VValue info = ParseJson(result.Out);
    EXPECT_EQ(info.Keys(), (std::vector<std::string>{
                               "kind", "version", "devices", "frames", "frame_range", "frame_rate",
                               "start_timecode", "cameras", "header_value", "source_sets", "errors",
                               "formats", "frame_info_format", "index_rebuilt", "opened"}));
    EXPECT_EQ(info["kind"].Text, "x2d");
    EXPECT_EQ(info["version"].Number, 3);
    EXPECT_EQ(info["devices"].Number, 4);
    EXPECT_EQ(info["frames"].Number, 60);
    ASSERT_EQ(info["frame_range"].Items.size(), 2u);
    EXPECT_EQ(info["frame_range"][0].Number, 1);
    EXPECT_EQ(info["frame_range"][1].Number, 60);
    EXPECT_EQ(info["frame_rate"].Number, 100);
    EXPECT_EQ(info["start_timecode"].Text, "10:00:00:00(0) [ PAL ]");
    EXPECT_TRUE(info["header_value"].IsNull());
    EXPECT_TRUE(info["source_sets"].Items.empty());
    EXPECT_TRUE(info["errors"].Items.empty());
    EXPECT_EQ(info["formats"].Items.size(), 5u);
    EXPECT_EQ(info["formats"][0]["name"].Text, "centroids");
    EXPECT_TRUE(info["opened"].Boolean);

    VX2DTrialGenerator generator(VX2DGeneratorSettings{});
    ASSERT_EQ(info["cameras"].Items.size(), 4u);
    for (std::size_t c = 0; c < 4; ++c)
    {
        const TestJson::VValue& camera = info["cameras"][c];
        EXPECT_EQ(camera.Keys(), (std::vector<std::string>{"id", "name", "type", "width", "height",
                                                           "camera_value"}));
        EXPECT_EQ(camera["id"].Number, c + 1);
        EXPECT_EQ(camera["name"].Text, "zt:" + std::to_string(c + 1));
        EXPECT_EQ(camera["type"].Text, "Zt-M4");
        EXPECT_EQ(camera["width"].Number, 2352);
        EXPECT_EQ(camera["height"].Number, 1728);
        EXPECT_EQ(camera["camera_value"].Number, generator.GetCameras()[c].CameraValue);
    }
}

TEST_F(TsmtrialCommand, InfoJsonOfX1DCarriesTheHeaderValueAndSourceSets)
{
    const VResult result = RunTool({"info", m_X1D, "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const TestJson::VValue info = ParseJson(result.Out);
    EXPECT_EQ(info["kind"].Text, "x1d");
    EXPECT_EQ(info["version"].Number, 2);
    EXPECT_EQ(info["devices"].Number, 2);
    EXPECT_EQ(info["frames"].Number, 60);
    EXPECT_EQ(info["frame_range"][1].Number, 60);
    EXPECT_TRUE(info["frame_rate"].IsNull());
    EXPECT_TRUE(info["start_timecode"].IsNull());
    EXPECT_TRUE(info["cameras"].Items.empty());
    EXPECT_EQ(info["header_value"].Text, "1350000");
    ASSERT_EQ(info["source_sets"].Items.size(), 2u);
    const TestJson::VValue& set = info["source_sets"][1];
    EXPECT_EQ(set.Keys(),
              (std::vector<std::string>{"value", "first_text", "second_text", "reals", "sources"}));
    EXPECT_EQ(set["value"].Number, 1);
    EXPECT_EQ(set["first_text"].Text, "Analogue 1");
    EXPECT_EQ(set["reals"][0].Number, 1000);
    EXPECT_EQ(set["reals"][2].Number, 10);
    ASSERT_EQ(set["sources"].Items.size(), 8u);
    EXPECT_EQ(set["sources"][7].Number, 7);
    EXPECT_TRUE(info["errors"].Items.empty());
}

TEST_F(TsmtrialCommand, InfoTextShowsTheHeader)
{
    const VResult x2d = RunTool({"info", m_X2D});
    ASSERT_EQ(x2d.Code, 0);
    EXPECT_TRUE(Contains(x2d.Out, "Kind            X2D, version 3\n")) << x2d.Out;
    EXPECT_TRUE(Contains(x2d.Out, "Frames          60, numbers 1 to 60\n"));
    EXPECT_TRUE(Contains(x2d.Out, "Start timecode  10:00:00:00(0) [ PAL ]\n"));
    EXPECT_TRUE(Contains(x2d.Out, "zt:4"));
    EXPECT_TRUE(Contains(x2d.Out, "Errors          none\n"));
    const VResult x1d = RunTool({"info", m_X1D});
    ASSERT_EQ(x1d.Code, 0);
    EXPECT_TRUE(Contains(x1d.Out, "Header value    1350000\n")) << x1d.Out;
    EXPECT_TRUE(Contains(x1d.Out, "  1: value 1, \"Analogue 1\", \"sine\", reals 1000 100 10, "
                                  "sources 0 1 2 3 4 5 6 7\n"));
}

TEST_F(TsmtrialCommand, DumpJsonHoldsWhatTheGeneratorComputed)
{
    const std::uint32_t index = 42;
    VX2DTrialGenerator generator(VX2DGeneratorSettings{});
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    for (std::uint32_t i = 0; i <= index; ++i)
    {
        generator.NextFrame(centroids, tracks, greyscale, edges);
    }
    const VTrialFrame expected =
        TsmtrialTest::Snapshot(index, index + 1, centroids, tracks, greyscale, edges);

    const VResult result = RunTool({"dump", m_X2D, "--frame", std::to_string(index), "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const TestJson::VValue dump = ParseJson(result.Out);
    EXPECT_EQ(dump.Keys(),
              (std::vector<std::string>{"index", "frame_number", "ok", "cameras", "errors"}));
    EXPECT_EQ(dump["index"].Number, index);
    EXPECT_EQ(dump["frame_number"].Number, index + 1);
    EXPECT_TRUE(dump["ok"].Boolean);
    ASSERT_EQ(dump["cameras"].Items.size(), 4u);
    for (std::size_t c = 0; c < 4; ++c)
    {
        SCOPED_TRACE("camera " + std::to_string(c));
        const TestJson::VValue& camera = dump["cameras"][c];
        const VTrialCameraFrame& want = expected.Cameras[c];
        EXPECT_EQ(camera.Keys(),
                  (std::vector<std::string>{"name", "camera_value", "centroids", "tracks", "blobs",
                                            "edges", "info_byte"}));
        EXPECT_EQ(camera["name"].Text, want.Name);
        EXPECT_EQ(camera["camera_value"].Number, want.CameraValue);
        EXPECT_EQ(camera["info_byte"].Number, want.InfoByte);
        ASSERT_EQ(camera["centroids"].Items.size(), want.Centroids.size());
        for (std::size_t i = 0; i < want.Centroids.size(); ++i)
        {
            const TestJson::VValue& centroid = camera["centroids"][i];
            EXPECT_EQ(centroid[0].Number, want.Centroids[i].X);
            EXPECT_EQ(centroid[1].Number, want.Centroids[i].Y);
            EXPECT_EQ(centroid[2].Number, want.Centroids[i].Radius);
            EXPECT_EQ(centroid[3].Number, want.Centroids[i].Fraction);
            const TestJson::VValue& track = camera["tracks"][i];
            EXPECT_EQ(track[0].Number, want.Tracks[i].Id);
            EXPECT_EQ(track[1].Number, want.Tracks[i].Length);
            EXPECT_EQ(static_cast<float>(track[2].Number), want.Tracks[i].Confidence);
            const TestJson::VValue& blob = camera["blobs"][i];
            EXPECT_EQ(blob["flag"].Number, want.Blobs[i].Flag);
            ASSERT_EQ(blob["lines"].Items.size(), want.Blobs[i].Lines.size());
            for (std::size_t l = 0; l < want.Blobs[i].Lines.size(); ++l)
            {
                EXPECT_EQ(blob["lines"][l][0].Number, want.Blobs[i].Lines[l].Column);
                EXPECT_EQ(blob["lines"][l][1].Number, want.Blobs[i].Lines[l].Line);
                EXPECT_EQ(blob["lines"][l][2].Number, want.Blobs[i].Lines[l].Pixels.size());
            }
        }
        ASSERT_EQ(camera["edges"].Items.size(), want.Edges.size());
        for (std::size_t e = 0; e < want.Edges.size(); ++e)
        {
            EXPECT_EQ(camera["edges"][e][0].Number, want.Edges[e].Coord0);
            EXPECT_EQ(camera["edges"][e][1].Number, want.Edges[e].Coord1);
            EXPECT_EQ(camera["edges"][e][2].Number, want.Edges[e].Coord2);
        }
    }

    // The text form shows the same frame.
    const VResult text = RunTool({"dump", m_X2D, "--frame", std::to_string(index)});
    ASSERT_EQ(text.Code, 0);
    EXPECT_TRUE(Contains(text.Out, "Frame index 42, number 43: read\n")) << text.Out;
    EXPECT_TRUE(Contains(text.Out, "Camera 3 zt:4, camera value "));
}

TEST_F(TsmtrialCommand, DumpJsonOfX1DShowsEachBlockInHex)
{
    VX1DGeneratorSettings settings;
    settings.Devices = 2;
    VX1DTrialGenerator generator(settings);
    VAnalogueBlockFrame frame;
    generator.FrameAt(5, frame);

    const VResult result = RunTool({"dump", m_X1D, "--frame", "5", "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const TestJson::VValue dump = ParseJson(result.Out);
    EXPECT_EQ(dump.Keys(),
              (std::vector<std::string>{"index", "frame_number", "ok", "devices", "errors"}));
    EXPECT_EQ(dump["frame_number"].Number, 6);
    ASSERT_EQ(dump["devices"].Items.size(), 2u);
    const TestJson::VValue& device = dump["devices"][1];
    EXPECT_EQ(device["name"].Text, "analogue:1");
    ASSERT_EQ(device["blocks"].Items.size(), 8u);
    for (std::uint32_t c = 0; c < 8; ++c)
    {
        const IAnalogueBlockData* block = nullptr;
        ASSERT_TRUE(frame.GetSetDirect(1)->GetItemData(c, &block));
        const std::vector<std::uint8_t> bytes(block->Data, block->Data + block->Size);
        EXPECT_EQ(device["blocks"][c]["size"].Number, 20);
        std::string hex;
        for (std::uint8_t byte : bytes)
        {
            char digits[3];
            std::snprintf(digits, sizeof(digits), "%02x", byte);
            hex += digits;
        }
        EXPECT_EQ(device["blocks"][c]["bytes"].Text, hex);
    }
}

TEST_F(TsmtrialCommand, DumpOfAFrameBeyondTheEndFailsWithTheReadersMessage)
{
    const VResult result = RunTool({"dump", m_X2D, "--frame", "60", "--json"});
    EXPECT_EQ(result.Code, 1);
    const TestJson::VValue dump = ParseJson(result.Out);
    EXPECT_FALSE(dump["ok"].Boolean);
    ASSERT_EQ(dump["errors"].Items.size(), 1u);
    EXPECT_EQ(dump["errors"][0].Text, "There is no frame index 60 in the file.");
    EXPECT_TRUE(Contains(result.Err, "There is no frame index 60 in the file."));
}

TEST_F(TsmtrialCommand, DumpShowsAFrameWhoseReadReturnedFalseWithoutAnError)
{
    // Without a frame-info format the reader fills the frames but returns false and names
    // no sets: the dump shows the data, "ok" false, and exits 0 since nothing went wrong.
    VX2DExportSettings settings;
    settings.Cameras = {CameraInfoRecord{}};
    settings.Cameras[0].CameraId = 12;
    settings.Cameras[0].SensorWidth = 1024;
    settings.Cameras[0].SensorHeight = 1024;
    settings.WriteFrameInfoFormat = false;
    const std::string path = m_Dir.File("noinfo.x2d");
    VX2DExport writer;
    ASSERT_TRUE(writer.Open(path, settings));
    VCentroidFrame centroids;
    centroids.Resize(1);
    centroids.GetSetDirect(0)->Resize(1);
    ICentroidData* centroid = nullptr;
    centroids.GetSetDirect(0)->GetItemData(0, &centroid);
    centroid->X = 512.0;
    ASSERT_TRUE(writer.WriteFrame(5, &centroids, nullptr, nullptr, nullptr));
    ASSERT_TRUE(writer.Close());

    const VResult result = RunTool({"dump", path, "--frame", "0", "--json"});
    EXPECT_EQ(result.Code, 0) << result.Err;
    const TestJson::VValue dump = ParseJson(result.Out);
    EXPECT_FALSE(dump["ok"].Boolean);
    EXPECT_EQ(dump["frame_number"].Number, 5);
    EXPECT_EQ(dump["cameras"][0]["name"].Text, "");
    EXPECT_EQ(dump["cameras"][0]["centroids"][0][0].Number, 512.0);
    EXPECT_TRUE(dump["errors"].Items.empty());
    const TestJson::VValue info = ParseJson(RunTool({"info", path, "--json"}).Out);
    EXPECT_TRUE(info["frame_info_format"].IsNull());
    EXPECT_EQ(info["cameras"][0]["name"].Text, "zt:12");
}

TEST_F(TsmtrialCommand, DiffOfAFileWithItselfIsEqualAndFindsAMovedCentroid)
{
    const VResult same = RunTool({"diff", m_X2D, m_X2D});
    EXPECT_EQ(same.Code, 0) << same.Out << same.Err;
    EXPECT_EQ(same.Out, "The trials are equal: 60 frames compared.\n");
    EXPECT_EQ(RunTool({"diff", m_X1D, m_X1D}).Code, 0);

    const std::string moved = m_Dir.File("moved.x2d");
    ASSERT_TRUE(TsmtrialTest::CopyX2DWithMovedCentroid(m_X2D, moved, 17, 1, 0, -2.0));
    const VResult differ = RunTool({"diff", m_X2D, moved});
    EXPECT_EQ(differ.Code, 1);
    EXPECT_TRUE(Contains(differ.Out, " differ.\n")) << differ.Out;
    EXPECT_TRUE(Contains(differ.Out, "First differing frame: index 17, number 18: camera 1 (zt:2): "
                                     "centroid 0 x: "))
        << differ.Out;
    EXPECT_FALSE(Contains(differ.Out, "Header:"));

    // A trial of another version but the same frames is equal, with a note.
    ASSERT_EQ(RunTool({"generate", m_Dir.File("v1.x2d"), "--frames", "60", "--version", "1"}).Code,
              0);
    const VResult version = RunTool({"diff", m_X2D, m_Dir.File("v1.x2d")});
    EXPECT_EQ(version.Code, 0);
    EXPECT_TRUE(Contains(version.Out, "Note: version: 3 vs 1\n")) << version.Out;

    // Different kinds and different headers differ.
    const VResult kinds = RunTool({"diff", m_X2D, m_X1D});
    EXPECT_EQ(kinds.Code, 1);
    EXPECT_TRUE(Contains(kinds.Out, "Header: kind: x2d vs x1d\n"));
    ASSERT_EQ(RunTool({"generate", m_Dir.File("short.x2d"), "--frames", "50"}).Code, 0);
    const VResult shorter = RunTool({"diff", m_X2D, m_Dir.File("short.x2d")});
    EXPECT_EQ(shorter.Code, 1);
    EXPECT_TRUE(Contains(shorter.Out, "Header: frames: 60 vs 50\n")) << shorter.Out;
    EXPECT_TRUE(Contains(shorter.Out, "The 50 frames that both hold are equal.\n"));
}

TEST_F(TsmtrialCommand, CorruptAndMissingFilesReportTheReadersErrorsAndExitOne)
{
    // A version the reader refuses.
    const std::string future = m_Dir.File("future.x2d");
    std::filesystem::copy_file(m_X2D, future);
    testsupport::PatchFile(future, 0, 9, 4);
    const VResult text = RunTool({"info", future});
    EXPECT_EQ(text.Code, 1);
    EXPECT_EQ(text.Out, "");
    EXPECT_TRUE(Contains(text.Err, "Cannot read X2D files of version 9.")) << text.Err;
    const VResult json = RunTool({"info", future, "--json"});
    EXPECT_EQ(json.Code, 1);
    const TestJson::VValue info = ParseJson(json.Out);
    EXPECT_FALSE(info["opened"].Boolean);
    ASSERT_EQ(info["errors"].Items.size(), 1u);
    EXPECT_EQ(info["errors"][0].Text, "Cannot read X2D files of version 9.");

    // A FrameCount that disagrees with the index: two messages, in order.
    const std::string wrongCount = m_Dir.File("count.x2d");
    std::filesystem::copy_file(m_X2D, wrongCount);
    VX2DImport import;
    ASSERT_TRUE(import.Open(m_X2D, false));
    testsupport::PatchFile(wrongCount, import.GetImpl().GetFrameCountPosition(), 0, 4);
    const TestJson::VValue counted = ParseJson(RunTool({"info", wrongCount, "--json"}).Out);
    ASSERT_EQ(counted["errors"].Items.size(), 2u);
    EXPECT_EQ(counted["errors"][0].Text, "Invalid file header (number of frames).");
    EXPECT_EQ(counted["errors"][1].Text, "Corrupt file (index table wrong length).");
    EXPECT_EQ(RunTool({"dump", wrongCount, "--frame", "0"}).Code, 1);
    EXPECT_EQ(RunTool({"diff", m_X2D, wrongCount}).Code, 1);

    // A lost index is rebuilt: the file opens, and info shows the message.
    const std::string noIndex = m_Dir.File("noindex.x1d");
    std::filesystem::copy_file(m_X1D, noIndex);
    VX1DImport analogue;
    ASSERT_TRUE(analogue.Open(m_X1D));
    testsupport::PatchFile(noIndex, analogue.GetImpl().GetIndexOffsetPosition(), ~0ull, 8);
    const VResult rebuilt = RunTool({"info", noIndex, "--json"});
    EXPECT_EQ(rebuilt.Code, 0);
    const TestJson::VValue rebuiltInfo = ParseJson(rebuilt.Out);
    EXPECT_TRUE(rebuiltInfo["index_rebuilt"].Boolean);
    EXPECT_EQ(rebuiltInfo["frames"].Number, 60);
    EXPECT_EQ(rebuiltInfo["errors"][0].Text, "Could not find the index table in the file.");

    // A file that is not there.
    const VResult missing = RunTool({"info", m_Dir.File("absent.x2d")});
    EXPECT_EQ(missing.Code, 1);
    EXPECT_TRUE(Contains(missing.Err, "No such file or directory")) << missing.Err;
    EXPECT_EQ(RunTool({"dump", m_Dir.File("absent.x1d"), "--frame", "0"}).Code, 1);
    EXPECT_EQ(RunTool({"diff", m_X2D, m_Dir.File("absent.x2d")}).Code, 1);

    // A FIFO, whose open would wait for a writer for ever: refused at once, and why.
    const std::string fifo = m_Dir.File("fifo.x2d");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const VResult special = RunTool({"info", fifo});
    EXPECT_EQ(special.Code, 1);
    EXPECT_TRUE(Contains(special.Err, "it is not a regular file")) << special.Err;
    EXPECT_EQ(RunTool({"info", m_Dir.File("fifo.x2d"), "--kind", "x1d"}).Code, 1);
}

TEST_F(TsmtrialCommand, BadArgumentsPrintTheUsageAndExitTwo)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", m_X2D, m_X1D},
        {"info", m_X2D, "--colour"},
        {"info", m_Dir.File("trial.txt")},
        {"info", m_X2D, "--kind", "x3d"},
        {"info", m_X2D, "--json=yes"},
        {"dump", m_X2D},
        {"dump", m_X2D, "--frame"},
        {"dump", m_X2D, "--frame", "-1"},
        {"dump", m_X2D, "--frame", "1x"},
        {"dump", m_X2D, "--frame", "1", "--frame", "2"},
        {"generate"},
        {"generate", m_Dir.File("out.bin")},
        {"generate", m_Dir.File("out.x2d"), "--channels", "4"},
        {"generate", m_Dir.File("out.x1d"), "--model", "Zt-M4"},
        {"generate", m_Dir.File("out.x2d"), "--cameras", "0"},
        {"generate", m_Dir.File("out.x2d"), "--rate", "fast"},
        {"generate", m_Dir.File("out.x2d"), "--rate", "inf"},
        {"generate", m_Dir.File("out.x2d"), "--version", "4"},
        {"generate", m_Dir.File("out.x2d"), "--model", "Zt-Q9"},
        {"generate", m_Dir.File("out.x2d"), "--timecode", "noon"},
        {"generate", m_Dir.File("out.x1d"), "--header-value", "big"},
        {"generate", m_Dir.File("out.x1d"), "--version", "3"},
        {"diff", m_X2D},
    };
    for (const std::vector<std::string>& arguments : bad)
    {
        std::string line;
        for (const std::string& argument : arguments)
        {
            line += argument + " ";
        }
        SCOPED_TRACE(line);
        const VResult result = RunTool(arguments);
        EXPECT_EQ(result.Code, 2);
        EXPECT_EQ(result.Out, "");
        EXPECT_TRUE(Contains(result.Err, "tsmtrial: ")) << result.Err;
        EXPECT_TRUE(Contains(result.Err, "Usage:\n"));
    }
    // Nothing was written by the refused generate commands.
    EXPECT_EQ(m_Dir.Names().size(), 2u);

    // Help goes to standard output.
    const VResult help = RunTool({"--help"});
    EXPECT_EQ(help.Code, 0);
    EXPECT_TRUE(Contains(help.Out, "Usage:\n"));
    EXPECT_EQ(RunTool({"generate", "--help"}).Code, 0);
    // --version names the program; after generate it is the file version.
    const VResult version = RunTool({"--version"});
    EXPECT_EQ(version.Code, 0);
    EXPECT_EQ(version.Out.rfind("tsmtrial ", 0), 0u) << version.Out;
}

TEST_F(TsmtrialCommand, GenerateHonoursItsOptionsAndEveryVersionOpens)
{
    for (const std::string version : {"1", "2", "3"})
    {
        const std::string path = m_Dir.File("v" + version + ".x2d");
        const VResult result =
            RunTool({"generate", path, "--version", version, "--cameras", "2", "--frames", "12",
                     "--model=CellA", "--markers", "3", "--rate", "50", "--timecode", "none",
                     "--seed", "99", "--first-frame", "500"});
        ASSERT_EQ(result.Code, 0) << result.Err;
        EXPECT_TRUE(Contains(result.Out, "Wrote " + path)) << result.Out;
        VX2DImport import;
        ASSERT_TRUE(import.Open(path, false)) << version;
        EXPECT_EQ(import.GetImpl().GetVersion(), std::stoi(version));
        EXPECT_EQ(import.GetDeviceCount(), 2u);
        EXPECT_EQ(import.GetFrameCount(), 12u);
        EXPECT_EQ(import.GetFrameNumber(0), 500u);
        EXPECT_EQ(import.GetFrameRate(), 50.0);
        VTimecode timecode;
        EXPECT_FALSE(import.GetStartTimecode(timecode));
        std::vector<CameraInfoRecord> cameras;
        double rate = 0.0;
        import.GetCameraInfo(cameras, rate);
        ASSERT_EQ(cameras.size(), 2u);
        EXPECT_EQ(cameras[1].TypeName, "CellA");
        EXPECT_EQ(cameras[1].SensorWidth, 1120u);
    }
    for (const std::string version : {"1", "2"})
    {
        const std::string path = m_Dir.File("v" + version + ".x1d");
        const VResult result = RunTool({"generate", path, "--version", version, "--channels", "2",
                                        "--sample-rate", "2000", "--header-value", "-5"});
        ASSERT_EQ(result.Code, 0) << result.Err;
        VX1DImport import;
        ASSERT_TRUE(import.Open(path)) << version;
        EXPECT_EQ(import.GetImpl().GetVersion(), std::stoi(version));
        EXPECT_EQ(import.GetHeaderValue(), -5);
        VAnalogueBlockFrame frame;
        ASSERT_TRUE(import.ReadFrame(0, &frame));
        ASSERT_EQ(frame.GetSetDirect(0)->Count(), 2u);
        const IAnalogueBlockData* block = nullptr;
        ASSERT_TRUE(frame.GetSetDirect(0)->GetItemData(1, &block));
        EXPECT_EQ(block->Size, 40u); // 20 samples of 2 bytes
    }

    // Centroids and tracks only, for X2D files only.
    {
        const std::string path = m_Dir.File("centroids.x2d");
        const VResult result = RunTool({"generate", path, "--centroids-only", "--frames", "5"});
        ASSERT_EQ(result.Code, 0) << result.Err;
        EXPECT_TRUE(Contains(result.Out, "(centroids and tracks only)")) << result.Out;
        VX2DImport import;
        ASSERT_TRUE(import.Open(path, false));
        EXPECT_EQ(import.GetImpl().GetFormats().size(), 2u);
        const VResult refused =
            RunTool({"generate", m_Dir.File("refused.x1d"), "--centroids-only"});
        EXPECT_EQ(refused.Code, 2);
        EXPECT_TRUE(Contains(refused.Err, "--centroids-only applies to X2D files only"))
            << refused.Err;
    }

    // The same command twice gives the same bytes.
    ASSERT_EQ(RunTool({"generate", m_Dir.File("again.x2d"), "--frames", "60"}).Code, 0);
    EXPECT_EQ(testsupport::ReadBytes(m_X2D), testsupport::ReadBytes(m_Dir.File("again.x2d")));
}

TEST(TsmtrialReport, NamesThatAreNotUtf8LeaveTheJsonValid)
{
    VTrialInfo info;
    info.Opened = true;
    info.Cameras.resize(1);
    info.Cameras[0].TypeName = "Zt\xFF";
    info.CameraNames = {"cam\xE9ra"}; // Latin-1, as an old file may hold
    std::string text;
    ASSERT_NO_THROW(text = TrialReport::InfoJson(info));
    TestJson::VValue json;
    ASSERT_TRUE(TestJson::VParser(text).Parse(json)) << text;
    EXPECT_EQ(json["cameras"][0]["name"].Text, "cam\xEF\xBF\xBDra");
    EXPECT_EQ(json["cameras"][0]["type"].Text, "Zt\xEF\xBF\xBD");
}
