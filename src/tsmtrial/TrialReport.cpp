#include "tsmtrial/TrialReport.h"

#include "FileIO/DefaultFormats.h"
#include "cli/JsonText.h"
#include "tsmtrial/NumberText.h"

#include <cstdio>
#include <optional>
#include <sstream>

namespace
{

std::string Number(double value)
{
    return NumberText::Shortest(value);
}

std::string Number(float value)
{
    return NumberText::Shortest(value);
}

/// "Label" padded to the value column.
std::string Row(const std::string& label, const std::string& value)
{
    std::string line = label;
    line.append(label.size() < 16 ? 16 - label.size() : 1, ' ');
    return line + value + "\n";
}

/// `text` as a quoted string literal with escapes, so that odd bytes show.
std::string Quoted(const std::string& text)
{
    return VJson(text).dump(-1, ' ', false, VJson::error_handler_t::replace);
}

/// A JSON number for a single-precision value, as short as it prints.
VJson Float(float value)
{
    return JsonText::ShortestFloat(value);
}

template <typename T> VJson OrNull(const std::optional<T>& value)
{
    return value ? VJson(*value) : VJson(nullptr);
}

std::string ErrorLines(const std::vector<std::string>& errors)
{
    if (errors.empty())
    {
        return Row("Errors", "none");
    }
    std::string text = Row("Errors", std::to_string(errors.size()));
    for (const std::string& error : errors)
    {
        text += "  " + error + "\n";
    }
    return text;
}

} // namespace

