#include "tsmtrial/VTrialDiff.h"

#include "tsmtrial/TrialReport.h"
#include "tsmtrial/NumberText.h"

#include <algorithm>

namespace
{

std::string Number(double value)
{
    return NumberText::Shortest(value);
}

std::string Versus(const std::string& first, const std::string& second)
{
    return (first.empty() ? "(none)" : first) + " vs " + (second.empty() ? "(none)" : second);
}

template <typename T> std::string Versus(T first, T second)
{
    return std::to_string(first) + " vs " + std::to_string(second);
}

std::string Versus(double first, double second)
{
    return Number(first) + " vs " + Number(second);
}

std::string Versus(float first, float second)
{
    return NumberText::Shortest(first) + " vs " + NumberText::Shortest(second);
}

/// Sets `difference` to "what: a vs b" when the values differ; true when they do.
template <typename T>
bool Differs(const char* what, const T& first, const T& second, std::string& difference)
{
    if (first == second)
    {
        return false;
    }
    difference = std::string(what) + ": " + Versus(first, second);
    return true;
}

std::string CountDifference(const char* what, std::size_t first, std::size_t second)
{
    return std::string("number of ") + what + ": " + Versus(first, second);
}

std::string CompareCentroids(const std::vector<ICentroidData>& a,
                             const std::vector<ICentroidData>& b)
{
    if (a.size() != b.size())
    {
        return CountDifference("centroids", a.size(), b.size());
    }
    std::string difference;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (Differs("x", a[i].X, b[i].X, difference) || Differs("y", a[i].Y, b[i].Y, difference) ||
            Differs("radius", a[i].Radius, b[i].Radius, difference) ||
            Differs("fraction", a[i].Fraction, b[i].Fraction, difference))
        {
            return "centroid " + std::to_string(i) + " " + difference;
        }
    }
    return {};
}

std::string CompareTracks(const std::vector<ICentroidTrackData>& a,
                          const std::vector<ICentroidTrackData>& b)
{
    if (a.size() != b.size())
    {
        return CountDifference("tracks", a.size(), b.size());
    }
    std::string difference;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (Differs("id", a[i].Id, b[i].Id, difference) ||
            Differs("length", a[i].Length, b[i].Length, difference) ||
            Differs("confidence", a[i].Confidence, b[i].Confidence, difference))
        {
            return "track " + std::to_string(i) + " " + difference;
        }
    }
    return {};
}

std::string CompareBlobs(const std::vector<VTrialBlob>& a, const std::vector<VTrialBlob>& b)
{
    if (a.size() != b.size())
    {
        return CountDifference("blobs", a.size(), b.size());
    }
    std::string difference;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        const std::string blob = "blob " + std::to_string(i) + " ";
        if (Differs("flag", unsigned{a[i].Flag}, unsigned{b[i].Flag}, difference))
        {
            return blob + difference;
        }
        if (a[i].Lines.size() != b[i].Lines.size())
        {
            return blob + CountDifference("lines", a[i].Lines.size(), b[i].Lines.size());
        }
        for (std::size_t l = 0; l < a[i].Lines.size(); ++l)
        {
            const VTrialLine& la = a[i].Lines[l];
            const VTrialLine& lb = b[i].Lines[l];
            if (Differs("column", unsigned{la.Column}, unsigned{lb.Column}, difference) ||
                Differs("line", unsigned{la.Line}, unsigned{lb.Line}, difference) ||
                Differs("pixel count", la.Pixels.size(), lb.Pixels.size(), difference))
            {
                return blob + "line " + std::to_string(l) + " " + difference;
            }
            const auto mismatch =
                std::mismatch(la.Pixels.begin(), la.Pixels.end(), lb.Pixels.begin());
            if (mismatch.first != la.Pixels.end())
            {
                return blob + "line " + std::to_string(l) + " pixel " +
                       std::to_string(mismatch.first - la.Pixels.begin()) + ": " +
                       Versus(unsigned{*mismatch.first}, unsigned{*mismatch.second});
            }
        }
    }
    return {};
}

std::string CompareEdges(const std::vector<IEdgePairData>& a, const std::vector<IEdgePairData>& b)
{
    if (a.size() != b.size())
    {
        return CountDifference("edges", a.size(), b.size());
    }
    std::string difference;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (Differs("c0", unsigned{a[i].Coord0}, unsigned{b[i].Coord0}, difference) ||
            Differs("c1", unsigned{a[i].Coord1}, unsigned{b[i].Coord1}, difference) ||
            Differs("c2", unsigned{a[i].Coord2}, unsigned{b[i].Coord2}, difference))
        {
            return "edge " + std::to_string(i) + " " + difference;
        }
    }
    return {};
}

