// Deterministic synthetic analogue trials: sine channels per analogue device, written as
// X1D files.
#pragma once

#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/X2DIO/VX1DExport.h"
#include "tsmtrial/IProgress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// What to generate.
struct VX1DGeneratorSettings
{
    std::uint32_t Devices = 1;
    /// Analogue channels per device.
    std::uint32_t Channels = 8;
    std::uint32_t Frames = 300;
    /// System frame rate in Hz.
    double Rate = 100.0;
    /// Analogue samples per second per channel; a frame holds SampleRate / Rate of them
    /// (rounded, at least 1).
    double SampleRate = 1000.0;
    /// X1D version, 1 or 2.
    std::int32_t Version = 2;
    std::uint64_t Seed = 1;
    std::uint32_t FirstFrame = 1;
    /// The optional 8-byte header value; by default the ticks of the 135 MHz clock in one
    /// frame. Set WriteHeaderValue false to leave it out.
    std::optional<std::int64_t> HeaderValue;
    bool WriteHeaderValue = true;
};

/// Generates the frames of a synthetic analogue trial.
///
/// Device d carries Channels channels; channel c is a sine of its own amplitude (1000 to
/// 12000), frequency (0.5 to 10 Hz) and phase, drawn from the seed, continuous across frames.
/// In each frame, set d holds one analogue block per channel, in channel order, each the
/// channel's samples of that frame as consecutive little-endian signed 16-bit values.
///
/// The header's source sets describe this: one set per device with Value d, first text
/// "Analogue d", second text "sine", the reals (SampleRate, Rate, samples per frame) and one
/// source per channel whose Value is the channel number.
///
/// Frames depend only on their index, so FrameAt gives any frame. Not copyable; one thread
/// at a time.
class VX1DTrialGenerator
{
public:
    /// Checks the settings; false with a message that names the bad value.
    static bool Validate(const VX1DGeneratorSettings& settings, std::string& error);

    /// `settings` must pass Validate (bad values are clamped to something that works).
    explicit VX1DTrialGenerator(const VX1DGeneratorSettings& settings);
    VX1DTrialGenerator(const VX1DTrialGenerator&) = delete;
    VX1DTrialGenerator& operator=(const VX1DTrialGenerator&) = delete;

    const VX1DGeneratorSettings& GetSettings() const { return m_Settings; }
    /// The writer settings: version, devices, header value and source sets.
    const VX1DExportSettings& GetExportSettings() const { return m_Export; }
    /// Samples of one channel in one frame.
    std::uint32_t GetSamplesPerFrame() const { return m_SamplesPerFrame; }

    /// Fills `frame` (resized to the device count) with frame `index`; returns its number.
    std::uint32_t FrameAt(std::uint32_t index, VAnalogueBlockFrame& frame) const;
    /// Sample `sample` (counted from the trial's start) of channel `channel` of `device`.
    std::int16_t SampleAt(std::uint32_t device, std::uint32_t channel, std::uint64_t sample) const;

private:
    struct VChannel
    {
        double Amplitude = 0.0;
        double Frequency = 0.0; // radians per sample
        double Phase = 0.0;
    };

    VX1DGeneratorSettings m_Settings;
    VX1DExportSettings m_Export;
    std::uint32_t m_SamplesPerFrame = 1;
    std::vector<VChannel> m_Channels; // device-major
};

/// Generates a whole trial into the X1D file `path` (written beside it under a temporary
/// name and renamed when complete, so a failure leaves no partial file and an earlier file
/// intact). False with `error` set when the settings are bad or the file cannot be written.
bool WriteX1DTrial(const std::string& path, const VX1DGeneratorSettings& settings,
                   std::string& error, IProgress* progress = nullptr);