namespace TrialReport
{

std::string FormatId(std::uint16_t formatId)
{
    char buffer[8];
    std::snprintf(buffer, sizeof(buffer), "0x%04X", static_cast<unsigned>(formatId));
    return buffer;
}

std::string FormatName(TrialKind kind, std::uint16_t formatId)
{
    if (kind == TrialKind::X1D)
    {
        return formatId == DefaultFormats::kAnalogueBlockFormatId ? "analogue blocks" : "unknown";
    }
    switch (formatId)
    {
    case DefaultFormats::kCentroidFormatId:
        return "centroids";
    case DefaultFormats::kCentroidTrackFormatId:
        return "centroid tracks";
    case DefaultFormats::kGreyscaleBlobFormatId:
        return "greyscale blobs";
    case DefaultFormats::kEdgePairFormatId:
        return "edge pairs";
    case DefaultFormats::kCameraFrameInfoFormatId:
        return "camera frame info";
    case DefaultFormats::kFrameInfoFormatId:
        return "frame info";
    default:
        return "unknown";
    }
}

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes)
    {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

std::string InfoText(const VTrialInfo& info, const std::string& path)
{
    std::string text = Row("File", path);
    text += Row("Kind", std::string(info.Kind == TrialKind::X2D ? "X2D" : "X1D") +
                            (info.Opened ? ", version " + std::to_string(info.Version) : ""));
    if (!info.Opened)
    {
        text += Row("Opened", "no");
        return text + ErrorLines(info.Errors);
    }
    text += Row("Devices", std::to_string(info.DeviceCount));
    std::string frames = std::to_string(info.FrameCount);
    if (info.FirstFrame <= info.LastFrame)
    {
        frames += ", numbers " + std::to_string(info.FirstFrame) + " to " +
                  std::to_string(info.LastFrame);
    }
    if (info.IndexRebuilt)
    {
        frames += " (index rebuilt)";
    }
    text += Row("Frames", frames);
    if (info.FrameRate)
    {
        text += Row("Frame rate", Number(*info.FrameRate) + " Hz");
    }
    if (info.Kind == TrialKind::X2D)
    {
        std::string timecode = info.StartTimecode;
        if (timecode.empty())
        {
            timecode = info.StartTimecodeText.empty()
                           ? "none"
                           : "not valid (" + Quoted(info.StartTimecodeText) + ")";
        }
        text += Row("Start timecode", timecode);
    }
    if (info.HeaderValue)
    {
        text += Row("Header value", std::to_string(*info.HeaderValue));
    }
    text += Row("Formats", std::to_string(info.Formats.size()));
    for (const VTrialFormat& format : info.Formats)
    {
        text += "  " + FormatId(format.Id) + " " + FormatName(info.Kind, format.Id) + ", " +
                std::to_string(format.FieldCount) +
                (format.FieldCount == 1 ? " field\n" : " fields\n");
    }
    if (info.Kind == TrialKind::X2D)
    {
        text += Row("Frame info",
                    info.FrameInfoFormat
                        ? FormatId(info.FrameInfoFormat->Id) + ", " +
                              std::to_string(info.FrameInfoFormat->FieldCount) +
                              (info.FrameInfoFormat->FieldCount == 1 ? " field" : " fields")
                        : "none");
        text += Row("Cameras", std::to_string(info.Cameras.size()));
        if (!info.Cameras.empty())
        {
            char line[160];
            std::snprintf(line, sizeof(line), "  %-10s %-12s %-20s %-11s %s\n", "id", "name",
                          "type", "sensor", "camera value");
            text += line;
        }
        for (std::size_t c = 0; c < info.Cameras.size(); ++c)
        {
            const CameraInfoRecord& camera = info.Cameras[c];
            const std::string name = c < info.CameraNames.size() ? info.CameraNames[c] : "";
            const std::string sensor =
                std::to_string(camera.SensorWidth) + "x" + std::to_string(camera.SensorHeight);
            char line[400];
            std::snprintf(line, sizeof(line), "  %-10u %-12s %-20s %-11s %s\n",
                          static_cast<unsigned>(camera.CameraId), name.c_str(),
                          camera.TypeName.empty() ? "-" : camera.TypeName.c_str(), sensor.c_str(),
                          Number(camera.CameraValue).c_str());
            text += line;
        }
    }
    else
    {
        text += Row("Source sets", std::to_string(info.SourceSets.size()));
        for (std::size_t s = 0; s < info.SourceSets.size(); ++s)
        {
            const VAnalogueSourceSetSpec& set = info.SourceSets[s];
            std::string line = "  " + std::to_string(s) + ": value " + std::to_string(set.Value) +
                               ", " + Quoted(set.FirstText.Str()) + ", " +
                               Quoted(set.SecondText.Str()) + ", reals " + Number(set.Reals[0]) +
                               " " + Number(set.Reals[1]) + " " + Number(set.Reals[2]) +
                               ", sources";
            if (set.Sources.empty())
            {
                line += " none";
            }
            for (const VAnalogueSourceSpec& source : set.Sources)
            {
                line += " " + std::to_string(source.Value);
            }
            text += line + "\n";
        }
    }
    return text + ErrorLines(info.Errors);
}

std::string InfoJson(const VTrialInfo& info)
{
    VJson cameras = VJson::array();
    for (std::size_t c = 0; c < info.Cameras.size(); ++c)
    {
        const CameraInfoRecord& camera = info.Cameras[c];
        cameras.push_back({{"id", camera.CameraId},
                           {"name", c < info.CameraNames.size() ? info.CameraNames[c] : ""},
                           {"type", camera.TypeName},
                           {"width", camera.SensorWidth},
                           {"height", camera.SensorHeight},
                           {"camera_value", camera.CameraValue}});
    }
    VJson sourceSets = VJson::array();
    for (const VAnalogueSourceSetSpec& set : info.SourceSets)
    {
        VJson sources = VJson::array();
        for (const VAnalogueSourceSpec& source : set.Sources)
        {
            sources.push_back(source.Value);
        }
        sourceSets.push_back({{"value", set.Value},
                              {"first_text", set.FirstText.Str()},
                              {"second_text", set.SecondText.Str()},
                              {"reals", set.Reals},
                              {"sources", std::move(sources)}});
    }
    VJson formats = VJson::array();
    for (const VTrialFormat& format : info.Formats)
    {
        formats.push_back({{"id", format.Id},
                           {"name", FormatName(info.Kind, format.Id)},
                           {"fields", format.FieldCount}});
    }
    VJson document;
    document["kind"] = TrialKindName(info.Kind);
    document["version"] = info.Version;
    document["devices"] = info.DeviceCount;
    document["frames"] = info.FrameCount;
    document["frame_range"] = {info.FirstFrame, info.LastFrame};
    document["frame_rate"] = OrNull(info.FrameRate);
    document["start_timecode"] =
        info.StartTimecode.empty() ? VJson(nullptr) : VJson(info.StartTimecode);
    document["cameras"] = std::move(cameras);
    document["header_value"] = OrNull(info.HeaderValue);
    document["source_sets"] = std::move(sourceSets);
    document["errors"] = info.Errors;
    document["formats"] = std::move(formats);
    document["frame_info_format"] =
        info.FrameInfoFormat
            ? VJson{{"id", info.FrameInfoFormat->Id}, {"fields", info.FrameInfoFormat->FieldCount}}
            : VJson(nullptr);
    document["index_rebuilt"] = info.IndexRebuilt;
    document["opened"] = info.Opened;
    return JsonText::Write(document);
}

std::string FrameText(const VTrialFrame& frame, const std::vector<std::string>& errors)
{
    std::ostringstream text;
    text << "Frame index " << frame.Index << ", number " << frame.FrameNumber << ": "
         << (frame.Ok ? "read" : "ReadFrame returned false") << "\n";
    for (std::size_t c = 0; c < frame.Cameras.size(); ++c)
    {
        const VTrialCameraFrame& camera = frame.Cameras[c];
        text << "Camera " << c << " " << (camera.Name.empty() ? "(no name)" : camera.Name)
             << ", camera value " << Number(camera.CameraValue) << ", info byte "
             << static_cast<unsigned>(camera.InfoByte) << "\n";
        text << "  centroids " << camera.Centroids.size() << "\n";
        for (std::size_t i = 0; i < camera.Centroids.size(); ++i)
        {
            const ICentroidData& item = camera.Centroids[i];
            text << "    [" << i << "] x " << Number(item.X) << " y " << Number(item.Y)
                 << " radius " << Number(item.Radius) << " fraction " << Number(item.Fraction)
                 << "\n";
        }
        text << "  tracks " << camera.Tracks.size() << "\n";
        for (std::size_t i = 0; i < camera.Tracks.size(); ++i)
        {
            const ICentroidTrackData& item = camera.Tracks[i];
            text << "    [" << i << "] id " << item.Id << " length " << item.Length
                 << " confidence " << Number(item.Confidence) << "\n";
        }
        text << "  blobs " << camera.Blobs.size() << "\n";
        for (std::size_t i = 0; i < camera.Blobs.size(); ++i)
        {
            const VTrialBlob& blob = camera.Blobs[i];
            text << "    [" << i << "] flag " << static_cast<unsigned>(blob.Flag) << ", "
                 << blob.Lines.size() << " lines (column, line, pixels):";
            for (const VTrialLine& line : blob.Lines)
            {
                text << " (" << line.Column << ", " << line.Line << ", " << line.Pixels.size()
                     << ")";
            }
            text << "\n";
        }
        text << "  edges " << camera.Edges.size() << "\n";
        for (std::size_t i = 0; i < camera.Edges.size(); ++i)
        {
            const IEdgePairData& edge = camera.Edges[i];
            text << (i % 6 == 0 ? "   " : "") << " (" << edge.Coord0 << ", " << edge.Coord1 << ", "
                 << edge.Coord2 << ")" << (i % 6 == 5 || i + 1 == camera.Edges.size() ? "\n" : "");
        }
    }
    for (std::size_t d = 0; d < frame.Devices.size(); ++d)
    {
        const VTrialDeviceFrame& device = frame.Devices[d];
        text << "Device " << d << " " << device.Name << ", " << device.Blocks.size() << " blocks\n";
        for (std::size_t b = 0; b < device.Blocks.size(); ++b)
        {
            text << "  [" << b << "] " << device.Blocks[b].size() << " bytes";
            if (!device.Blocks[b].empty())
            {
                text << ": " << Hex(device.Blocks[b]);
            }
            text << "\n";
        }
    }
    if (!errors.empty())
    {
        text << "Errors\n";
        for (const std::string& error : errors)
        {
            text << "  " << error << "\n";
        }
    }
    return text.str();
}

std::string FrameJson(TrialKind kind, const VTrialFrame& frame,
                      const std::vector<std::string>& errors)
{
    VJson document;
    document["index"] = frame.Index;
    document["frame_number"] = frame.FrameNumber;
    document["ok"] = frame.Ok;
    if (kind == TrialKind::X2D)
    {
        VJson cameras = VJson::array();
        for (const VTrialCameraFrame& camera : frame.Cameras)
        {
            VJson centroids = VJson::array();
            for (const ICentroidData& item : camera.Centroids)
            {
                centroids.push_back({item.X, item.Y, item.Radius, item.Fraction});
            }
            VJson tracks = VJson::array();
            for (const ICentroidTrackData& item : camera.Tracks)
            {
                tracks.push_back({item.Id, item.Length, Float(item.Confidence)});
            }
            VJson blobs = VJson::array();
            for (const VTrialBlob& blob : camera.Blobs)
            {
                VJson lines = VJson::array();
                for (const VTrialLine& line : blob.Lines)
                {
                    lines.push_back({line.Column, line.Line, line.Pixels.size()});
                }
                blobs.push_back({{"flag", blob.Flag}, {"lines", std::move(lines)}});
            }
            VJson edges = VJson::array();
            for (const IEdgePairData& edge : camera.Edges)
            {
                edges.push_back({edge.Coord0, edge.Coord1, edge.Coord2});
            }
            cameras.push_back({{"name", camera.Name},
                               {"camera_value", camera.CameraValue},
                               {"centroids", std::move(centroids)},
                               {"tracks", std::move(tracks)},
                               {"blobs", std::move(blobs)},
                               {"edges", std::move(edges)},
                               {"info_byte", camera.InfoByte}});
        }
        document["cameras"] = std::move(cameras);
    }
    else
    {
        VJson devices = VJson::array();
        for (const VTrialDeviceFrame& device : frame.Devices)
        {
            VJson blocks = VJson::array();
            for (const std::vector<std::uint8_t>& block : device.Blocks)
            {
                blocks.push_back({{"size", block.size()}, {"bytes", Hex(block)}});
            }
            devices.push_back({{"name", device.Name}, {"blocks", std::move(blocks)}});
        }
        document["devices"] = std::move(devices);
    }
    document["errors"] = errors;
    return JsonText::Write(document);
}

} // namespace TrialReport