std::string CompareCamera(const VTrialCameraFrame& a, const VTrialCameraFrame& b)
{
    std::string difference;
    if (Differs("name", a.Name, b.Name, difference) ||
        Differs("camera value", a.CameraValue, b.CameraValue, difference) ||
        Differs("info byte", unsigned{a.InfoByte}, unsigned{b.InfoByte}, difference))
    {
        return difference;
    }
    for (const std::string& found :
         {CompareCentroids(a.Centroids, b.Centroids), CompareTracks(a.Tracks, b.Tracks),
          CompareBlobs(a.Blobs, b.Blobs), CompareEdges(a.Edges, b.Edges)})
    {
        if (!found.empty())
        {
            return found;
        }
    }
    return {};
}

std::string CompareDevice(const VTrialDeviceFrame& a, const VTrialDeviceFrame& b)
{
    if (a.Blocks.size() != b.Blocks.size())
    {
        return CountDifference("blocks", a.Blocks.size(), b.Blocks.size());
    }
    for (std::size_t i = 0; i < a.Blocks.size(); ++i)
    {
        const std::string block = "block " + std::to_string(i) + " ";
        if (a.Blocks[i].size() != b.Blocks[i].size())
        {
            return block + "size: " + Versus(a.Blocks[i].size(), b.Blocks[i].size());
        }
        const auto mismatch =
            std::mismatch(a.Blocks[i].begin(), a.Blocks[i].end(), b.Blocks[i].begin());
        if (mismatch.first != a.Blocks[i].end())
        {
            return block + "byte " + std::to_string(mismatch.first - a.Blocks[i].begin()) + ": " +
                   Versus(unsigned{*mismatch.first}, unsigned{*mismatch.second});
        }
    }
    return {};
}

std::string CameraDifference(std::size_t c, const CameraInfoRecord& a, const CameraInfoRecord& b)
{
    std::string difference;
    const bool differs =
        Differs("id", a.CameraId, b.CameraId, difference) ||
        Differs("type", a.TypeName, b.TypeName, difference) ||
        Differs("sensor width", a.SensorWidth, b.SensorWidth, difference) ||
        Differs("sensor height", a.SensorHeight, b.SensorHeight, difference) ||
        Differs("camera value", a.CameraValue, b.CameraValue, difference) ||
        Differs("value of key 0xAA03", a.RealAA03, b.RealAA03, difference) ||
        Differs("value of key 0xAA07", a.UnsignedAA07, b.UnsignedAA07, difference) ||
        Differs("value of key 0xAA09", a.UnsignedAA09, b.UnsignedAA09, difference) ||
        Differs("text of key 0xAA12", a.TextAA12, b.TextAA12, difference);
    if (!differs && a.GroupsAA10 != b.GroupsAA10)
    {
        difference = "numbers of key 0xAA10 differ";
    }
    return difference.empty() ? "" : "camera " + std::to_string(c) + " " + difference;
}

std::string SourceSetDifference(std::size_t s, const VAnalogueSourceSetSpec& a,
                                const VAnalogueSourceSetSpec& b)
{
    std::string difference;
    const bool differs =
        Differs("value", a.Value, b.Value, difference) ||
        Differs("first text", a.FirstText.Str(), b.FirstText.Str(), difference) ||
        Differs("second text", a.SecondText.Str(), b.SecondText.Str(), difference) ||
        Differs("first real", a.Reals[0], b.Reals[0], difference) ||
        Differs("second real", a.Reals[1], b.Reals[1], difference) ||
        Differs("third real", a.Reals[2], b.Reals[2], difference);
    if (!differs && a.Sources != b.Sources)
    {
        difference = "sources: " + Versus(a.Sources.size(), b.Sources.size()) +
                     (a.Sources.size() == b.Sources.size() ? " with different values" : "");
    }
    return difference.empty() ? "" : "source set " + std::to_string(s) + " " + difference;
}

} // namespace

