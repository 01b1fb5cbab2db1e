#include "tsmhost/VFrameRecorder.h"

#include "FileIO/DefaultFormats.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX1DExport.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "net/VThread.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace
{

constexpr float WireUnit = 1.0f / 256.0f;
/// Channels of a sync unit's analogue slot: block c of a recorded unit is channel c.
constexpr std::uint32_t AnalogueChannels = 64;
constexpr double SampleClockHz = 135000000.0;

void FillCentroids(const VCameraStreamFrame& stream, VCentroidSet& set)
{
    set.Resize(static_cast<std::uint32_t>(stream.Centroids.size()));
    ICentroidData* data = nullptr;
    set.GetData(&data, nullptr, nullptr);
    for (std::size_t i = 0; i < stream.Centroids.size(); ++i)
    {
        const VWireCentroid& wire = stream.Centroids[i];
        data[i].X = wire.X / 256.0;
        data[i].Y = wire.Y / 256.0;
        data[i].Radius = wire.Radius / 256.0;
        data[i].Fraction = wire.Fraction / 256.0;
    }
}

void FillTracks(const VCameraStreamFrame& stream, VCentroidTrackSet& set)
{
    if (stream.Tracks.empty())
        return;
    const std::uint32_t count = static_cast<std::uint32_t>(stream.Centroids.size());
    set.Resize(count);
    ICentroidTrackData* data = nullptr;
    set.GetData(&data, nullptr);
    for (const VWireTrack& track : stream.Tracks)
    {
        if (track.Position >= count)
            continue;
        ICentroidTrackData& entry = data[track.Position];
        entry.Id = track.Id;
        entry.Length = track.Length;
        entry.Confidence = static_cast<float>(track.Confidence / 65535.0);
    }
}

/// Protocol 1: consecutive segments with the same blob word form one blob. Protocol 2 (or
/// any segment without a blob word): one blob per segment.
void FillBlobs(const VCameraStreamFrame& stream, VGreyscaleBlobSet& set,
               std::vector<IGreyscaleLineData>& lines)
{
    const std::vector<VWireSegment>& segments = stream.Segments;
    std::size_t first = 0;
    while (first < segments.size())
    {
        std::size_t end = first + 1;
        if (segments[first].HasBlobWord())
        {
            while (end < segments.size() && segments[end].Word == segments[first].Word &&
                   end - first < 0xFFFF)
                ++end;
        }
        lines.clear();
        for (std::size_t s = first; s < end; ++s)
        {
            IGreyscaleLineData line;
            line.Coord0 = segments[s].Column;
            line.Coord1 = segments[s].Line;
            line.PixelCount = segments[s].PixelCount;
            line.Pixels =
                line.PixelCount > 0 ? stream.Pixels.data() + segments[s].PixelOffset : nullptr;
            lines.push_back(line);
        }
        IGreyscaleBlobData blob;
        blob.Lines = lines.data();
        blob.LineCount = static_cast<std::uint16_t>(lines.size());
        blob.BlobFlag = segments[first].HasBlobWord() ? segments[first].BlobFlag() : 0;
        set.AppendData(blob);
        first = end;
    }
}

/// The 64 channel blocks of one unit's frame: channel c's samples taken from the interleaved
/// bytes (the channels of the mask in ascending order within each instant).
void FillChannels(std::uint16_t instants, std::uint64_t mask,
                  const std::vector<std::uint8_t>& interleaved, VAnalogueBlockSet& set,
                  std::vector<std::uint8_t>& channel)
{
    const std::size_t sent = static_cast<std::size_t>(std::popcount(mask));
    std::size_t index = 0; // position of channel c among the channels sent
    for (std::uint32_t c = 0; c < AnalogueChannels; ++c)
    {
        if ((mask >> c & 1u) == 0 || interleaved.size() < 2 * sent * instants)
        {
            set.AppendData(IAnalogueBlockData{});
            continue;
        }
        channel.resize(2 * std::size_t{instants});
        for (std::size_t i = 0; i < instants; ++i)
        {
            const std::size_t from = 2 * (i * sent + index);
            channel[2 * i] = interleaved[from];
            channel[2 * i + 1] = interleaved[from + 1];
        }
        set.AppendData(IAnalogueBlockData{channel.empty() ? nullptr : channel.data(),
                                          static_cast<std::uint32_t>(channel.size())});
        ++index;
    }
}

void FillEdges(const VCameraStreamFrame& stream, VEdgePairSet& set)
{
    set.Resize(static_cast<std::uint32_t>(stream.Edges.size()));
    IEdgePairData* data = nullptr;
    set.GetData(&data, nullptr);
    for (std::size_t i = 0; i < stream.Edges.size(); ++i)
        data[i] = {stream.Edges[i].Column, stream.Edges[i].Line, stream.Edges[i].Coord2};
}

} // namespace

