#include "tsmtrial/VReplayDiff.h"

#include "FileIO/AnalogueResampling.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace
{

/// A value as the camera stream encodes it: times `scale`, truncated toward zero, low 32
/// bits (NaN and infinities give 0).
std::int64_t Wire(double value, double scale)
{
    const double scaled = std::trunc(value * scale);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.0e18)
        return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled)));
}

/// A recorded value back at the wire's fixed point: recordings store exactly the fixed
/// point, other writers may have rounded it a little.
std::int64_t Recorded(double value, double scale)
{
    return std::llround(value * scale);
}

std::string Versus(std::int64_t source, std::int64_t recorded)
{
    return std::to_string(source) + " vs " + std::to_string(recorded);
}

bool IsEmpty(const VTrialCameraFrame& camera)
{
    return camera.Centroids.empty() && camera.Tracks.empty() && camera.Edges.empty() &&
           std::all_of(camera.Blobs.begin(), camera.Blobs.end(),
                       [](const VTrialBlob& blob) { return blob.Lines.empty(); });
}

std::string CompareCentroids(const VTrialCameraFrame& source, const VTrialCameraFrame& recorded)
{
    if (source.Centroids.size() != recorded.Centroids.size())
        return "number of centroids: " +
               Versus(static_cast<std::int64_t>(source.Centroids.size()),
                      static_cast<std::int64_t>(recorded.Centroids.size()));
    for (std::size_t i = 0; i < source.Centroids.size(); ++i)
    {
        const ICentroidData& a = source.Centroids[i];
        const ICentroidData& b = recorded.Centroids[i];
        const std::pair<const char*, std::pair<std::int64_t, std::int64_t>> fields[] = {
            {"x", {Wire(a.X, 256.0), Recorded(b.X, 256.0)}},
            {"y", {Wire(a.Y, 256.0), Recorded(b.Y, 256.0)}},
            {"radius", {Wire(a.Radius, 256.0), Recorded(b.Radius, 256.0)}},
            {"fraction", {Wire(a.Fraction, 256.0) & 0xFFFF, Recorded(b.Fraction, 256.0) & 0xFFFF}},
        };
        for (const auto& [name, values] : fields)
        {
            if (values.first != values.second)
                return "centroid " + std::to_string(i) + " " + name + ": " +
                       Versus(values.first, values.second) + " (1/256)";
        }
    }
    return {};
}

std::string CompareTracks(const VTrialCameraFrame& source, const VTrialCameraFrame& recorded)
{
    if (recorded.Tracks.empty())
        return {};
    if (source.Tracks.size() != recorded.Tracks.size())
        return "number of tracks: " + Versus(static_cast<std::int64_t>(source.Tracks.size()),
                                             static_cast<std::int64_t>(recorded.Tracks.size()));
    for (std::size_t i = 0; i < source.Tracks.size(); ++i)
    {
        const ICentroidTrackData& a = source.Tracks[i];
        const ICentroidTrackData& b = recorded.Tracks[i];
        const std::string where = "track " + std::to_string(i) + " ";
        if (a.Id != b.Id)
            return where + "id: " + Versus(a.Id, b.Id);
        if ((a.Length & 0xFFFFu) != (b.Length & 0xFFFFu))
            return where + "length: " + Versus(a.Length & 0xFFFFu, b.Length & 0xFFFFu);
        const std::int64_t confidence = Wire(a.Confidence, 65535.0) & 0xFFFF;
        if (confidence != (Recorded(b.Confidence, 65535.0) & 0xFFFF))
            return where +
                   "confidence: " + Versus(confidence, Recorded(b.Confidence, 65535.0) & 0xFFFF) +
                   " (1/65535)";
    }
    return {};
}

std::string CompareLine(const std::string& where, const VTrialLine& a, const VTrialLine& b)
{
    if (a.Column != b.Column || a.Line != b.Line)
        return where + "position: (" + std::to_string(a.Column) + ", " + std::to_string(a.Line) +
               ") vs (" + std::to_string(b.Column) + ", " + std::to_string(b.Line) + ")";
    if (a.Pixels != b.Pixels)
        return where + "pixels differ";
    return {};
}

