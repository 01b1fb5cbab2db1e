// Writes small X2D and X1D files, one of each shape the readers know, as the starting corpus
// of the trial-file fuzzer: tsm_trialfiles_seeds <folder>.
#include "FileIO/DefaultFormats.h"
#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX1DExport.h"
#include "FileIO/X2DIO/VX2DExport.h"

#include <cstdio>
#include <string>

namespace
{
void FillFrames(VCentroidFrame& centroids, VCentroidTrackFrame& tracks,
                VGreyscaleBlobFrame& greyscale, VEdgePairFrame& edges, std::uint32_t devices,
                std::uint32_t seed)
{
    centroids.Resize(devices);
    tracks.Resize(devices);
    greyscale.Resize(devices);
    edges.Resize(devices);
    for (std::uint32_t d = 0; d < devices; ++d)
    {
        centroids.GetSetDirect(d)->Resize(2);
        ICentroidData* c = nullptr;
        centroids.GetSetDirect(d)->GetItemData(1, &c);
        c->X = 10.0 + seed;
        c->Y = 5.0;
        c->Radius = 2.0;
        c->Fraction = 0.5;
        tracks.GetSetDirect(d)->Resize(2);
        edges.GetSetDirect(d)->Resize(1);
        std::uint8_t pixels[3] = {1, 2, static_cast<std::uint8_t>(seed)};
        IGreyscaleLineData line{4, 5, pixels, 3};
        greyscale.GetSetDirect(d)->Clear();
        greyscale.GetSetDirect(d)->AppendData(IGreyscaleBlobData{&line, 1, 1});
        greyscale.GetSetDirect(d)->SetInfoByte(static_cast<std::uint8_t>(seed));
    }
}

bool WriteX2D(const std::string& path, std::int32_t version, bool index, bool frameInfo)
{
    VX2DExportSettings settings;
    settings.Version = version;
    settings.WriteIndex = index;
    settings.WriteFrameInfoFormat = frameInfo;
    settings.SystemFrameRate = 100.0;
    settings.StartTimecode = "10 0 0 0 0 0 1 4";
    for (std::uint32_t id : {12u, 13u})
    {
        CameraInfoRecord camera;
        camera.CameraId = id;
        camera.SensorWidth = 64;
        camera.SensorHeight = 32;
        camera.TypeName = "T";
        camera.GroupsAA10 = {{1, 2, 3, 4, 5}};
        settings.Cameras.push_back(camera);
    }
    settings.ExtraHeaderBlocks = {{9, {1, 2, 3}}};
    VX2DExport writer;
    if (!writer.Open(path, settings))
    {
        return false;
    }
    for (std::uint32_t f = 0; f < 2; ++f)
    {
        VCentroidFrame centroids;
        VCentroidTrackFrame tracks;
        VGreyscaleBlobFrame greyscale;
        VEdgePairFrame edges;
        FillFrames(centroids, tracks, greyscale, edges, 2, f);
        writer.WriteFrame(f + 1, &centroids, &tracks, &greyscale, &edges);
    }
    return writer.Close();
}

bool WriteX1D(const std::string& path, std::int32_t version, bool index, bool headerValue)
{
    VX1DExportSettings settings;
    settings.Version = version;
    settings.WriteIndex = index;
    settings.DeviceCount = 2;
    if (headerValue)
    {
        settings.HeaderValue = 42;
    }
    VAnalogueSourceSetSpec set;
    set.FirstText.Assign("a");
    set.Sources = {{1}};
    settings.SourceSets = {set};
    VX1DExport writer;
    if (!writer.Open(path, settings))
    {
        return false;
    }
    for (std::uint32_t f = 0; f < 2; ++f)
    {
        VAnalogueBlockFrame frame;
        frame.Resize(2);
        std::uint8_t bytes[4] = {1, 2, 3, static_cast<std::uint8_t>(f)};
        frame.GetSetDirect(1)->AppendData(IAnalogueBlockData{bytes, 4});
        frame.GetSetDirect(1)->AppendData(IAnalogueBlockData{nullptr, 0});
        writer.WriteFrame(f + 1, &frame);
    }
    return writer.Close();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool written = true;
    for (std::int32_t version : {1, 2, 3})
    {
        written =
            WriteX2D(folder + "x2d-v" + std::to_string(version), version, true, true) && written;
    }
    written = WriteX2D(folder + "x2d-no-index", 3, false, true) && written;
    written = WriteX2D(folder + "x2d-no-frame-info", 3, true, false) && written;
    written = WriteX1D(folder + "x1d-v1", 1, true, false) && written;
    written = WriteX1D(folder + "x1d-v2-value", 2, true, true) && written;
    written = WriteX1D(folder + "x1d-no-index", 2, false, false) && written;
    if (!written)
    {
        std::fprintf(stderr, "could not write the corpus into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
