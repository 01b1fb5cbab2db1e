// Encodes and sends the centroid stream of one camera: centroid records, then track records,
// in datagrams of at most 87 records, then the end-of-frame trailer on its own.
#pragma once

#include "devices/camerawire/CameraRecords.h"

#include "FileIO/FrameRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

class IDatagramSink;

/// What the trailer of a centroid frame says besides the counts the writer keeps itself.
struct CentroidFrameInfo
{
    std::uint32_t DeviceId = 0;
    std::uint32_t FrameNumber = 0;
    std::uint32_t PreviousFrame = 0;
    /// Trial-file cameras put the number of centroid records at trailer offset 20; the
    /// synthetic generator puts 0.
    bool ReportCentroidCount = false;
    /// Trial-file cameras whose "Tracking" is "Generate" or "Read": 8 at trailer offset 32.
    bool TrackingOn = false;
};

/// Writes one frame at a time into a fixed datagram buffer: no allocation on the frame path.
/// Either call SendFrame with the frame's records, or build the frame step by step:
/// BeginFrame, AddCentroid for every centroid, AddTrack for every track, EndFrame. A full
/// datagram (87 records, 1392 bytes) goes out before the next record is written; the first
/// AddTrack sends
/// the centroids still waiting, so tracks always travel in datagrams of their own.
/// No state survives EndFrame except the buffer's storage.
///
/// Threading contract: one thread at a time (the frame thread of the owning source). Not
/// copyable (it holds the datagram buffer).
class VCentroidStreamWriter
{
public:
    static constexpr std::size_t RecordsPerDatagram = 87;
    static constexpr std::size_t RecordSize = CentroidRecord::Size;
    static_assert(TrackRecord::Size == RecordSize, "both record kinds share the datagram size");

    VCentroidStreamWriter() = default;
    VCentroidStreamWriter(const VCentroidStreamWriter&) = delete;
    VCentroidStreamWriter& operator=(const VCentroidStreamWriter&) = delete;

    /// Sends the whole frame: `centroids` in their order, then one track record per entry of
    /// `tracks` naming the centroid at the entry's index, then the trailer. Returns the bytes
    /// of the datagrams that went out (16 per record plus 36 when nothing was dropped).
    std::uint32_t SendFrame(IDatagramSink& sink, std::span<const ICentroidData> centroids,
                            std::span<const ICentroidTrackData> tracks,
                            const CentroidFrameInfo& info);

    /// Starts a frame sent through `sink`, which must stay valid until EndFrame. A frame left
    /// unfinished is abandoned: what it had not sent yet is discarded.
    void BeginFrame(IDatagramSink& sink);
    /// Adds the record made from x, y, radius and the fourth value `fraction`. False (and
    /// nothing added) outside a frame or once tracks have started.
    bool AddCentroid(double x, double y, double radius, double fraction);
    bool AddCentroid(const ICentroidData& centroid)
    {
        return AddCentroid(centroid.X, centroid.Y, centroid.Radius, centroid.Fraction);
    }
    /// Adds the track record of the centroid at `position`. False outside a frame.
    bool AddTrack(std::uint32_t position, const ICentroidTrackData& track);
    /// Sends what is waiting, then the trailer. Returns the bytes that went out for the frame;
    /// 0 outside a frame.
    std::uint32_t EndFrame(const CentroidFrameInfo& info);

    /// Records added to the current (or last) frame.
    std::uint32_t GetCentroidCount() const { return m_CentroidCount; }
    std::uint32_t GetTrackCount() const { return m_TrackCount; }

private:
    void Flush();
    std::uint8_t* NextRecordSlot();

    IDatagramSink* m_Sink = nullptr; // set between BeginFrame and EndFrame
    bool m_TracksStarted = false;
    std::uint32_t m_CentroidCount = 0;
    std::uint32_t m_TrackCount = 0;
    std::uint32_t m_BytesSent = 0;
    std::size_t m_Fill = 0; // bytes waiting in m_Datagram
    std::array<std::uint8_t, RecordsPerDatagram * RecordSize> m_Datagram{};
};
