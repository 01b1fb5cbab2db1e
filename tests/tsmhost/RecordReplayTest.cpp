// A generated trial replayed in-process through the devices' own stream encoders, decoded
// and recorded by the host, then checked with the replay comparison of tsmtrial: what was
// sent is what was recorded, with the wraps skipped.
#include "tsmhost/CameraStreamDecoder.h"
#include "tsmhost/SyncUnitStreamDecoder.h"
#include "tsmhost/VFrameRecorder.h"

#include "FileIO/X2DIO/VX1DHolder.h"
#include "devices/IDatagramSink.h"
#include "devices/camerawire/VCentroidStreamWriter.h"
#include "devices/camerawire/VGreyscaleStreamAssembler.h"
#include "devices/syncunit/VFakeSourceAnalogueX1D.h"
#include "support/VParamTable.h"
#include "support/VTempDir.h"
#include "tsmtrial/VReplayDiff.h"
#include "tsmtrial/VX1DTrialGenerator.h"
#include "tsmtrial/VX1DTrialReader.h"
#include "tsmtrial/VX2DTrialGenerator.h"
#include "tsmtrial/VX2DTrialReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

    /// Sends trial camera frame `camera` (empty at a wrap) as frame `frame`; without
    /// `withGreyscale` only its centroid stream.
    void Send(const VTrialCameraFrame* camera, std::uint32_t frame, std::uint32_t previous,
              bool withGreyscale = true)
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
        if (!withGreyscale)
            return;
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

/// Collects one analogue frame's datagrams and, at its trailer, hands the samples to the
/// recorder as the host does (optionally with one sample byte changed).
class VAnalogueLink : public IDatagramSink
{
public:
    explicit VAnalogueLink(VFrameRecorder& recorder) : m_Recorder(recorder) {}
    bool Send(const std::uint8_t* bytes, std::size_t length) override
    {
        VAnalogueTrailer trailer;
        if (!DecodeAnalogueTrailer(bytes, length, trailer))
        {
            m_Samples.insert(m_Samples.end(), bytes, bytes + length);
            return true;
        }
        EXPECT_EQ(CheckAnalogueTrailer(trailer), "");
        EXPECT_EQ(trailer.DataBytes, m_Samples.size());
        if (CorruptFrame == trailer.FrameNumber && !m_Samples.empty())
            m_Samples[m_Samples.size() / 2] ^= 0x01;
        m_Recorder.AddAnalogueFrame(trailer.DeviceId, trailer.FrameNumber, trailer.Instants,
                                    trailer.ChannelMask, m_Samples);
        EXPECT_TRUE(m_Samples.empty());
        return true;
    }

    std::optional<std::uint32_t> CorruptFrame;

private:
    VFrameRecorder& m_Recorder;
    std::vector<std::uint8_t> m_Samples;
};

/// A generated camera trial, a recorder open on a recording in the same folder, and one
/// camera link per camera of the trial.
struct VCameraRecording
{
    VCameraRecording(std::uint32_t frames, std::uint32_t markers)
    {
        VX2DGeneratorSettings settings;
        settings.Cameras = 3;
        settings.Frames = frames;
        settings.Markers = markers;
        std::string error;
        EXPECT_TRUE(WriteX2DTrial(TrialPath, settings, error)) << error;
        Source = std::make_unique<VX2DTrialReader>(TrialPath);
        EXPECT_TRUE(Source->IsOpen());
        const VTrialInfo info = Source->GetInfo();
        std::vector<VRecordedCamera> cameras;
        for (const CameraInfoRecord& camera : info.Cameras)
            cameras.push_back(
                {camera.CameraId, camera.SensorWidth, camera.SensorHeight, camera.TypeName, false});
        EXPECT_TRUE(Recorder.Open(RecordingPath, cameras, {}, 100.0, error)) << error;
        for (const CameraInfoRecord& camera : info.Cameras)
            Links.push_back(std::make_unique<VCameraLink>(camera.CameraId, Recorder));
    }

