#include "devices/camerawire/VCentroidStreamWriter.h"

#include "devices/IDatagramSink.h"

std::uint32_t VCentroidStreamWriter::SendFrame(IDatagramSink& sink,
                                               std::span<const ICentroidData> centroids,
                                               std::span<const ICentroidTrackData> tracks,
                                               const CentroidFrameInfo& info)
{
    BeginFrame(sink);
    for (const ICentroidData& centroid : centroids)
        AddCentroid(centroid);
    std::uint32_t position = 0;
    for (const ICentroidTrackData& track : tracks)
        AddTrack(position++, track);
    return EndFrame(info);
}

void VCentroidStreamWriter::BeginFrame(IDatagramSink& sink)
{
    m_Sink = &sink;
    m_TracksStarted = false;
    m_CentroidCount = 0;
    m_TrackCount = 0;
    m_BytesSent = 0;
    m_Fill = 0;
}

bool VCentroidStreamWriter::AddCentroid(double x, double y, double radius, double fraction)
{
    if (m_Sink == nullptr || m_TracksStarted)
        return false;
    CentroidRecord::Encode(NextRecordSlot(), x, y, radius, fraction);
    ++m_CentroidCount;
    return true;
}

bool VCentroidStreamWriter::AddTrack(std::uint32_t position, const ICentroidTrackData& track)
{
    if (m_Sink == nullptr)
        return false;
    if (!m_TracksStarted)
    {
        // Tracks never share a datagram with centroids.
        Flush();
        m_TracksStarted = true;
    }
    TrackRecord::Encode(NextRecordSlot(), position, track);
    ++m_TrackCount;
    return true;
}

std::uint32_t VCentroidStreamWriter::EndFrame(const CentroidFrameInfo& info)
{
    if (m_Sink == nullptr)
        return 0;
    Flush();

    FrameTrailer trailer;
    trailer.StreamKind = CameraData::StreamKindCentroid;
    trailer.DeviceId = info.DeviceId;
    trailer.FrameNumber = info.FrameNumber;
    trailer.ByteCount = static_cast<std::uint32_t>(RecordSize) * (m_CentroidCount + m_TrackCount);
    trailer.CentroidCount = info.ReportCentroidCount ? m_CentroidCount : 0;
    trailer.PreviousFrame = info.PreviousFrame;
    trailer.Tracking = info.TrackingOn ? FrameTrailer::TrackingOn : 0;
    std::array<std::uint8_t, FrameTrailer::Size> bytes;
    trailer.Encode(bytes.data());
    if (m_Sink->Send(bytes.data(), bytes.size()))
        m_BytesSent += static_cast<std::uint32_t>(bytes.size());

    m_Sink = nullptr;
    return m_BytesSent;
}

void VCentroidStreamWriter::Flush()
{
    if (m_Fill == 0)
        return; // an empty list sends no datagram
    if (m_Sink->Send(m_Datagram.data(), m_Fill))
        m_BytesSent += static_cast<std::uint32_t>(m_Fill);
    m_Fill = 0;
}

std::uint8_t* VCentroidStreamWriter::NextRecordSlot()
{
    if (m_Fill == m_Datagram.size())
        Flush();
    std::uint8_t* slot = m_Datagram.data() + m_Fill;
    m_Fill += RecordSize;
    return slot;
}