VFrameRecorder::VFrameRecorder() = default;

VFrameRecorder::~VFrameRecorder()
{
    std::string ignored;
    Close(ignored);
}

VDataFormatInfo VFrameRecorder::CentroidFormat()
{
    VDataFormatInfo format(DefaultFormats::kCentroidFormatId);
    format.AddFieldWithScale(0xAA00, 4, WireUnit);
    format.AddFieldWithScale(0xAA01, 4, WireUnit);
    format.AddFieldWithScale(0xAA02, 4, WireUnit);
    format.AddFieldWithScale(0xAA03, 2, WireUnit);
    format.AddFieldWithU32(0xAA04, 0, 0);
    return format;
}

std::string VFrameRecorder::AnaloguePath(const std::string& path)
{
    constexpr std::string_view camera = ".x2d";
    if (path.size() >= camera.size() &&
        path.compare(path.size() - camera.size(), camera.size(), camera) == 0)
        return path.substr(0, path.size() - camera.size()) + ".x1d";
    return path + ".x1d";
}

bool VFrameRecorder::Open(const std::string& path, std::vector<VRecordedCamera> cameras,
                          std::vector<std::uint32_t> syncUnits, double systemFrameRate,
                          std::string& error)
{
    if (IsOpen())
    {
        error = "a recording is already open";
        return false;
    }
    if (cameras.empty() && syncUnits.empty())
    {
        error = "no camera or sync unit to record";
        return false;
    }
    std::sort(cameras.begin(), cameras.end(),
              [](const VRecordedCamera& a, const VRecordedCamera& b)
              { return a.DeviceId < b.DeviceId; });
    std::sort(syncUnits.begin(), syncUnits.end());
    syncUnits.erase(std::unique(syncUnits.begin(), syncUnits.end()), syncUnits.end());

    std::unique_ptr<VX2DExport> writer;
    if (!cameras.empty())
    {
        VX2DExportSettings settings;
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        for (const VRecordedCamera& camera : cameras)
        {
            CameraInfoRecord record;
            record.SensorWidth = camera.SensorWidth;
            record.SensorHeight = camera.SensorHeight;
            record.CameraId = camera.DeviceId;
            record.TypeName = camera.TypeName;
            settings.Cameras.push_back(record);
            width = std::max(width, camera.SensorWidth);
            height = std::max(height, camera.SensorHeight);
        }
        settings.SystemFrameRate = systemFrameRate;
        settings.Formats = VX2DExport::DefaultFormatList(width, height);
        for (VDataFormatInfo& format : settings.Formats)
        {
            if (format.GetFormatId() == DefaultFormats::kCentroidFormatId)
                format = CentroidFormat();
        }
        writer = std::make_unique<VX2DExport>();
        if (!writer->Open(path, settings))
        {
            error = "cannot record into " + path + ": " + writer->GetError();
            return false;
        }
    }
    std::unique_ptr<VX1DExport> analogue;
    if (!syncUnits.empty())
    {
        VX1DExportSettings settings;
        settings.DeviceCount = static_cast<std::uint32_t>(syncUnits.size());
        settings.DeviceIds = syncUnits;
        if (systemFrameRate > 0.0)
            settings.HeaderValue = static_cast<std::int64_t>(SampleClockHz / systemFrameRate);
        for (std::uint32_t unit : syncUnits)
        {
            VAnalogueSourceSetSpec set;
            set.Value = unit;
            set.FirstText = VStringStd("zt:" + std::to_string(unit));
            set.SecondText = VStringStd("recorded analogue card");
            set.Reals[1] = systemFrameRate;
            for (std::uint32_t c = 0; c < AnalogueChannels; ++c)
                set.Sources.push_back(VAnalogueSourceSpec{c});
            settings.SourceSets.push_back(std::move(set));
        }
        analogue = std::make_unique<VX1DExport>();
        const std::string analoguePath = AnaloguePath(path);
        if (!analogue->Open(analoguePath, settings))
        {
            error = "cannot record into " + analoguePath + ": " + analogue->GetError();
            if (writer)
                writer->Close();
            return false;
        }
    }

    std::lock_guard<std::mutex> lock(m_Lock);
    m_Path = path;
    m_CameraIndex.clear();
    for (std::size_t i = 0; i < cameras.size(); ++i)
        m_CameraIndex[cameras[i].DeviceId] = i;
    m_UnitIndex.clear();
    for (std::size_t i = 0; i < syncUnits.size(); ++i)
        m_UnitIndex[syncUnits[i]] = i;
    m_Cameras = std::move(cameras);
    m_Units = std::move(syncUnits);
    m_UnitSends.assign(m_Units.size(), false);
    m_FirstCentroids.assign(m_Cameras.size(), std::nullopt);
    m_FirstGreyscale.assign(m_Cameras.size(), std::nullopt);
    m_FirstAnalogue.assign(m_Units.size(), std::nullopt);
    m_Export = std::move(writer);
    m_AnalogueExport = std::move(analogue);
    m_Gathering.clear();
    m_Queue.clear();
    m_HasNewest = false;
    m_HasWritten = false;
    m_Stopping = false;
    m_WriteFailed = false;
    m_WriteError.clear();
    m_Counts = VRecorderCounts{};
    m_Open = true;
    m_Writer =
        std::make_unique<VFunctionThread>("tsmhost-record", [this](VThread&) { WriterLoop(); });
    m_Writer->Start();
    return true;
}

