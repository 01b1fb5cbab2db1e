#include "tsmtrial/VX2DTrialGenerator.h"

#include "FileIO/ByteCodec.h"
#include "FileIO/DefaultFormats.h"
#include "FileIO/VCentroidDatum.h"
#include "devices/cameramodels/CameraModelTable.h"
#include "timecode/VTimecode.h"
#include "tsmtrial/TrialOutputFile.h"
#include "tsmtrial/NumberText.h"
#include "tsmtrial/VSeededRandom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace
{

// Limits that keep a generated trial's memory per frame and its numbers in range.
constexpr std::uint32_t kMaxCameras = 256;
constexpr std::uint32_t kMaxMarkers = 2000;
constexpr std::uint32_t kMaxFrames = 100000000;
constexpr double kMinRate = 1.0;
constexpr double kMaxRate = 10000.0;

// Streams of the seeded random source, one per part of the scene.
constexpr std::uint64_t kMarkerStream = 1;
constexpr std::uint64_t kCameraStream = 2;
constexpr std::uint64_t kOcclusionStream = 3;

// Occlusions hide a marker from a camera for windows of this many frames, one window in
// kOcclusionOdds.
constexpr std::uint32_t kOcclusionFrames = 25;
constexpr std::uint64_t kOcclusionOdds = 16;

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kNearestDepth = 100.0; // mm in front of a camera
constexpr double kMaxRadiusPixels = 40.0;

struct VVector
{
    double X = 0.0;
    double Y = 0.0;
    double Z = 0.0;
};

VVector operator-(const VVector& a, const VVector& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}

double Dot(const VVector& a, const VVector& b)
{
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}

VVector Cross(const VVector& a, const VVector& b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

VVector Normalised(const VVector& v)
{
    const double length = std::sqrt(Dot(v, v));
    return length > 0.0 ? VVector{v.X / length, v.Y / length, v.Z / length} : v;
}

/// The f32 scale in a field's parameters, widened as the reader widens it.
double FieldScale(const VDataFormatInfo& format, std::uint16_t key)
{
    for (const VDataFormatField& field : format.GetFields())
    {
        if (field.Key == key && field.Parameters.size() >= 4)
        {
            return LittleEndian::LoadF32(field.Parameters.data());
        }
    }
    return 1.0;
}

/// `value` as the file stores it: a multiple of `scale` held in `width` bytes, rounded to
/// nearest with ties to even, as the centroid datum writes it.
double Quantise(double value, double scale, std::uint32_t width)
{
    const double largest = std::ldexp(1.0, static_cast<int>(8 * width)) - 1.0;
    const double steps = std::clamp(std::nearbyint(value / scale), 0.0, largest);
    return steps * scale;
}

/// The start timecode text in VTimecode::ToText form, from "HH:MM:SS:FF" at `rate`.
bool StartTimecodeText(const std::string& clock, double rate, std::string& text, std::string& error)
{
    const std::string badForm =
        "The start timecode \"" + clock + "\" is not of the form HH:MM:SS:FF.";
    std::array<std::uint32_t, 4> fields = {};
    std::size_t field = 0;
    std::size_t digits = 0;
    bool drop = false;
    for (char c : clock)
    {
        if (c >= '0' && c <= '9')
        {
            if (++digits > 3)
            {
                error = badForm;
                return false;
            }
            fields[field] = fields[field] * 10 + static_cast<std::uint32_t>(c - '0');
            continue;
        }
        if ((c != ':' && c != ';') || digits == 0 || field == 3)
        {
            error = badForm;
            return false;
        }
        drop = drop || c == ';';
        ++field;
        digits = 0;
    }
    if (field != 3 || digits == 0)
    {
        error = badForm;
        return false;
    }
    VTimecode timecode;
    std::string message;
    VStringStdAdapter messageText(message);
    if (!timecode.FromTimecodeFields(1, fields[0], fields[1], fields[2], fields[3], 0, drop, rate,
                                     true, messageText))
    {
        const std::size_t tail = message.find(" - ignoring");
        if (tail != std::string::npos)
        {
            message = message.substr(0, tail) + ".";
        }
        error = "The start timecode \"" + clock + "\" cannot be used at " +
                NumberText::Shortest(rate) + " Hz: " + message;
        return false;
    }
    text = timecode.ToText();
    return true;
}

} // namespace

/// One marker: per axis the sum of two sines around a centre, in millimetres.
struct VX2DTrialGenerator::VMarker
{
    std::array<double, 3> Centre = {};
    std::array<double, 3> Amplitude = {};
    std::array<double, 3> Frequency = {}; // radians per second
    std::array<double, 3> Phase = {};
    std::array<double, 3> RippleAmplitude = {};
    std::array<double, 3> RippleFrequency = {};
    std::array<double, 3> RipplePhase = {};
    double Radius = 8.0; // mm

    VVector PositionAt(double time) const
    {
        std::array<double, 3> p = {};
        for (std::size_t k = 0; k < 3; ++k)
        {
            p[k] = Centre[k] + Amplitude[k] * std::sin(Frequency[k] * time + Phase[k]) +
                   RippleAmplitude[k] * std::sin(RippleFrequency[k] * time + RipplePhase[k]);
        }
        return {p[0], p[1], p[2]};
    }
};

/// One pinhole camera: position, orientation (right, down, forward) and focal length.
struct VX2DTrialGenerator::VCamera
{
    VVector Position;
    VVector Right;
    VVector Down;
    VVector Forward;
    double Focal = 1.0; // pixels
    double CentreX = 0.0;
    double CentreY = 0.0;
    double Width = 0.0;
    double Height = 0.0;
};

bool VX2DTrialGenerator::Validate(const VX2DGeneratorSettings& settings, std::string& error)
{
    if (settings.Cameras < 1 || settings.Cameras > kMaxCameras)
    {
        error = "The number of cameras must lie between 1 and " + std::to_string(kMaxCameras) + ".";
        return false;
    }
    if (settings.Frames < 1 || settings.Frames > kMaxFrames)
    {
        error = "The number of frames must lie between 1 and " + std::to_string(kMaxFrames) + ".";
        return false;
    }
    if (!(settings.Rate >= kMinRate && settings.Rate <= kMaxRate))
    {
        error = "The frame rate must lie between 1 and 10000 Hz.";
        return false;
    }
    if (settings.Markers > kMaxMarkers)
    {
        error = "The number of markers must lie between 0 and " + std::to_string(kMaxMarkers) + ".";
        return false;
    }
    if (CameraModelTable::FindOffered(settings.Model) == nullptr)
    {
        error = "Unknown camera model \"" + settings.Model +
                "\"; known models: " + CameraModelTable::OfferedTypesText() + ".";
        return false;
    }
    if (settings.Version < 1 || settings.Version > 3)
    {
        error = "X2D files are written in versions 1 to 3.";
        return false;
    }
    if (settings.FirstFrame > ~std::uint32_t{0} - (settings.Frames - 1))
    {
        error = "The frame numbers would run past 4294967295.";
        return false;
    }
    std::string text;
    return settings.StartTimecode.empty() ||
           StartTimecodeText(settings.StartTimecode, settings.Rate, text, error);
}

VX2DTrialGenerator::VX2DTrialGenerator(const VX2DGeneratorSettings& settings) : m_Settings(settings)
{
    m_Settings.Cameras = std::clamp<std::uint32_t>(m_Settings.Cameras, 1, kMaxCameras);
    m_Settings.Markers = std::min(m_Settings.Markers, kMaxMarkers);
    m_Settings.Rate =
        std::isfinite(m_Settings.Rate) ? std::clamp(m_Settings.Rate, kMinRate, kMaxRate) : 100.0;
    if (CameraModelTable::FindOffered(m_Settings.Model) == nullptr)
    {
        m_Settings.Model = "Zt-M4";
    }
    BuildScene();
    Reset();
}

VX2DTrialGenerator::~VX2DTrialGenerator() = default;

void VX2DTrialGenerator::BuildScene()
{
    const VCameraModel& model = *CameraModelTable::FindOffered(m_Settings.Model);
    const double width = model.m_SensorWidth;
    const double height = model.m_SensorHeight;

    VSeededRandom markerRandom(VSeededRandom::Derive(m_Settings.Seed, kMarkerStream));
    m_Markers.resize(m_Settings.Markers);
    for (VMarker& marker : m_Markers)
    {
        marker.Centre = {markerRandom.Uniform(-700.0, 700.0), markerRandom.Uniform(-700.0, 700.0),
                         markerRandom.Uniform(700.0, 1100.0)};
        for (std::size_t k = 0; k < 3; ++k)
        {
            const bool vertical = k == 2;
            marker.Amplitude[k] =
                vertical ? markerRandom.Uniform(50.0, 300.0) : markerRandom.Uniform(150.0, 500.0);
            marker.Frequency[k] = kTwoPi * markerRandom.Uniform(0.05, 0.3);
            marker.Phase[k] = markerRandom.Uniform(0.0, kTwoPi);
            marker.RippleAmplitude[k] = markerRandom.Uniform(30.0, 120.0);
            marker.RippleFrequency[k] = kTwoPi * markerRandom.Uniform(0.3, 1.0);
            marker.RipplePhase[k] = markerRandom.Uniform(0.0, kTwoPi);
        }
        marker.Radius = markerRandom.Uniform(6.0, 10.0);
    }

    VSeededRandom cameraRandom(VSeededRandom::Derive(m_Settings.Seed, kCameraStream));
    m_CameraGeometry.resize(m_Settings.Cameras);
    m_Cameras.clear();
    for (std::uint32_t c = 0; c < m_Settings.Cameras; ++c)
    {
        VCamera& camera = m_CameraGeometry[c];
        const double angle = kTwoPi * c / m_Settings.Cameras + cameraRandom.Uniform(-0.1, 0.1);
        const double ring = 4500.0 + cameraRandom.Uniform(-300.0, 300.0);
        camera.Position = {ring * std::cos(angle), ring * std::sin(angle),
                           cameraRandom.Uniform(2000.0, 2800.0)};
        const VVector target = {cameraRandom.Uniform(-100.0, 100.0),
                                cameraRandom.Uniform(-100.0, 100.0), 900.0};
        camera.Forward = Normalised(target - camera.Position);
        camera.Right = Normalised(Cross(camera.Forward, VVector{0.0, 0.0, 1.0}));
        camera.Down = Cross(camera.Forward, camera.Right);
        // About 1.2 sensor widths: the volume fills the middle of the picture.
        camera.Focal = std::round(width * cameraRandom.Uniform(1.15, 1.25) * 16.0) / 16.0;
        camera.Width = width;
        camera.Height = height;
        camera.CentreX = width / 2.0;
        camera.CentreY = height / 2.0;

        CameraInfoRecord record;
        record.SensorWidth = static_cast<std::uint32_t>(model.m_SensorWidth);
        record.SensorHeight = static_cast<std::uint32_t>(model.m_SensorHeight);
        record.CameraId = c + 1;
        record.TypeName = model.m_DeviceType;
        record.CameraValue = camera.Focal;
        m_Cameras.push_back(record);
    }

    const VDataFormatInfo format =
        DefaultFormats::MakeCentroids(static_cast<std::uint32_t>(model.m_SensorWidth),
                                      static_cast<std::uint32_t>(model.m_SensorHeight));
    m_ScaleX = FieldScale(format, VCentroidDatum::kKeyX);
    m_ScaleY = FieldScale(format, VCentroidDatum::kKeyY);
    m_ScaleRadius = FieldScale(format, VCentroidDatum::kKeyRadius);
    m_ScaleFraction = FieldScale(format, VCentroidDatum::kKeyFraction);

    m_Export = VX2DExportSettings{};
    m_Export.Version = m_Settings.Version;
    m_Export.Cameras = m_Cameras;
    m_Export.SystemFrameRate = m_Settings.Rate;
    if (m_Settings.CentroidsOnly)
        m_Export.Formats = {format, DefaultFormats::CentroidTracks()};
    std::string ignored;
    if (!m_Settings.StartTimecode.empty() &&
        !StartTimecodeText(m_Settings.StartTimecode, m_Settings.Rate, m_Export.StartTimecode,
                           ignored))
    {
        m_Export.StartTimecode.clear();
    }
}

void VX2DTrialGenerator::Reset()
{
    m_NextIndex = 0;
    m_Tracks.assign(m_Settings.Cameras, std::vector<VTrackState>(m_Settings.Markers));
    m_NextTrackId.assign(m_Settings.Cameras, 1);
}

bool VX2DTrialGenerator::IsOccluded(std::uint32_t camera, std::uint32_t marker) const
{
    const std::uint64_t window = m_NextIndex / kOcclusionFrames;
    const std::uint64_t key = VSeededRandom::Derive(m_Settings.Seed, kOcclusionStream) ^
                              (std::uint64_t{camera} << 44) ^ (std::uint64_t{marker} << 28) ^
                              window;
    return VSeededRandom::Mix(key) % kOcclusionOdds == 0;
}

std::uint32_t VX2DTrialGenerator::NextFrame(VCentroidFrame& centroids, VCentroidTrackFrame& tracks,
                                            VGreyscaleBlobFrame& greyscale, VEdgePairFrame& edges)
{
    const std::uint32_t cameras = m_Settings.Cameras;
    centroids.Resize(cameras);
    tracks.Resize(cameras);
    greyscale.Resize(cameras);
    edges.Resize(cameras);
    const double time = m_NextIndex / m_Settings.Rate;
    for (std::uint32_t c = 0; c < cameras; ++c)
    {
        GenerateCamera(c, time, *centroids.GetSetDirect(c), *tracks.GetSetDirect(c),
                       *greyscale.GetSetDirect(c), *edges.GetSetDirect(c));
    }
    const std::uint32_t frameNumber = m_Settings.FirstFrame + m_NextIndex;
    ++m_NextIndex;
    return frameNumber;
}

void VX2DTrialGenerator::GenerateCamera(std::uint32_t c, double time, VCentroidSet& centroids,
                                        VCentroidTrackSet& tracks, VGreyscaleBlobSet& greyscale,
                                        VEdgePairSet& edges)
{
    const VCamera& camera = m_CameraGeometry[c];
    const VStringStd name("zt:" + std::to_string(m_Cameras[c].CameraId));
    centroids.Clear();
    tracks.Clear();
    greyscale.Clear();
    edges.Clear();
    centroids.SetName(name);
    centroids.SetCameraValue(m_Cameras[c].CameraValue);
    tracks.SetName(name.Str());
    greyscale.SetName(name);
    edges.SetName(name);

    std::uint32_t visible = 0;
    for (std::uint32_t m = 0; m < m_Markers.size(); ++m)
    {
        VTrackState& track = m_Tracks[c][m];
        const VMarker& marker = m_Markers[m];
        const VVector offset = marker.PositionAt(time) - camera.Position;
        const double depth = Dot(offset, camera.Forward);
        bool seen = depth > kNearestDepth && !IsOccluded(c, m);
        ICentroidData centroid;
        if (seen)
        {
            const double u = camera.CentreX + camera.Focal * Dot(offset, camera.Right) / depth;
            const double v = camera.CentreY + camera.Focal * Dot(offset, camera.Down) / depth;
            const double radius =
                std::clamp(camera.Focal * marker.Radius / depth, 1.0, kMaxRadiusPixels);
            centroid.X = Quantise(u, m_ScaleX, 3);
            centroid.Y = Quantise(v, m_ScaleY, 3);
            centroid.Radius = Quantise(radius, m_ScaleRadius, 3);
            centroid.Fraction =
                Quantise(centroid.Radius / (centroid.Radius + 2.0), m_ScaleFraction, 2);
            // The whole blob (radius + 1) must lie on the sensor.
            const double reach = centroid.Radius + 1.0;
            seen = u - reach >= 0.0 && v - reach >= 0.0 && u + reach <= camera.Width - 1.0 &&
                   v + reach <= camera.Height - 1.0;
        }
        if (!seen)
        {
            track = VTrackState{};
            continue;
        }
        if (track.Id < 0)
        {
            track.Id = m_NextTrackId[c]++;
            track.Length = 0;
        }
        ++track.Length;
        ++visible;

        const std::uint32_t index = centroids.Count();
        centroids.Resize(index + 1);
        ICentroidData* centroidSlot = nullptr;
        centroids.GetItemData(index, &centroidSlot);
        *centroidSlot = centroid;

        tracks.Resize(index + 1);
        ICentroidTrackData* trackData = nullptr;
        tracks.GetData(&trackData, nullptr);
        trackData[index].Id = track.Id;
        trackData[index].Length = track.Length;
        trackData[index].Confidence = std::min(1.0f, static_cast<float>(track.Length) / 20.0f);

        if (m_Settings.CentroidsOnly)
        {
            continue;
        }

        // The blob: the lines of the disc of radius r + 1, Gaussian pixel values.
        const double reach = centroid.Radius + 1.0;
        const double sigma = std::max(0.8, reach / 2.0);
        const auto firstLine = static_cast<std::int32_t>(std::ceil(centroid.Y - reach));
        const auto lastLine = static_cast<std::int32_t>(std::floor(centroid.Y + reach));
        m_Lines.clear();
        m_Pixels.clear();
        m_PixelStarts.clear();
        for (std::int32_t line = firstLine; line <= lastLine; ++line)
        {
            const double dy = line - centroid.Y;
            const double half = std::sqrt(std::max(0.0, reach * reach - dy * dy));
            const auto first = static_cast<std::int32_t>(std::ceil(centroid.X - half));
            const auto last = static_cast<std::int32_t>(std::floor(centroid.X + half));
            if (last < first)
            {
                continue;
            }
            m_PixelStarts.push_back(m_Pixels.size());
            for (std::int32_t column = first; column <= last; ++column)
            {
                const double dx = column - centroid.X;
                const double value = 255.0 * std::exp(-(dx * dx + dy * dy) / (2.0 * sigma * sigma));
                m_Pixels.push_back(
                    static_cast<std::uint8_t>(std::clamp(std::round(value), 1.0, 255.0)));
            }
            IGreyscaleLineData lineData;
            lineData.Coord0 = static_cast<std::uint16_t>(first);
            lineData.Coord1 = static_cast<std::uint16_t>(line);
            lineData.PixelCount = static_cast<std::uint16_t>(last - first + 1);
            m_Lines.push_back(lineData);

            const std::uint32_t edgeIndex = edges.Count();
            edges.Resize(edgeIndex + 1);
            IEdgePairData* edge = nullptr;
            edges.GetItemData(edgeIndex, &edge);
            *edge = {static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(line),
                     static_cast<std::uint16_t>(last + 1)};
        }
        // Point the lines at their pixels only now: the pixel array has stopped growing.
        for (std::size_t l = 0; l < m_Lines.size(); ++l)
        {
            m_Lines[l].Pixels = m_Pixels.data() + m_PixelStarts[l];
        }
        IGreyscaleBlobData blob;
        blob.Lines = m_Lines.empty() ? nullptr : m_Lines.data();
        blob.LineCount = static_cast<std::uint16_t>(m_Lines.size());
        blob.BlobFlag = centroid.Radius >= 3.0 ? 1 : 0;
        greyscale.AppendData(blob);
    }
    greyscale.SetInfoByte(static_cast<std::uint8_t>(std::min<std::uint32_t>(visible, 255)));
}

namespace
{

/// About the bytes that one frame takes in the file, for the progress estimate.
std::uint64_t EstimateFrameBytes(const VCentroidFrame& centroids, const VGreyscaleBlobFrame& blobs,
                                 const VEdgePairFrame& edges)
{
    std::uint64_t bytes = 10 + 4; // frame header, frame-info item
    for (std::uint32_t d = 0; d < centroids.Count(); ++d)
    {
        bytes += 10 + 5 * 10 + 1; // record, blocks, info byte
        bytes += std::uint64_t{centroids.GetSetDirect(d)->Count()} * (11 + 16); // and tracks
        bytes += std::uint64_t{edges.GetSetDirect(d)->Count()} * 6;
        const VGreyscaleBlobSet& set = *blobs.GetSetDirect(d);
        bytes +=
            std::uint64_t{set.Count()} * 10 + set.LineStorageSize() * 6 + set.PixelStorageSize();
    }
    return bytes;
}

} // namespace

bool WriteX2DTrial(const std::string& path, const VX2DGeneratorSettings& settings,
                   std::string& error, IProgress* progress)
{
    if (!VX2DTrialGenerator::Validate(settings, error))
    {
        return false;
    }
    VX2DTrialGenerator generator(settings);
    VTrialOutputFile output(path);
    VX2DExport writer;
    if (!writer.Open(output.GetWorkingPath(), generator.GetExportSettings()))
    {
        error = writer.GetError();
        return false;
    }
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    bool ok = true;
    for (std::uint32_t i = 0; i < settings.Frames && ok; ++i)
    {
        const std::uint32_t frameNumber = generator.NextFrame(centroids, tracks, greyscale, edges);
        ok = writer.WriteFrame(frameNumber, &centroids, &tracks, &greyscale, &edges);
        if (progress != nullptr)
        {
            if (i == 0)
            {
                progress->Begin(settings.Frames,
                                EstimateFrameBytes(centroids, greyscale, edges) * settings.Frames);
            }
            progress->Advance(i + 1);
        }
    }
    ok = writer.Close() && ok;
    if (progress != nullptr)
    {
        progress->End(ok);
    }
    if (!ok)
    {
        error = writer.GetError().empty() ? "Cannot write " + path + "." : writer.GetError();
        return false;
    }
    return output.Commit(error);
}
