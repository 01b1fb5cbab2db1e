// A generated trial replayed in-process through the devices' own stream encoders, decoded
// and recorded by the host, then checked with the replay comparison of tsmtrial: what was
// sent is what was recorded, with the wraps skipped.
#include "tsmhost/CameraStreamDecoder.h"
#include "tsmhost/VFrameRecorder.h"

#include "devices/IDatagramSink.h"
#include "devices/camerawire/VCentroidStreamWriter.h"
#include "devices/camerawire/VGreyscaleStreamAssembler.h"
#include "tsmtrial/VReplayDiff.h"
#include "tsmtrial/VX2DTrialGenerator.h"
#include "tsmtrial/VX2DTrialReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>

namespace
{

/// Hands each datagram straight to a decoder.
class VDecoderSink : public IDatagramSink
{
public:
    explicit VDecoderSink(VCameraStreamDecoder& decoder) : m_Decoder(decoder) {}
    bool Send(const std::uint8_t* bytes, std::size_t length) override
    {
        m_Decoder.Feed(bytes, length);
        return true;
    }

private:
    VCameraStreamDecoder& m_Decoder;
};

/// One simulated camera: its two streams, encoded and decoded, feeding the recorder.
struct VCameraLink
{
    VCameraLink(std::uint32_t id, VFrameRecorder& recorder)
        : Id(id), Centroids([this, &recorder](VCameraStreamFrame& f)
                            { recorder.AddStreamFrame(Id, false, f); }),
          Greyscale([this, &recorder](VCameraStreamFrame& f)
                    { recorder.AddStreamFrame(Id, true, f); })
    {
    }

    /// Sends trial camera frame `camera` (empty at a wrap) as frame `frame`.
    void Send(const VTrialCameraFrame* camera, std::uint32_t frame, std::uint32_t previous)
    {
        CentroidFrameInfo centroidInfo;
        centroidInfo.DeviceId = Id;
        centroidInfo.FrameNumber = frame;
        centroidInfo.PreviousFrame = previous;
        centroidInfo.ReportCentroidCount = true;
        VDecoderSink centroidSink(Centroids);
        GreyscaleFrameInfo greyInfo;
        greyInfo.DeviceId = Id;
        greyInfo.FrameNumber = frame;
        greyInfo.PreviousFrame = previous;
        VDecoderSink greySink(Greyscale);
        if (camera == nullptr)
        {
            Writer.SendFrame(centroidSink, {}, {}, centroidInfo);
            Assembler.SendFrame(greySink, greyInfo, {}, {});
            return;
        }
        Writer.SendFrame(centroidSink, camera->Centroids, {}, centroidInfo);
        std::vector<std::vector<IGreyscaleLineData>> lines;
        std::vector<IGreyscaleBlobData> blobs;
        for (const VTrialBlob& blob : camera->Blobs)
        {
            lines.emplace_back();
            for (const VTrialLine& line : blob.Lines)
                lines.back().push_back({line.Column, line.Line, line.Pixels.data(),
                                        static_cast<std::uint16_t>(line.Pixels.size())});
        }
        for (std::size_t b = 0; b < camera->Blobs.size(); ++b)
            blobs.push_back({lines[b].empty() ? nullptr : lines[b].data(),
                             static_cast<std::uint16_t>(lines[b].size()), camera->Blobs[b].Flag});
        Assembler.SendFrame(greySink, greyInfo, blobs, camera->Edges);
    }

    const std::uint32_t Id;
    VCentroidStreamWriter Writer;
    VGreyscaleStreamAssembler Assembler;
    VCameraStreamDecoder Centroids;
    VCameraStreamDecoder Greyscale;
};

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() /
            ("tsmhost-" + std::to_string(getpid()) + "-" + name))
        .string();
}

} // namespace

TEST(RecordReplay, WhatTheReplaySentIsWhatWasRecorded)
{
    VX2DGeneratorSettings settings;
    settings.Cameras = 3;
    settings.Frames = 40;
    settings.Markers = 12;
    const std::string trialPath = TempPath("replay-source.x2d");
    const std::string recordingPath = TempPath("replay-recording.x2d");
    std::string error;
    ASSERT_TRUE(WriteX2DTrial(trialPath, settings, error)) << error;
    VX2DTrialReader source(trialPath);
    ASSERT_TRUE(source.IsOpen());
    const VTrialInfo info = source.GetInfo();

    VFrameRecorder recorder;
    std::vector<VRecordedCamera> cameras;
    for (const CameraInfoRecord& camera : info.Cameras)
        cameras.push_back(
            {camera.CameraId, camera.SensorWidth, camera.SensorHeight, camera.TypeName, false});
    ASSERT_TRUE(recorder.Open(recordingPath, cameras, 100.0, error)) << error;
    std::vector<std::unique_ptr<VCameraLink>> links;
    for (const CameraInfoRecord& camera : info.Cameras)
        links.push_back(std::make_unique<VCameraLink>(camera.CameraId, recorder));

    // Frames 0 to 99 replay the 40 trial frames two and a half times, as the cameras do:
    // trial frame (number mod 40), nothing at a wrap.
    const std::uint32_t frames = 100;
    VTrialFrame trialFrame;
    for (std::uint32_t n = 0; n < frames; ++n)
    {
        const std::uint32_t index = n % settings.Frames;
        const std::uint32_t previous = n == 0 ? 0 : n - 1;
        const bool wrap = index <= previous % settings.Frames;
        if (!wrap)
        {
            ASSERT_TRUE(source.ReadFrame(index, trialFrame));
        }
        for (std::size_t c = 0; c < links.size(); ++c)
            links[c]->Send(wrap ? nullptr : &trialFrame.Cameras[c], n, previous);
    }
    ASSERT_TRUE(recorder.Close(error)) << error;
    const VRecorderCounts counts = recorder.GetCounts();
    EXPECT_EQ(counts.FramesWritten, frames);
    EXPECT_EQ(counts.FramesPartial, 0u);

    VX2DTrialReader recording(recordingPath);
    ASSERT_TRUE(recording.IsOpen());
    EXPECT_EQ(recording.GetFrameCount(), frames);
    const VReplayDiffResult result = VReplayDiff::Compare(source, recording);
    EXPECT_TRUE(result.IsEqual()) << result.FirstDifference << " at frame "
                                  << result.FirstFrameNumber;
    EXPECT_EQ(result.FramesSkipped, 3u); // frames 0, 40 and 80
    EXPECT_EQ(result.FramesCompared, frames - 3);

    std::filesystem::remove(trialPath);
    std::filesystem::remove(recordingPath);
}