std::string CompareEdges(const std::vector<IEdgePairData>& a, const std::vector<IEdgePairData>& b)
{
    if (a.size() != b.size())
        return "number of edges: " +
               Versus(static_cast<std::int64_t>(a.size()), static_cast<std::int64_t>(b.size()));
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (a[i].Coord0 != b[i].Coord0 || a[i].Coord1 != b[i].Coord1 || a[i].Coord2 != b[i].Coord2)
            return "edge " + std::to_string(i) + ": (" + std::to_string(a[i].Coord0) + ", " +
                   std::to_string(a[i].Coord1) + ", " + std::to_string(a[i].Coord2) + ") vs (" +
                   std::to_string(b[i].Coord0) + ", " + std::to_string(b[i].Coord1) + ", " +
                   std::to_string(b[i].Coord2) + ")";
    }
    return {};
}

/// Protocol 1: the blobs that have segments, in order, flag and segments each.
std::string CompareBlobs(const VTrialCameraFrame& source, const VTrialCameraFrame& recorded)
{
    std::vector<const VTrialBlob*> sent;
    for (const VTrialBlob& blob : source.Blobs)
    {
        if (!blob.Lines.empty())
            sent.push_back(&blob);
    }
    if (sent.size() != recorded.Blobs.size())
        return "number of blobs with segments: " +
               Versus(static_cast<std::int64_t>(sent.size()),
                      static_cast<std::int64_t>(recorded.Blobs.size()));
    for (std::size_t i = 0; i < sent.size(); ++i)
    {
        const VTrialBlob& a = *sent[i];
        const VTrialBlob& b = recorded.Blobs[i];
        const std::string where = "blob " + std::to_string(i) + " ";
        if ((a.Flag != 0 ? 1 : 0) != b.Flag)
            return where + "flag: " + Versus(a.Flag != 0 ? 1 : 0, b.Flag);
        if (a.Lines.size() != b.Lines.size())
            return where + "number of segments: " +
                   Versus(static_cast<std::int64_t>(a.Lines.size()),
                          static_cast<std::int64_t>(b.Lines.size()));
        for (std::size_t l = 0; l < a.Lines.size(); ++l)
        {
            const std::string difference =
                CompareLine(where + "segment " + std::to_string(l) + " ", a.Lines[l], b.Lines[l]);
            if (!difference.empty())
                return difference;
        }
    }
    return CompareEdges(source.Edges, recorded.Edges);
}

/// Protocol 2: every segment, and every edge, in line-then-column order (stable).
std::string CompareLineOrdered(const VTrialCameraFrame& source, const VTrialCameraFrame& recorded)
{
    std::vector<const VTrialLine*> sent;
    for (const VTrialBlob& blob : source.Blobs)
    {
        for (const VTrialLine& line : blob.Lines)
            sent.push_back(&line);
    }
    std::stable_sort(sent.begin(), sent.end(),
                     [](const VTrialLine* a, const VTrialLine* b)
                     { return a->Line != b->Line ? a->Line < b->Line : a->Column < b->Column; });
    std::vector<const VTrialLine*> received;
    for (const VTrialBlob& blob : recorded.Blobs)
    {
        for (const VTrialLine& line : blob.Lines)
            received.push_back(&line);
    }
    if (sent.size() != received.size())
        return "number of segments: " + Versus(static_cast<std::int64_t>(sent.size()),
                                               static_cast<std::int64_t>(received.size()));
    for (std::size_t i = 0; i < sent.size(); ++i)
    {
        const std::string difference =
            CompareLine("segment " + std::to_string(i) + " ", *sent[i], *received[i]);
        if (!difference.empty())
            return difference;
    }
    std::vector<IEdgePairData> edges = source.Edges;
    std::stable_sort(edges.begin(), edges.end(),
                     [](const IEdgePairData& a, const IEdgePairData& b)
                     { return a.Coord1 != b.Coord1 ? a.Coord1 < b.Coord1 : a.Coord0 < b.Coord0; });
    return CompareEdges(edges, recorded.Edges);
}

} // namespace

