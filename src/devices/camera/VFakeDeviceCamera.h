// The common base of the simulated optical cameras: the camera parameters, the
// model table behind "DeviceType", the camera's shell commands and its preview.
#pragma once

#include "devices/VFakeDevice.h"
#include "devices/VFakeZtParamObserver.h"
#include "devices/VPreviewServer.h"
#include "params/IString.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class IParamDefinitionList;
class IParamList;
class VFakeDeviceManager;

/// What every simulated camera shows to the HAL, wherever its frame data comes
/// from. Abstract: the variants (synthetic, trial file, prepared trial file) give
/// GetDescription, SetDataPort and OnFrame.
///
/// What the camera adds to the device base
/// - Parameters (AddCameraDefinitions): model, sensor geometry, strobe,
///   threshold, LEDs and encodings; "DeviceType" gets the camera models as options
///   and the default "Zt-M4".
/// - Model: whenever "DeviceType" changes, the eleven model-dependent parameters
///   are set from CameraModelTable ("ProtocolVersion" … "FineThresholdGridTileHeight";
///   an unknown type gives 0, false and ""). The observer is attached with immediate
///   delivery, so they describe the current type from construction on, also when a
///   variant sets "DeviceType" to the value it already holds (the default).
/// - Preview: while "PreviewMode" is true the camera owns a VPreviewServer that
///   streams a test picture of "SensorWidth" × "SensorHeight" to the HAL's port
///   8574. The host switches it with PREVIEW broadcasts naming this camera (word 1
///   = device id, word 2 bit 0 = on); a PREVIEW naming another device turns it off.
/// - Connection: while connected, the twelve hardware parameters (HardwareKeys) are
///   read-only for checked sets.
/// - Shell: "info", "gain", "minratio", "setstrobe", "threshold", "window", "led",
///   "greymode", "coordmode" and "dspparams -s" (see OnTelnetCommand).
///
/// Parameters a variant reads (through the base's typed getters, which read the
/// property-set mirror and are safe on the frame and shell threads; a source reads
/// them through TDeviceParamReader of sources/IFakeSourceParams.h):
/// - "Enabled", "SystemEnabled" (bool) and "Preview" (bool): OnFrame sends only
///   while the first two hold and "Preview" does not (IsSendingAllowed).
/// - "ProtocolVersion" (int32): in SetDataPort, 1 gives a centroid source at the
///   port and a greyscale source at port + 1000, 2 a greyscale source only, at
///   port + 5000.
/// - "SupportsCentroids", "SupportsGreyscale" (bool): whether each source sends.
/// - "Tracking" (text "Off", "Generate", "Read"): the trial-file tracking mode.
/// - "GreyMode", "CoordMode" (text), "Threshold", "MinRatio", "MaxPixelsPerLine"
///   (int32), "SystemFrameRate" (real): the greyscale assembly.
/// - "DeviceType" (text) and GetDeviceId(): GetDescription ("X2D: Zt-M4 7").
/// A trial-file variant sets "DeviceType" first and then "SensorWidth" and
/// "SensorHeight" from the file, so the file's sensor replaces the model's; a
/// record that names no type is mapped by CameraModelTable::DeviceTypeForSensorArea.
///
/// How the variants override the frame hooks
/// - SetDataPort(port) runs on the shell's receive thread ("portset"). Build the
///   new sources first, then swap them in under GetDataLock(), and release the old
///   ones after unlocking: OnFrame runs under the same lock on the frame thread, so
///   it never sees half-replaced sources and never sends on a released one.
/// - OnFrame(frame, previous) runs on a master's sync thread with this device's
///   data lock held (and the manager's lock when another device is master). Read
///   parameters only through the getters; never set a parameter, join a thread or
///   destroy the shell from it. Keep it short: every device of the run waits on it.
/// - OnDisconnected() runs on the main thread after the base's tear-down: release
///   the sources under GetDataLock(), then call VFakeDeviceCamera::OnDisconnected()
///   last. A variant that overrides OnConnected calls this class's first.
/// - OnDataTargetChanged, OnClassBroadcastCommand, OnTelnetCommand: a variant that
///   overrides them passes on to this class for everything it does not handle.
///
/// Threading contract: construction, destruction, the observers
/// (OnDeviceTypeChanged, OnPreviewModeChanged), OnConnected and OnDisconnected run
/// on the main thread; the preview server handle is touched only there, so it
/// needs no lock. OnClassBroadcastCommand runs on the broadcast receive thread
/// (manager lock held) and OnTelnetCommand on the shell's receive thread; both
/// only read through the getters and change parameters through the setters, which
/// post the change to the main thread. The model and display-name tables are
/// constants. Created through VFakeDevice::Create like every device. Not copyable.
class VFakeDeviceCamera : public VFakeDevice
{
public:
    /// The class code a camera announces in its awake-and-alive datagrams.
    static constexpr uint32_t CameraClassCode = 0;