    const testsupport::VTempDir Temp;
    const std::string TrialPath = Temp.File("source.x2d");
    const std::string RecordingPath = Temp.File("recording.x2d");
    std::unique_ptr<VX2DTrialReader> Source;
    VFrameRecorder Recorder;
    std::vector<std::unique_ptr<VCameraLink>> Links;
};

} // namespace

TEST(RecordReplay, WhatTheReplaySentIsWhatWasRecorded)
{
    VCameraRecording bench(40, 12);
    ASSERT_FALSE(HasFailure());
    VX2DTrialReader& source = *bench.Source;
    auto& links = bench.Links;
    VFrameRecorder& recorder = bench.Recorder;
    const std::string& recordingPath = bench.RecordingPath;
    std::string error;
    const std::uint32_t trialFrames = 40;

    // Frames 0 to 99 replay the 40 trial frames two and a half times, as the cameras do:
    // trial frame (number mod 40), nothing at a wrap.
    const std::uint32_t frames = 100;
    VTrialFrame trialFrame;
    for (std::uint32_t n = 0; n < frames; ++n)
    {
        const std::uint32_t index = n % trialFrames;
        const std::uint32_t previous = n == 0 ? 0 : n - 1;
        const bool wrap = index <= previous % trialFrames;
        if (!wrap)
        {
            ASSERT_TRUE(source.ReadFrame(index, trialFrame));
        }
        for (std::size_t c = 0; c < links.size(); ++c)
            links[c]->Send(wrap ? nullptr : &trialFrame.Cameras[c], n, previous);
    }
    // The rig stops while frame 100 is on the way: its greyscale never comes. It is left out,
    // not written with the stream missing.
    ASSERT_TRUE(source.ReadFrame(frames % trialFrames, trialFrame));
    for (std::size_t c = 0; c < links.size(); ++c)
        links[c]->Send(&trialFrame.Cameras[c], frames, frames - 1, c != 1);
    ASSERT_TRUE(recorder.Close(error)) << error;
    const VRecorderCounts counts = recorder.GetCounts();
    EXPECT_EQ(counts.FramesWritten, frames);
    EXPECT_EQ(counts.FramesPartial, 0u);
    EXPECT_EQ(counts.FramesCutOff, 1u);

    VX2DTrialReader recording(recordingPath);
    ASSERT_TRUE(recording.IsOpen());
    EXPECT_EQ(recording.GetFrameCount(), frames);
    const VReplayDiffResult result = VReplayDiff::Compare(source, recording);
    EXPECT_TRUE(result.IsEqual()) << result.FirstDifference << " at frame "
                                  << result.FirstFrameNumber;
    EXPECT_EQ(result.FramesSkipped, 3u); // frames 0, 40 and 80
    EXPECT_EQ(result.FramesCompared, frames - 3);
}

TEST(RecordReplay, ARecordingStartsOnAFrameEveryStreamSentAndStillShowsALoss)
{
    VCameraRecording bench(40, 5);
    ASSERT_FALSE(HasFailure());
    auto& links = bench.Links;
    std::string error;

    // Camera 1 begins a frame after the others, as the rig's start sometimes reaches a
    // device a tick later; camera 2's greyscale of frame 20 is lost on the way.
    const std::uint32_t frames = 60;
    VTrialFrame trialFrame;
    for (std::uint32_t n = 0; n < frames; ++n)
    {
        ASSERT_TRUE(bench.Source->ReadFrame(n % 40, trialFrame));
        for (std::size_t c = 0; c < links.size(); ++c)
        {
            if (c == 1 && n == 0)
                continue;
            links[c]->Send(&trialFrame.Cameras[c], n, n == 0 ? 0 : n - 1, c != 2 || n != 20);
        }
    }
    ASSERT_TRUE(bench.Recorder.Close(error)) << error;
    const VRecorderCounts counts = bench.Recorder.GetCounts();
    EXPECT_EQ(counts.FramesCutOff, 1u) << "frame 0, from before camera 1 began";
    EXPECT_EQ(counts.FramesPartial, 1u) << "frame 20, which camera 2 lost";
    EXPECT_EQ(counts.FramesWritten, frames - 1);

    VX2DTrialReader recording(bench.RecordingPath);
    ASSERT_TRUE(recording.IsOpen());
    EXPECT_EQ(recording.GetFrameCount(), frames - 1);
}

