#include "tsmtrial/VX1DTrialGenerator.h"

#include "FileIO/ByteCodec.h"
#include "tsmtrial/TrialOutputFile.h"
#include "tsmtrial/VSeededRandom.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{

constexpr std::uint32_t kMaxDevices = 64;
constexpr std::uint32_t kMaxChannels = 64;
constexpr std::uint32_t kMaxFrames = 100000000;
constexpr std::uint32_t kMaxSamplesPerFrame = 65536;
constexpr double kClockRate = 135000000.0;
constexpr std::uint64_t kChannelStream = 11;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::uint32_t SamplesPerFrame(double sampleRate, double rate)
{
    const double samples = std::round(sampleRate / rate);
    return samples >= 1.0
               ? static_cast<std::uint32_t>(std::min<double>(samples, kMaxSamplesPerFrame))
               : 1;
}

} // namespace

bool VX1DTrialGenerator::Validate(const VX1DGeneratorSettings& settings, std::string& error)
{
    if (settings.Devices < 1 || settings.Devices > kMaxDevices)
    {
        error = "The number of analogue devices must lie between 1 and " +
                std::to_string(kMaxDevices) + ".";
        return false;
    }
    if (settings.Channels < 1 || settings.Channels > kMaxChannels)
    {
        error =
            "The number of channels must lie between 1 and " + std::to_string(kMaxChannels) + ".";
        return false;
    }
    if (settings.Frames < 1 || settings.Frames > kMaxFrames)
    {
        error = "The number of frames must lie between 1 and " + std::to_string(kMaxFrames) + ".";
        return false;
    }
    if (!(settings.Rate >= 1.0 && settings.Rate <= 10000.0))
    {
        error = "The frame rate must lie between 1 and 10000 Hz.";
        return false;
    }
    if (!(settings.SampleRate >= settings.Rate / 2.0 &&
          settings.SampleRate / settings.Rate <= kMaxSamplesPerFrame))
    {
        error = "The sample rate must give between 1 and " + std::to_string(kMaxSamplesPerFrame) +
                " samples per frame.";
        return false;
    }
    if (settings.Version < 1 || settings.Version > 2)
    {
        error = "X1D files are written in versions 1 and 2.";
        return false;
    }
    if (settings.FirstFrame > ~std::uint32_t{0} - (settings.Frames - 1))
    {
        error = "The frame numbers would run past 4294967295.";
        return false;
    }
    return true;
}

VX1DTrialGenerator::VX1DTrialGenerator(const VX1DGeneratorSettings& settings) : m_Settings(settings)
{
    m_Settings.Devices = std::clamp<std::uint32_t>(m_Settings.Devices, 1, kMaxDevices);
    m_Settings.Channels = std::clamp<std::uint32_t>(m_Settings.Channels, 1, kMaxChannels);
    if (!(m_Settings.Rate >= 1.0 && m_Settings.Rate <= 10000.0))
    {
        m_Settings.Rate = 100.0;
    }
    if (!(m_Settings.SampleRate > 0.0) || !std::isfinite(m_Settings.SampleRate))
    {
        m_Settings.SampleRate = m_Settings.Rate;
    }
    m_SamplesPerFrame = SamplesPerFrame(m_Settings.SampleRate, m_Settings.Rate);
    const double samplesPerSecond = m_SamplesPerFrame * m_Settings.Rate;

    VSeededRandom random(VSeededRandom::Derive(m_Settings.Seed, kChannelStream));
    m_Channels.resize(std::size_t{m_Settings.Devices} * m_Settings.Channels);
    for (VChannel& channel : m_Channels)
    {
        channel.Amplitude = std::round(random.Uniform(1000.0, 12000.0));
        channel.Frequency = kTwoPi * random.Uniform(0.5, 10.0) / samplesPerSecond;
        channel.Phase = random.Uniform(0.0, kTwoPi);
    }

    m_Export = VX1DExportSettings{};
    m_Export.Version = m_Settings.Version;
    m_Export.DeviceCount = m_Settings.Devices;
    if (m_Settings.WriteHeaderValue)
    {
        m_Export.HeaderValue = m_Settings.HeaderValue.value_or(
            static_cast<std::int64_t>(kClockRate / m_Settings.Rate));
    }
    for (std::uint32_t d = 0; d < m_Settings.Devices; ++d)
    {
        m_Export.DeviceIds.push_back(d + 1);
        VAnalogueSourceSetSpec set;
        set.Value = d;
        set.FirstText = VStringStd("Analogue " + std::to_string(d));
        set.SecondText = VStringStd("sine");
        set.Reals[0] = m_Settings.SampleRate;
        set.Reals[1] = m_Settings.Rate;
        set.Reals[2] = m_SamplesPerFrame;
        for (std::uint32_t c = 0; c < m_Settings.Channels; ++c)
        {
            set.Sources.push_back(VAnalogueSourceSpec{c});
        }
        m_Export.SourceSets.push_back(std::move(set));
    }
}