std::string VFrameRecorder::GetAnaloguePath() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Units.empty() ? std::string() : AnaloguePath(m_Path);
}

bool VFrameRecorder::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Open;
}

VRecorderCounts VFrameRecorder::GetCounts() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Counts;
}

void VFrameRecorder::AddStreamFrame(std::uint32_t deviceId, bool greyscale,
                                    VCameraStreamFrame& frame)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_Open || m_Stopping)
        return;
    const auto camera = m_CameraIndex.find(deviceId);
    const std::uint32_t number = frame.Trailer.FrameNumber;
    VFrame* gathered = camera != m_CameraIndex.end() ? Gather(number) : nullptr;
    if (gathered == nullptr)
    {
        ++m_Counts.StreamFramesLate;
        return;
    }
    VCameraFrame& slot = gathered->Cameras[camera->second];
    bool& has = greyscale ? slot.HasGreyscale : slot.HasCentroids;
    if (has)
    {
        ++m_Counts.StreamFramesLate; // a repeated frame: the first one stays
        return;
    }
    has = true;
    NoteFirst((greyscale ? m_FirstGreyscale : m_FirstCentroids)[camera->second], number);
    (greyscale ? slot.Greyscale : slot.Centroids) = std::move(frame);
    frame.Clear();
    if (!m_HasNewest || number > m_Newest)
    {
        m_Newest = number;
        m_HasNewest = true;
    }
    FlushReady(false);
}

void VFrameRecorder::AddAnalogueFrame(std::uint32_t deviceId, std::uint32_t frame,
                                      std::uint16_t instants, std::uint64_t channelMask,
                                      std::vector<std::uint8_t>& samples)
{
    std::vector<std::uint8_t> taken;
    taken.swap(samples);
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_Open || m_Stopping)
        return;
    const auto unit = m_UnitIndex.find(deviceId);
    // From now on the unit's frames are waited for, also when this first one came too late.
    if (unit != m_UnitIndex.end())
        m_UnitSends[unit->second] = true;
    VFrame* gathered = unit != m_UnitIndex.end() ? Gather(frame) : nullptr;
    if (gathered == nullptr)
    {
        ++m_Counts.StreamFramesLate;
        return;
    }
    VUnitFrame& slot = gathered->Units[unit->second];
    if (slot.Has)
    {
        ++m_Counts.StreamFramesLate;
        return;
    }
    slot.Has = true;
    NoteFirst(m_FirstAnalogue[unit->second], frame);
    slot.Instants = instants;
    slot.ChannelMask = channelMask;
    slot.Samples = std::move(taken);
    if (!m_HasNewest || frame > m_Newest)
    {
        m_Newest = frame;
        m_HasNewest = true;
    }
    FlushReady(false);
}