TEST(RecordReplay, WhatTheSyncUnitSentIsWhatWasRecorded)
{
    // 8 channels of 10 samples per frame; the unit runs at 3000 Hz: 30 instants a frame,
    // interpolated across frame ends, channel 9 absent from the file (zeros).
    VX1DGeneratorSettings settings;
    settings.Channels = 8;
    settings.Frames = 37;
    settings.SampleRate = 1000.0;
    const testsupport::VTempDir temp;
    const std::string trialPath = temp.File("replay-source.x1d");
    std::string error;
    ASSERT_TRUE(WriteX1DTrial(trialPath, settings, error)) << error;
    const std::shared_ptr<VX1DHolder> trial = VX1DHolder::Open(trialPath);
    ASSERT_NE(trial, nullptr);
    testsupport::VParamTable params;
    params.Set("SystemFrameRate", "100");
    params.Set("AnalogueSlot0SampleRate", "3000");
    for (int channel : {0, 3, 7, 9})
        params.Set("AnalogueSlot0Channel" + std::to_string(channel) + "Enabled", 1);
    constexpr std::uint32_t unit = 0x02000001;

    for (const std::optional<std::uint32_t> corrupt :
         {std::optional<std::uint32_t>(), std::optional<std::uint32_t>(50)})
    {
        const std::string recordingPath = temp.File("replay-recording.x2d");
        VFrameRecorder recorder;
        ASSERT_TRUE(recorder.Open(recordingPath, {}, {unit}, 100.0, error)) << error;
        EXPECT_EQ(recorder.GetAnaloguePath(), temp.File("replay-recording.x1d"));
        VAnalogueLink link(recorder);
        link.CorruptFrame = corrupt;
        VFakeSourceTarget target;
        target.DeviceId = unit;
        VFakeSourceAnalogueX1D card(params, target, trial, 0, 0);
        card.SetSink(&link);
        // Frames 0 to 99 run through the 37 trial frames almost three times.
        for (std::uint32_t n = 0; n < 100; ++n)
        {
            std::uint32_t bytes = 0;
            card.SendFrame(n, n == 0 ? 0 : n - 1, bytes);
        }
        ASSERT_TRUE(recorder.Close(error)) << error;
        EXPECT_EQ(recorder.GetCounts().FramesWritten, 100u);

        VX1DTrialReader source(trialPath);
        VX1DTrialReader recording(recorder.GetAnaloguePath());
        ASSERT_TRUE(recording.IsOpen());
        const VReplayDiffResult result = VReplayDiff::Compare(source, recording);
        if (!corrupt)
        {
            EXPECT_TRUE(result.IsEqual())
                << result.FirstDifference << " at frame " << result.FirstFrameNumber;
            EXPECT_EQ(result.FramesCompared, 100u);
        }
        else
        {
            EXPECT_FALSE(result.IsEqual());
            EXPECT_EQ(result.FramesDifferent, 1u);
            EXPECT_EQ(result.FirstFrameNumber, 50u);
            EXPECT_EQ(result.FirstSourceIndex, 13u);
            EXPECT_NE(result.FirstDifference.find("channel"), std::string::npos)
                << result.FirstDifference;
        }
        std::filesystem::remove(recorder.GetAnaloguePath());
    }
    std::filesystem::remove(trialPath);
}