bool VReplayDiff::IsLineOrderedGreyscale(const std::string& deviceType)
{
    // The camera models whose "ProtocolVersion" is 2.
    static const char* const kProtocol2Types[] = {
        "WREN_MOCAP_VGA",     "WREN_VIDEO_VGA",   "WREN_2_MOCAP_1MP", "WREN_2_VIDEO_1MP",
        "WREN_2_VIDEO_1MP_C", "WREN_2_VIDEO_VGA", "WREN_2_MOCAP_VGA"};
    return std::find_if(std::begin(kProtocol2Types), std::end(kProtocol2Types),
                        [&](const char* type)
                        { return deviceType == type; }) != std::end(kProtocol2Types);
}

std::string VReplayDiff::CompareCamera(const VTrialCameraFrame& source,
                                       const VTrialCameraFrame& recorded, bool lineOrdered)
{
    std::string difference = CompareCentroids(source, recorded);
    if (difference.empty())
        difference = CompareTracks(source, recorded);
    if (difference.empty())
        difference =
            lineOrdered ? CompareLineOrdered(source, recorded) : CompareBlobs(source, recorded);
    return difference;
}

namespace
{
/// Counts one recorded frame as different (keeping the first difference), skipped or
/// compared.
void Tally(VReplayDiffResult& result, std::uint32_t index, std::uint32_t frameNumber,
           std::uint32_t sourceIndex, const std::string& difference, bool skipped)
{
    if (!difference.empty())
    {
        ++result.FramesDifferent;
        if (!result.FirstIndex)
        {
            result.FirstIndex = index;
            result.FirstFrameNumber = frameNumber;
            result.FirstSourceIndex = sourceIndex;
            result.FirstDifference = difference;
        }
    }
    else if (skipped)
        ++result.FramesSkipped;
    else
        ++result.FramesCompared;
}

AnalogueResampling::VChannel ChannelOf(const VTrialFrame& frame, std::size_t channel)
{
    if (frame.Devices.empty() || channel >= frame.Devices.front().Blocks.size())
        return {};
    const std::vector<std::uint8_t>& block = frame.Devices.front().Blocks[channel];
    if (block.size() < 2)
        return {};
    return {block.data(), static_cast<std::uint32_t>(block.size() / 2)};
}

/// The first difference of one recorded analogue device's frame from the samples the replay
/// computes from `current` and `next`; `compared` counts the channels compared.
std::string CompareAnalogueDevice(const VTrialDeviceFrame& recorded, const VTrialFrame& current,
                                  const VTrialFrame& next, std::uint32_t& compared)
{
    for (std::size_t c = 0; c < recorded.Blocks.size(); ++c)
    {
        const std::vector<std::uint8_t>& block = recorded.Blocks[c];
        if (block.empty())
            continue;
        const std::string where = "channel " + std::to_string(c) + " ";
        if (block.size() % 2 != 0)
            return where + "holds " + std::to_string(block.size()) + " bytes, not whole samples";
        const auto count = static_cast<std::uint32_t>(block.size() / 2);
        const AnalogueResampling::VChannel received{block.data(), count};
        const AnalogueResampling::VChannel here = ChannelOf(current, c);
        const AnalogueResampling::VChannel after = ChannelOf(next, c);
        for (std::uint32_t i = 0; i < count; ++i)
        {
            const std::int16_t expected = AnalogueResampling::Resample(here, after, i, count);
            if (expected != received.At(i))
                return where + "sample " + std::to_string(i) + " of " + std::to_string(count) +
                       ": " + Versus(expected, received.At(i));
        }
        ++compared;
    }
    return {};
}
} // namespace