    /// The parameters whose read-only flag follows the connection, in the order
    /// they are switched.
    static constexpr const char* HardwareKeys[] = {"SensorType",
                                                   "SensorWidth",
                                                   "SensorHeight",
                                                   "FineThresholdGridWidth",
                                                   "FineThresholdGridHeight",
                                                   "FineThresholdGridTileWidth",
                                                   "FineThresholdGridTileHeight",
                                                   "MaxStrobe",
                                                   "MinStrobe",
                                                   "StrobeType",
                                                   "MaxThreshold",
                                                   "MinThreshold"};

    /// Adds the device base's standard definitions, turns "DeviceType" into the
    /// camera-model enumeration with default "Zt-M4", and appends the camera's own
    /// definitions in their fixed order. Every variant's class-wide definition list
    /// starts with these, before its own. False when any definition or option could
    /// not be added (a list that has definitions or parameter lists already).
    /// Main thread, at start-up.
    static bool AddCameraDefinitions(IParamDefinitionList& list);

    ~VFakeDeviceCamera() override;
    VFakeDeviceCamera(const VFakeDeviceCamera&) = delete;
    VFakeDeviceCamera& operator=(const VFakeDeviceCamera&) = delete;

    /// Whether a preview server exists now. Main thread.
    bool HasPreviewServer() const { return m_PreviewServer != nullptr; }
    /// The preview server, or null. Main thread; valid until "PreviewMode" changes.
    const VPreviewServer* GetPreviewServer() const { return m_PreviewServer.get(); }

    /// "Enabled" and "SystemEnabled" hold and "Preview" does not: the camera may
    /// send frame data. Any thread.
    bool IsSendingAllowed() const;

protected:
    /// The device base's construction arguments, passed on unchanged (the variants
    /// pass a parameter list made from a list that AddCameraDefinitions filled);
    /// then the "PreviewMode" and "DeviceType" observers are attached, in this
    /// order, each delivering the current value at once. Main thread.
    VFakeDeviceCamera(VFakeDeviceManager& manager, uint32_t deviceId, uint32_t position,
                      uint32_t localAddress, uint32_t halAddress, IParamList* params,
                      uint32_t classCode = CameraClassCode);

    /// Observer of "DeviceType": sets the eleven model-dependent parameters, in
    /// table column order, from CameraModelTable; nothing else changes.
    void OnDeviceTypeChanged(VStringStd type);
    /// Observer of "PreviewMode": false destroys the preview server (joining its
    /// thread); true creates one with the HAL address, the device id and the
    /// current "SensorWidth" and "SensorHeight", unless one exists already.
    void OnPreviewModeChanged(bool on);

    /// Makes the twelve hardware parameters read-only.
    void OnConnected() override;
    /// Makes the twelve hardware parameters writable again.
    void OnDisconnected() override;

    /// The PREVIEW family (0x00050000): "PreviewMode" becomes true when word 1 is
    /// this device's id and bit 0 of word 2 is set, false otherwise. Datagrams
    /// shorter than three words and every other family change nothing.
    void OnClassBroadcastCommand(const uint8_t* data, size_t length) override;

    /// The camera's shell commands. The line's first matching word (plain prefix,
    /// tried in the order below) is removed and the rest is its argument; a line
    /// that matches none leaves `reply` as it was. Nothing is ever reported as an
    /// error: a bad argument changes nothing. Replies are appended to `reply`.
    /// - "info": the report, 13 lines ("Device Type : Zt-M4\n" …), plus one or two
    ///   "Stream" lines for protocol 2.
    /// - "gain", "minratio", "setstrobe", "threshold" with an integer: set "Gain",
    ///   "MinRatio", "Strobe", "Threshold".
    /// - "window": replies "0 <SensorHeight> 0 <SensorWidth>\n".
    /// - "led" with pairs of index (0 to 3) and value: sets "LED<index>" to the
    ///   value, pair by pair, up to the first bad index or a missing value.
    /// - "greymode" with "some", "all", "only" or "none" (trimmed): sets "GreyMode".
    /// - "coordmode" with "some", "only" or "none" (trimmed): sets "CoordMode".
    /// - "dspparams -s" with an integer (trimmed first): sets "MaxPixelsPerLine".
    /// An integer argument is a decimal number (optional sign) after optional
    /// leading white space, with nothing after it and within 32 bits. "led" splits
    /// its argument at blanks, runs of blanks counting as one; double quotes group
    /// blanks into a token and are dropped.
    void OnTelnetCommand(const std::string& line, std::string& reply) override;

private:
    /// Appends the "info" report to `reply`.
    void AppendInfoReport(std::string& reply) const;
    void SetHardwareReadOnly(bool readOnly);

    std::unique_ptr<VPreviewServer> m_PreviewServer; // main thread; while "PreviewMode"
    // Declared last so that they are detached before the preview server goes.
    VFakeZtParamObserver<VFakeDeviceCamera, bool, &VFakeDeviceCamera::OnPreviewModeChanged>
        m_PreviewModeObserver;
    VFakeZtParamObserver<VFakeDeviceCamera, VStringStd, &VFakeDeviceCamera::OnDeviceTypeChanged>
        m_DeviceTypeObserver;
};