std::int16_t VX1DTrialGenerator::SampleAt(std::uint32_t device, std::uint32_t channel,
                                          std::uint64_t sample) const
{
    const std::size_t slot = std::size_t{device} * m_Settings.Channels + channel;
    if (device >= m_Settings.Devices || channel >= m_Settings.Channels)
    {
        return 0;
    }
    const VChannel& c = m_Channels[slot];
    const double value =
        c.Amplitude * std::sin(c.Frequency * static_cast<double>(sample) + c.Phase);
    return static_cast<std::int16_t>(std::clamp(std::round(value), -32768.0, 32767.0));
}

std::uint32_t VX1DTrialGenerator::FrameAt(std::uint32_t index, VAnalogueBlockFrame& frame) const
{
    frame.Resize(m_Settings.Devices);
    std::vector<std::uint8_t> bytes(std::size_t{m_SamplesPerFrame} * 2);
    const std::uint64_t firstSample = std::uint64_t{index} * m_SamplesPerFrame;
    for (std::uint32_t d = 0; d < m_Settings.Devices; ++d)
    {
        VAnalogueBlockSet& set = *frame.GetSetDirect(d);
        set.Clear();
        set.SetName(VStringStd("analogue:" + std::to_string(d)));
        for (std::uint32_t c = 0; c < m_Settings.Channels; ++c)
        {
            for (std::uint32_t s = 0; s < m_SamplesPerFrame; ++s)
            {
                const auto sample = static_cast<std::uint16_t>(SampleAt(d, c, firstSample + s));
                LittleEndian::StoreUnsigned(bytes.data() + 2 * s, sample, 2);
            }
            set.AppendData(
                IAnalogueBlockData{bytes.data(), static_cast<std::uint32_t>(bytes.size())});
        }
    }
    return m_Settings.FirstFrame + index;
}

bool WriteX1DTrial(const std::string& path, const VX1DGeneratorSettings& settings,
                   std::string& error, IProgress* progress)
{
    if (!VX1DTrialGenerator::Validate(settings, error))
    {
        return false;
    }
    const VX1DTrialGenerator generator(settings);
    VTrialOutputFile output(path);
    VX1DExport writer;
    if (!writer.Open(output.GetWorkingPath(), generator.GetExportSettings()))
    {
        error = writer.GetError();
        return false;
    }
    const std::uint64_t frameBytes =
        10 + std::uint64_t{generator.GetSettings().Devices} *
                 (10 + 10 +
                  std::uint64_t{generator.GetSettings().Channels} *
                      (8 + 2 * std::uint64_t{generator.GetSamplesPerFrame()}));
    if (progress != nullptr)
    {
        progress->Begin(settings.Frames, frameBytes * settings.Frames);
    }
    VAnalogueBlockFrame frame;
    bool ok = true;
    for (std::uint32_t i = 0; i < settings.Frames && ok; ++i)
    {
        const std::uint32_t frameNumber = generator.FrameAt(i, frame);
        ok = writer.WriteFrame(frameNumber, &frame);
        if (progress != nullptr)
        {
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