VFrameRecorder::VFrame* VFrameRecorder::Gather(std::uint32_t number)
{
    if (m_HasWritten && number < m_NextWritable)
        return nullptr;
    VFrame& gathered = m_Gathering[number];
    if (gathered.Cameras.size() != m_Cameras.size() || gathered.Units.size() != m_Units.size())
    {
        gathered.Number = number;
        gathered.Cameras.resize(m_Cameras.size());
        gathered.Units.resize(m_Units.size());
    }
    return &gathered;
}

bool VFrameRecorder::IsComplete(const VFrame& frame) const
{
    for (std::size_t i = 0; i < frame.Cameras.size(); ++i)
    {
        const VCameraFrame& camera = frame.Cameras[i];
        if (!camera.HasGreyscale || (!m_Cameras[i].Protocol2 && !camera.HasCentroids))
            return false;
    }
    for (std::size_t i = 0; i < frame.Units.size(); ++i)
    {
        if (m_UnitSends[i] && !frame.Units[i].Has)
            return false;
    }
    return true;
}

void VFrameRecorder::NoteFirst(std::optional<std::uint32_t>& first, std::uint32_t number)
{
    if (!first || number < *first)
        first = number;
}

bool VFrameRecorder::PrecedesMissingStreams(const VFrame& frame) const
{
    const auto beganLater = [&frame](const std::optional<std::uint32_t>& first)
    { return first && *first > frame.Number; };
    for (std::size_t i = 0; i < frame.Cameras.size(); ++i)
    {
        const VCameraFrame& camera = frame.Cameras[i];
        if (!camera.HasGreyscale && !beganLater(m_FirstGreyscale[i]))
            return false;
        if (!m_Cameras[i].Protocol2 && !camera.HasCentroids && !beganLater(m_FirstCentroids[i]))
            return false;
    }
    for (std::size_t i = 0; i < frame.Units.size(); ++i)
    {
        if (m_UnitSends[i] && !frame.Units[i].Has && !beganLater(m_FirstAnalogue[i]))
            return false;
    }
    return true;
}

void VFrameRecorder::FlushReady(bool all)
{
    while (!m_Gathering.empty())
    {
        auto oldest = m_Gathering.begin();
        const bool complete = IsComplete(oldest->second);
        const bool overtaken = m_HasNewest && m_Newest - oldest->first >= WindowFrames;
        if (!all && !complete && !overtaken && m_Gathering.size() <= WindowFrames)
            return;
        m_NextWritable = oldest->first + 1;
        m_HasWritten = true;
        // A stream that began after this frame did not lose it: on the wire the rig's start
        // reaches the devices a tick apart now and then. Like the frames the stop cuts off,
        // it is left out, so the recording starts on complete frames.
        if (!complete && PrecedesMissingStreams(oldest->second))
            ++m_Counts.FramesCutOff;
        else
        {
            if (!complete)
                ++m_Counts.FramesPartial;
            Enqueue(std::move(oldest->second));
        }
        m_Gathering.erase(oldest);
    }
}

void VFrameRecorder::Enqueue(VFrame&& frame)
{
    if (m_Queue.size() >= QueueLimit)
    {
        ++m_Counts.FramesDropped;
        return;
    }
    m_Queue.push_back(std::move(frame));
    m_Wake.notify_one();
}