std::vector<std::string> VTrialDiff::CompareInfo(const VTrialInfo& a, const VTrialInfo& b,
                                                 std::vector<std::string>& notes)
{
    std::vector<std::string> differences;
    std::string difference;
    if (Differs("kind", std::string(TrialKindName(a.Kind)), std::string(TrialKindName(b.Kind)),
                difference))
    {
        differences.push_back(difference);
        return differences;
    }
    if (Differs("version", a.Version, b.Version, difference))
    {
        notes.push_back(difference);
    }
    if (a.Formats != b.Formats || a.FrameInfoFormat != b.FrameInfoFormat)
    {
        notes.push_back("header formats differ");
    }
    if (Differs("devices", a.DeviceCount, b.DeviceCount, difference))
    {
        differences.push_back(difference);
    }
    if (Differs("frames", a.FrameCount, b.FrameCount, difference))
    {
        differences.push_back(difference);
    }
    if (Differs("first frame number", a.FirstFrame, b.FirstFrame, difference))
    {
        differences.push_back(difference);
    }
    const double rateA = a.FrameRate.value_or(0.0);
    const double rateB = b.FrameRate.value_or(0.0);
    if (Differs("frame rate", rateA, rateB, difference))
    {
        differences.push_back(difference);
    }
    if (Differs("start timecode", a.StartTimecodeText, b.StartTimecodeText, difference))
    {
        differences.push_back(difference);
    }
    if (Differs("cameras", a.Cameras.size(), b.Cameras.size(), difference))
    {
        differences.push_back(difference);
    }
    for (std::size_t c = 0; c < std::min(a.Cameras.size(), b.Cameras.size()); ++c)
    {
        difference = CameraDifference(c, a.Cameras[c], b.Cameras[c]);
        if (!difference.empty())
        {
            differences.push_back(difference);
        }
    }
    if (Differs("header value", a.HeaderValue.value_or(0), b.HeaderValue.value_or(0), difference))
    {
        differences.push_back(difference);
    }
    if (Differs("source sets", a.SourceSets.size(), b.SourceSets.size(), difference))
    {
        differences.push_back(difference);
    }
    for (std::size_t s = 0; s < std::min(a.SourceSets.size(), b.SourceSets.size()); ++s)
    {
        difference = SourceSetDifference(s, a.SourceSets[s], b.SourceSets[s]);
        if (!difference.empty())
        {
            differences.push_back(difference);
        }
    }
    return differences;
}

std::string VTrialDiff::CompareFrames(const VTrialFrame& a, const VTrialFrame& b)
{
    std::string difference;
    if (Differs("frame number", a.FrameNumber, b.FrameNumber, difference) ||
        Differs("read result", std::string(a.Ok ? "ok" : "failed"),
                std::string(b.Ok ? "ok" : "failed"), difference))
    {
        return difference;
    }
    if (a.Cameras.size() != b.Cameras.size())
    {
        return CountDifference("cameras", a.Cameras.size(), b.Cameras.size());
    }
    for (std::size_t c = 0; c < a.Cameras.size(); ++c)
    {
        difference = CompareCamera(a.Cameras[c], b.Cameras[c]);
        if (!difference.empty())
        {
            const std::string& name = a.Cameras[c].Name;
            return "camera " + std::to_string(c) + (name.empty() ? "" : " (" + name + ")") + ": " +
                   difference;
        }
    }
    if (a.Devices.size() != b.Devices.size())
    {
        return CountDifference("devices", a.Devices.size(), b.Devices.size());
    }
    for (std::size_t d = 0; d < a.Devices.size(); ++d)
    {
        difference = CompareDevice(a.Devices[d], b.Devices[d]);
        if (!difference.empty())
        {
            return "device " + std::to_string(d) + ": " + difference;
        }
    }
    return {};
}

VTrialDiffResult VTrialDiff::Compare(ITrialReader& first, ITrialReader& second)
{
    VTrialDiffResult result;
    result.HeaderDifferences = CompareInfo(first.GetInfo(), second.GetInfo(), result.Notes);
    if (first.GetKind() != second.GetKind())
    {
        return result;
    }
    const std::uint32_t frames = std::min(first.GetFrameCount(), second.GetFrameCount());
    VTrialFrame a;
    VTrialFrame b;
    for (std::uint32_t i = 0; i < frames; ++i)
    {
        first.ReadFrame(i, a);
        second.ReadFrame(i, b);
        ++result.FramesCompared;
        std::string difference = CompareFrames(a, b);
        if (!difference.empty())
        {
            result.FirstFrameIndex = i;
            result.FrameDifference = std::move(difference);
            break;
        }
    }
    return result;
}