VReplayDiffResult VReplayDiff::CompareAnalogue(ITrialReader& source, ITrialReader& recording)
{
    VReplayDiffResult result;
    result.SkipReason = "no analogue samples in the frame";
    const VTrialInfo sourceInfo = source.GetInfo();
    const VTrialInfo recordedInfo = recording.GetInfo();
    // The replaying unit repeats the frames its index holds, at most the header's count.
    const std::uint32_t sourceFrames = std::min(sourceInfo.FrameCount, source.GetFrameCount());
    result.FramesRecorded = recording.GetFrameCount();
    if (sourceFrames == 0)
        result.Problems.push_back("the source trial has no frames to replay");
    if (sourceInfo.DeviceCount == 0)
        result.Problems.push_back("the source trial has no analogue device");
    if (recordedInfo.DeviceCount == 0)
        result.Problems.push_back("the recording holds no analogue device");
    if (sourceInfo.DeviceCount > 1)
        result.Notes.push_back("only the source's first analogue device is replayed; the "
                               "recording is compared with it");
    if (!result.Problems.empty())
        return result;

    VTrialFrame recordedFrame;
    VTrialFrame current;
    VTrialFrame next;
    constexpr std::int64_t none = -1;
    std::int64_t currentIndex = none; // the source frames in `current` and `next`
    std::int64_t nextIndex = none;
    for (std::uint32_t index = 0; index < result.FramesRecorded; ++index)
    {
        std::string difference;
        std::uint32_t compared = 0;
        const bool readRecorded = recording.ReadFrame(index, recordedFrame);
        const std::uint32_t sourceIndex = recordedFrame.FrameNumber % sourceFrames;
        const std::uint32_t following = (sourceIndex + 1) % sourceFrames;
        if (nextIndex == sourceIndex && currentIndex != sourceIndex)
        {
            std::swap(current, next);
            std::swap(currentIndex, nextIndex);
        }
        if (!readRecorded)
            difference = "the recorded frame cannot be read";
        else if (currentIndex != sourceIndex && !source.ReadFrame(sourceIndex, current))
            difference = "source frame " + std::to_string(sourceIndex) + " cannot be read";
        else if (nextIndex != following && !source.ReadFrame(following, next))
            difference = "source frame " + std::to_string(following) + " cannot be read";
        if (difference.empty())
        {
            currentIndex = sourceIndex;
            nextIndex = following;
        }
        else
        {
            currentIndex = none;
            nextIndex = none;
        }
        for (std::size_t d = 0; difference.empty() && d < recordedFrame.Devices.size(); ++d)
        {
            const std::string device =
                CompareAnalogueDevice(recordedFrame.Devices[d], current, next, compared);
            if (!device.empty())
                difference = "device " + std::to_string(d) + " " + device;
        }
        Tally(result, index, recordedFrame.FrameNumber, sourceIndex, difference, compared == 0);
    }
    return result;
}

