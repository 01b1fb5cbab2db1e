#include "tsmtrial/TrialReport.h"

#include "FileIO/DefaultFormats.h"
#include "tsmtrial/VJsonWriter.h"

#include <cstdio>
#include <sstream>

namespace
{

using Layout = VJsonWriter::Layout;

std::string Number(double value)
{
    return VJsonWriter::FormatNumber(value);
}

std::string Number(float value)
{
    return VJsonWriter::FormatNumber(value);
}

/// "Label" padded to the value column.
std::string Row(const std::string& label, const std::string& value)
{
    std::string line = label;
    line.append(label.size() < 16 ? 16 - label.size() : 1, ' ');
    return line + value + "\n";
}

std::string Quoted(const std::string& text)
{
    return VJsonWriter::Quote(text);
}

void WriteErrors(VJsonWriter& json, const std::vector<std::string>& errors)
{
    json.Key("errors").BeginArray();
    for (const std::string& error : errors)
    {
        json.String(error);
    }
    json.EndArray();
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
    VJsonWriter json(2);
    json.BeginObject();
    json.Key("kind").String(TrialKindName(info.Kind));
    json.Key("version").Integer(info.Version);
    json.Key("devices").Unsigned(info.DeviceCount);
    json.Key("frames").Unsigned(info.FrameCount);
    json.Key("frame_range").BeginArray(Layout::Inline);
    json.Unsigned(info.FirstFrame).Unsigned(info.LastFrame).EndArray();
    json.Key("frame_rate");
    if (info.FrameRate)
    {
        json.Number(*info.FrameRate);
    }
    else
    {
        json.Null();
    }
    json.Key("start_timecode");
    if (info.StartTimecode.empty())
    {
        json.Null();
    }
    else
    {
        json.String(info.StartTimecode);
    }
    json.Key("cameras").BeginArray();
    for (std::size_t c = 0; c < info.Cameras.size(); ++c)
    {
        const CameraInfoRecord& camera = info.Cameras[c];
        json.BeginObject(Layout::Inline);
        json.Key("id").Unsigned(camera.CameraId);
        json.Key("name").String(c < info.CameraNames.size() ? info.CameraNames[c] : "");
        json.Key("type").String(camera.TypeName);
        json.Key("width").Unsigned(camera.SensorWidth);
        json.Key("height").Unsigned(camera.SensorHeight);
        json.Key("camera_value").Number(camera.CameraValue);
        json.EndObject();
    }
    json.EndArray();
    json.Key("header_value");
    if (info.HeaderValue)
    {
        json.Integer(*info.HeaderValue);
    }
    else
    {
        json.Null();
    }
    json.Key("source_sets").BeginArray();
    for (const VAnalogueSourceSetSpec& set : info.SourceSets)
    {
        json.BeginObject(Layout::Inline);
        json.Key("value").Unsigned(set.Value);
        json.Key("first_text").String(set.FirstText.Str());
        json.Key("second_text").String(set.SecondText.Str());
        json.Key("reals").BeginArray();
        for (double real : set.Reals)
        {
            json.Number(real);
        }
        json.EndArray();
        json.Key("sources").BeginArray();
        for (const VAnalogueSourceSpec& source : set.Sources)
        {
            json.Unsigned(source.Value);
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    WriteErrors(json, info.Errors);
    json.Key("formats").BeginArray();
    for (const VTrialFormat& format : info.Formats)
    {
        json.BeginObject(Layout::Inline);
        json.Key("id").Unsigned(format.Id);
        json.Key("name").String(FormatName(info.Kind, format.Id));
        json.Key("fields").Unsigned(format.FieldCount);
        json.EndObject();
    }
    json.EndArray();
    json.Key("frame_info_format");
    if (info.FrameInfoFormat)
    {
        json.BeginObject(Layout::Inline);
        json.Key("id").Unsigned(info.FrameInfoFormat->Id);
        json.Key("fields").Unsigned(info.FrameInfoFormat->FieldCount);
        json.EndObject();
    }
    else
    {
        json.Null();
    }
    json.Key("index_rebuilt").Bool(info.IndexRebuilt);
    json.Key("opened").Bool(info.Opened);
    json.EndObject();
    return json.GetText() + "\n";
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
    VJsonWriter json(2);
    json.BeginObject();
    json.Key("index").Unsigned(frame.Index);
    json.Key("frame_number").Unsigned(frame.FrameNumber);
    json.Key("ok").Bool(frame.Ok);
    if (kind == TrialKind::X2D)
    {
        json.Key("cameras").BeginArray();
        for (const VTrialCameraFrame& camera : frame.Cameras)
        {
            json.BeginObject();
            json.Key("name").String(camera.Name);
            json.Key("camera_value").Number(camera.CameraValue);
            json.Key("centroids").BeginArray();
            for (const ICentroidData& item : camera.Centroids)
            {
                json.BeginArray(Layout::Inline)
                    .Number(item.X)
                    .Number(item.Y)
                    .Number(item.Radius)
                    .Number(item.Fraction)
                    .EndArray();
            }
            json.EndArray();
            json.Key("tracks").BeginArray();
            for (const ICentroidTrackData& item : camera.Tracks)
            {
                json.BeginArray(Layout::Inline)
                    .Integer(item.Id)
                    .Unsigned(item.Length)
                    .Number(item.Confidence)
                    .EndArray();
            }
            json.EndArray();
            json.Key("blobs").BeginArray();
            for (const VTrialBlob& blob : camera.Blobs)
            {
                json.BeginObject(Layout::Inline);
                json.Key("flag").Unsigned(blob.Flag);
                json.Key("lines").BeginArray();
                for (const VTrialLine& line : blob.Lines)
                {
                    json.BeginArray()
                        .Unsigned(line.Column)
                        .Unsigned(line.Line)
                        .Unsigned(line.Pixels.size())
                        .EndArray();
                }
                json.EndArray();
                json.EndObject();
            }
            json.EndArray();
            json.Key("edges").BeginArray();
            for (const IEdgePairData& edge : camera.Edges)
            {
                json.BeginArray(Layout::Inline)
                    .Unsigned(edge.Coord0)
                    .Unsigned(edge.Coord1)
                    .Unsigned(edge.Coord2)
                    .EndArray();
            }
            json.EndArray();
            json.Key("info_byte").Unsigned(camera.InfoByte);
            json.EndObject();
        }
        json.EndArray();
    }
    else
    {
        json.Key("devices").BeginArray();
        for (const VTrialDeviceFrame& device : frame.Devices)
        {
            json.BeginObject();
            json.Key("name").String(device.Name);
            json.Key("blocks").BeginArray();
            for (const std::vector<std::uint8_t>& block : device.Blocks)
            {
                json.BeginObject(Layout::Inline);
                json.Key("size").Unsigned(block.size());
                json.Key("bytes").String(Hex(block));
                json.EndObject();
            }
            json.EndArray();
            json.EndObject();
        }
        json.EndArray();
    }
    WriteErrors(json, errors);
    json.EndObject();
    return json.GetText() + "\n";
}

} // namespace TrialReport