void VFrameRecorder::WriterLoop()
{
    std::unique_lock<std::mutex> lock(m_Lock);
    for (;;)
    {
        m_Wake.wait(lock, [this] { return !m_Queue.empty() || m_Stopping; });
        if (m_Queue.empty())
            return; // stopping, and everything is written
        VFrame frame = std::move(m_Queue.front());
        m_Queue.pop_front();
        lock.unlock();
        const bool written = WriteFrame(frame);
        lock.lock();
        if (written)
            ++m_Counts.FramesWritten;
        else if (!m_WriteFailed)
        {
            m_WriteFailed = true;
            m_WriteError = m_Export && !m_Export->GetError().empty()
                               ? m_Export->GetError()
                               : (m_AnalogueExport ? m_AnalogueExport->GetError() : "");
        }
    }
}

bool VFrameRecorder::WriteFrame(const VFrame& frame)
{
    const bool cameras = !m_Export || WriteCameras(frame);
    const bool units = !m_AnalogueExport || WriteUnits(frame);
    return cameras && units;
}

bool VFrameRecorder::WriteUnits(const VFrame& frame)
{
    const std::uint32_t count = static_cast<std::uint32_t>(frame.Units.size());
    VAnalogueBlockFrame analogue;
    analogue.Resize(count);
    std::vector<std::uint8_t> channel;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const VUnitFrame& unit = frame.Units[i];
        VAnalogueBlockSet& set = *analogue.GetSetDirect(i);
        set.SetName(VStringStd("zt:" + std::to_string(m_Units[i])));
        FillChannels(unit.Has ? unit.Instants : 0, unit.Has ? unit.ChannelMask : 0, unit.Samples,
                     set, channel);
    }
    return m_AnalogueExport->WriteFrame(frame.Number, &analogue);
}

bool VFrameRecorder::WriteCameras(const VFrame& frame)
{
    const std::uint32_t count = static_cast<std::uint32_t>(frame.Cameras.size());
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame blobs;
    VEdgePairFrame edges;
    centroids.Resize(count);
    tracks.Resize(count);
    blobs.Resize(count);
    edges.Resize(count);
    std::vector<IGreyscaleLineData> lines;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const VCameraFrame& camera = frame.Cameras[i];
        const VStringStd name("zt:" + std::to_string(m_Cameras[i].DeviceId));
        centroids.GetSetDirect(i)->SetName(name);
        tracks.GetSetDirect(i)->SetName(name.Str());
        blobs.GetSetDirect(i)->SetName(name);
        edges.GetSetDirect(i)->SetName(name);
        if (camera.HasCentroids)
        {
            FillCentroids(camera.Centroids, *centroids.GetSetDirect(i));
            FillTracks(camera.Centroids, *tracks.GetSetDirect(i));
        }
        if (camera.HasGreyscale)
        {
            FillBlobs(camera.Greyscale, *blobs.GetSetDirect(i), lines);
            FillEdges(camera.Greyscale, *edges.GetSetDirect(i));
        }
    }
    return m_Export->WriteFrame(frame.Number, &centroids, &tracks, &blobs, &edges);
}

bool VFrameRecorder::Close(std::string& error)
{
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (!m_Open)
            return !m_WriteFailed;
        FlushReady(false);
        // What is still gathered was on the way when the rig stopped: whole frames are
        // written, the rest were cut off by the stop (losses on the way were counted by the
        // host and flushed with the window long before).
        for (auto& [number, frame] : m_Gathering)
        {
            if (!IsComplete(frame))
            {
                ++m_Counts.FramesCutOff;
                continue;
            }
            m_NextWritable = number + 1;
            m_HasWritten = true;
            Enqueue(std::move(frame));
        }
        m_Gathering.clear();
        m_Stopping = true;
        m_Wake.notify_all();
    }
    if (m_Writer)
    {
        m_Writer->Stop();
        m_Writer.reset();
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Open = false;
    for (VTrialExportBase* writer : {static_cast<VTrialExportBase*>(m_Export.get()),
                                     static_cast<VTrialExportBase*>(m_AnalogueExport.get())})
    {
        if (writer != nullptr && !writer->Close() && !m_WriteFailed)
        {
            m_WriteFailed = true;
            m_WriteError = writer->GetError();
        }
    }
    if (m_WriteFailed)
        error = "cannot write the recording " + m_Path + ": " + m_WriteError;
    return !m_WriteFailed;
}
