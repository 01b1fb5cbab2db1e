// The sync unit ("Vantrel"): its analogue clock output, control-card slots and analogue
// capture settings, the shell words that set them, and the per-frame capture steps. The
// variants (synthetic, X1D and X2D) add where their frame data comes from.
#pragma once

#include "devices/syncunit/SyncUnitKeys.h"
#include "devices/syncunit/VFakeDeviceGPO.h"
#include "sources/VFakeSource.h"

#include <cstdint>
#include <string>
#include <vector>

class IParamDefinitionList;
class IString;
class IParamList;
class VFakeDeviceManager;

/// `VFakeDeviceNet`: the sync unit between its GPO layer and the three variants.
///
/// Parameters (AddNetDefinitions): the clock output ("ClkOutSampleRate", "ClkOutPrescaler",
/// "ClkOutDivisor"), "Card0Type", and slot 0's capture flags, rate, prescaler, divisor,
/// channel count and, for channels 0 to 63, "Enabled" and "Gain"; "DeviceType" is "Vantrel".
///
/// Shell words (OnTelnetCommand; arguments are blank-separated tokens, double quotes group):
/// - "samplerate": "-s t p d" sets target t ("c" clock output, "0" or "1" a slot) to 135 MHz
///   / (p × d) with prescaler p and divisor d; a slot also gets its channel count from the
///   rate (ChannelsForRate) with channels 0 … count − 1 enabled, and slot 0 also sets the
///   clock output while the output has not been set on its own or "-f on" made it follow.
///   A p or d of 0 changes nothing. "-f on|off", "-p n", "-d n", "-i x". With none of "-s",
///   "-p", "-d", "-i" the reply is slot 0's rate as "%f\r\n" (always with a point).
/// - "anactl": "-s n" slot; a selection "-a", "-c n" or "-r a b"; then the first of "on",
///   "off" (enable or disable the selected channels, capture stops and the capture steps
///   restart) or "-g n" (their gain).
/// - "capture": "-s n" slot; "on" or "off"; without either the reply "Slot %d capture
///   %s\r\n".
/// - anything else goes to the GPO layer ("gpo").
///
/// Frames (OnFrame): the skip line when frames were skipped; then, while "Enabled" and
/// "SystemEnabled" hold and "Preview" does not, the variant's OnSendFrame and the capture
/// steps: after a reconfiguration capture is re-armed a few frames later, and while armed
/// "InCapture" is asserted every second frame (see StepCapture).
///
/// Threading contract: as VFakeDevice. The capture state (clock-output mark, follow flag,
/// capture step and countdowns) is guarded by the data lock: the shell's thread takes it, the
/// frame thread holds it around OnFrame. Parameter changes from either thread go through the
/// typed setters to the main thread. Not copyable.
class VFakeDeviceNet : public VFakeDeviceGPO
{
public:
    /// The card sample clock, in Hz.
    static constexpr double SampleClockHz = 135000000.0;

    /// Adds the GPO layer's definitions (with the sync unit's 4 outputs), then the sync
    /// unit's own, and turns "DeviceType" into "Vantrel". False when any could not be added.
    /// Main thread, at start-up.
    static bool AddNetDefinitions(IParamDefinitionList& list);

    /// The channel count for a sample rate: 64 up to 3000 Hz, halved for every doubling
    /// above, at least 1 (6000 Hz 32, … above 96000 Hz 1).
    static std::uint32_t ChannelsForRate(double rate);

    /// The capture state, for reports and tests. Any thread (takes the data lock).
    struct VCaptureState
    {
        bool ClockOutSet = false;
        bool ClockFollowsSlot = false;
        std::uint32_t Step = 0;
        std::uint32_t RestartCountdown = 0;
        std::uint32_t StopCountdown = 0;
        std::uint32_t StopDelay = 0;
        bool Armed = false;
    };
    VCaptureState GetCaptureState() const;

    /// "Enabled" and "SystemEnabled" hold and "Preview" does not. Any thread.
    bool IsSendingAllowed() const;

protected:
    VFakeDeviceNet(VFakeDeviceManager& manager, std::uint32_t deviceId, std::uint32_t position,
                   std::uint32_t localAddress, std::uint32_t halAddress, IParamList* params);

    /// Nothing beyond the device base.
    void OnConnected() override {}
    /// The sync unit acts on no broadcast family of its own.
    void OnClassBroadcastCommand(const std::uint8_t* data, std::size_t length) override;
    /// "samplerate", "anactl", "capture", then the GPO layer (see the class comment).
    void OnTelnetCommand(const std::string& line, std::string& reply) override;
    /// See the class comment. Frame thread, data lock held.
    void OnFrame(std::uint32_t frame, std::uint32_t previous) override;
    /// The variant's frame output; frame thread, data lock held. Nothing by default.
    virtual void OnSendFrame(std::uint32_t frame, std::uint32_t previous);

    /// The variants' descriptions: `prefix` (such as "X1D: "), "DeviceType", " ", "DeviceID".
    void Describe(const char* prefix, IString& out) const;

    /// Where a source of this device sends: the HAL at `port` (taken as 16 bits).
    VFakeSourceTarget SourceTarget(std::uint32_t port) const;

    /// Appends the "info" report: "Display Device Type : ZT Vantrel" … "Ethernet Master Able
    /// : yes", with "Slot1 : " + `slot1`, and the two timecode lines when `withTimecode`.
    void AppendInfoReport(std::string& reply, const std::string& slot1, bool withTimecode) const;

private:
    using Tokens = std::vector<std::string>;
    void SampleRateCommand(const Tokens& tokens, std::string& reply);
    void SetSampleRate(const std::string& target, std::uint32_t prescaler, std::uint32_t divisor);
    void AnalogueControlCommand(const Tokens& tokens);
    void CaptureCommand(const Tokens& tokens, std::string& reply);
    /// The capture steps of one frame (frame thread, data lock held).
    void StepCapture();
    /// Sets "AnalogueSlot<slot>InCapture".
    void SetInCapture(std::uint32_t slot, bool value);

    const SyncUnitKeys::VSlotKeys m_Slot0Keys{0};
    // Data lock.
    bool m_ClockOutSet = false;
    bool m_ClockFollowsSlot = false;
    std::uint32_t m_CaptureStep = 0;
    std::uint32_t m_RestartCountdown = 0;
    std::uint32_t m_StopCountdown = 0;
    std::uint32_t m_StopDelay = 0;
    bool m_CaptureArmed = false;
};