VReplayDiffResult VReplayDiff::Compare(ITrialReader& source, ITrialReader& recording)
{
    VReplayDiffResult result;
    if (source.GetKind() == TrialKind::X1D && recording.GetKind() == TrialKind::X1D)
        return CompareAnalogue(source, recording);
    if (source.GetKind() != TrialKind::X2D || recording.GetKind() != TrialKind::X2D)
    {
        result.Problems.push_back("a replay comparison needs two X2D trials or two X1D trials");
        return result;
    }
    const VTrialInfo sourceInfo = source.GetInfo();
    const VTrialInfo recordedInfo = recording.GetInfo();
    const std::uint32_t sourceFrames = source.GetFrameCount();
    result.FramesRecorded = recording.GetFrameCount();
    if (sourceFrames == 0)
        result.Problems.push_back("the source trial has no frames to replay");

    // Recorded camera r -> source camera index, by CameraId.
    std::map<std::uint32_t, std::size_t> sourceById;
    for (std::size_t s = 0; s < sourceInfo.Cameras.size(); ++s)
        sourceById.emplace(sourceInfo.Cameras[s].CameraId, s);
    std::vector<std::size_t> sourceOf(recordedInfo.Cameras.size());
    std::vector<bool> lineOrdered(recordedInfo.Cameras.size());
    std::vector<bool> recorded(sourceInfo.Cameras.size());
    for (std::size_t r = 0; r < recordedInfo.Cameras.size(); ++r)
    {
        const CameraInfoRecord& camera = recordedInfo.Cameras[r];
        const auto found = sourceById.find(camera.CameraId);
        if (found == sourceById.end())
        {
            result.Problems.push_back("recorded camera " + std::to_string(camera.CameraId) +
                                      " is not in the source trial");
            continue;
        }
        sourceOf[r] = found->second;
        recorded[found->second] = true;
        lineOrdered[r] = IsLineOrderedGreyscale(camera.TypeName) ||
                         IsLineOrderedGreyscale(sourceInfo.Cameras[found->second].TypeName);
    }
    for (std::size_t s = 0; s < recorded.size(); ++s)
    {
        if (!recorded[s])
            result.Notes.push_back("source camera " +
                                   std::to_string(sourceInfo.Cameras[s].CameraId) +
                                   " was not recorded");
    }
    if (recordedInfo.Cameras.empty())
        result.Problems.push_back("the recording holds no camera");
    if (!result.Problems.empty())
        return result;

    VTrialFrame sourceFrame;
    VTrialFrame recordedFrame;
    std::optional<std::uint32_t> loaded;
    for (std::uint32_t index = 0; index < result.FramesRecorded; ++index)
    {
        std::string difference;
        bool skipped = false;
        const bool readRecorded = recording.ReadFrame(index, recordedFrame);
        const std::uint32_t sourceIndex = recordedFrame.FrameNumber % sourceFrames;
        if (!readRecorded)
            difference = "the recorded frame cannot be read";
        else if (loaded != sourceIndex && !source.ReadFrame(sourceIndex, sourceFrame))
            difference = "source frame " + std::to_string(sourceIndex) + " cannot be read";
        else
            loaded = sourceIndex;
        // At trial frame 0 the replay has wrapped (or just started): it sends no data.
        const bool wrap = sourceIndex == 0 || sourceFrames == 1;
        for (std::size_t r = 0; difference.empty() && r < recordedFrame.Cameras.size(); ++r)
        {
            if (r >= sourceOf.size() || sourceOf[r] >= sourceFrame.Cameras.size())
            {
                difference = "camera " + std::to_string(r) + " is missing from the source frame";
                break;
            }
            const VTrialCameraFrame& sent = sourceFrame.Cameras[sourceOf[r]];
            const VTrialCameraFrame& received = recordedFrame.Cameras[r];
            if (wrap && IsEmpty(received) && !IsEmpty(sent))
            {
                skipped = true;
                continue;
            }
            const std::string camera = CompareCamera(sent, received, lineOrdered[r]);
            if (!camera.empty())
                difference =
                    "camera " + std::to_string(recordedInfo.Cameras[r].CameraId) + ": " + camera;
        }
        Tally(result, index, recordedFrame.FrameNumber, sourceIndex, difference, skipped);
    }
    return result;
}

int RunReplayDiff(ITrialReader& source, ITrialReader& recording, const std::string& sourcePath,
                  const std::string& recordingPath, const VTsmtrialConsole& console)
{
    const VReplayDiffResult result = VReplayDiff::Compare(source, recording);
    for (const std::string& note : result.Notes)
        console.Out << "Note: " << note << "\n";
    if (!result.Problems.empty())
    {
        console.Out << recordingPath << " cannot be compared with the replay of " << sourcePath
                    << ":\n";
        for (const std::string& problem : result.Problems)
            console.Out << "  " << problem << "\n";
        return Tsmtrial::kExitFailure;
    }
    console.Out << result.FramesRecorded << " recorded frames: " << result.FramesCompared
                << " compared, " << result.FramesSkipped << " skipped (" << result.SkipReason
                << "), " << result.FramesDifferent << " different.\n";
    if (result.FirstIndex)
    {
        console.Out << "First difference: recorded frame index " << *result.FirstIndex
                    << ", number " << result.FirstFrameNumber << " (source frame "
                    << result.FirstSourceIndex << "): " << result.FirstDifference << "\n";
    }
    if (result.IsEqual())
    {
        console.Out << "The recording matches the replay of " << sourcePath << ".\n";
        return Tsmtrial::kExitOk;
    }
    if (result.FramesCompared == 0 && result.FramesDifferent == 0)
        console.Out << "No frame was compared.\n";
    return Tsmtrial::kExitFailure;
}
