// The base of every simulated device: identity, the standard parameters, the
// common broadcast handling, connection handling and the frame clock that the
// sync master runs.
#pragma once

#include "devices/IDeviceServices.h"
#include "devices/IFakeDevice.h"
#include "devices/IShellDevice.h"
#include "devices/VDataOutSocketSink.h"
#include "devices/VDeviceFaults.h"
#include "devices/VFakeZtParamObserver.h"
#include "net/VDataOutSocket.h"
#include "params/IDestroyable.h"
#include "params/IParamList.h"
#include "params/VParamListHandler.h"
#include "params/VPropertySet.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class IParamDefinitionList;
class IString;
class VFakeDeviceManager;

/// Abstract base of every simulated device (sync units and their cards, cameras).
///
/// What the base does
/// - Identity: device id, 1-based position in the manager's list (also the
///   "Port" parameter and the shell port 9000 + position), local and HAL
///   addresses (network byte order), class code (0 cameras, 2 sync units).
/// - Parameters: owns its parameter list (made by the class from its definition
///   list, which starts with AddDeviceDefinitions). A property set mirrors every
///   parameter as key and text; it is written by the list guard at the end of
///   every value change, before the observers run, and is the only parameter
///   state that threads other than the main thread read (the typed getters).
///   The typed setters hand each change to the event manager (Invoke): on the
///   main thread it runs before the setter returns, elsewhere it runs later on
///   the main thread, in posting order.
/// - Broadcast commands (OnBroadcastCommand): RESET, MASTER, DATA_DISABLE,
///   FRAME_NUMBER, SYNC and PREVIEW; PREVIEW (after "Preview" is set) and every
///   other family go to OnClassBroadcastCommand. A disconnected device ignores
///   every command.
/// - Connection ("Connected"): on connect, ResetState, the shell and the
///   awake-and-alive sender (made by the manager's IDeviceServices, if any), then
///   OnConnected; on disconnect, the frame clock stops, sender and shell go, then
///   OnDisconnected. The identity parameters are read-only while connected.
/// - Frame clock ("SyncMode" 2, master, while connected): a VSyncThread runs Tick
///   at "SystemFrameRate"; each tick produces this device's frame (OnFrame) and,
///   through the manager's OnSyncTick, one frame of every other connected device.
///   A change of "SystemFrameRate" wakes the clock and re-bases it at once;
///   MASTER clamps the rate to VFramePacer::MaxRate.
///
/// Virtual operations for the device classes, with the thread they run on and
/// the locks the caller holds (all protected except GetDescription):
/// - GetDescription(out): any thread; no lock.
/// - OnConnected(): main thread, inside the "Connected" change, after the shell
///   and the sender exist; no device lock.
/// - OnDisconnected(): main thread, after the frame clock stopped and the shell
///   and the sender are gone; no device lock.
/// - OnClassBroadcastCommand(data, length): the broadcast receive thread or a
///   master's sync thread; the manager's lock.
/// - OnTelnetCommand(line, reply): the shell's receive thread.
/// - SetDataPort(port): the shell's receive thread ("portset").
/// - OnFrame(frame, previous): a master's sync thread; this device's data lock,
///   and the manager's lock when another device is master.
/// - OnDataTargetChanged(): the shell's receive thread ("notify"); data lock;
///   nothing in the base.
/// - SendSyncStatus(mode), SendPosition(): the main thread (sync-mode change)
///   and the shell's thread ("notify"); nothing goes out while the data-out
///   socket is closed.
///
/// Seams: the shell and the awake-and-alive sender come from the manager's
/// IDeviceServices (none: the device connects without them); a derived class
/// may override SendSyncStatus and SendPosition.
///
/// Locks, in the order they may be taken (never the other way round):
/// 1. the manager's lock (recursive): dispatch and OnSyncTick;
/// 2. this device's data lock (recursive, GetDataLock): held by the base around
///    every OnFrame; device classes guard with it whatever OnFrame shares with the
///    shell and with OnConnected/OnDisconnected;
/// 3. the property set's mutex (taken alone, never calls out).
/// The sync-thread lock guards only the VSyncThread handle and is never taken by
/// the sync thread itself. Joining the sync thread (StopSyncThread, any
/// "SyncMode" or "Connected" change) must not happen while holding this device's
/// data lock, and nothing may destroy the shell while holding the data lock (its
/// threads take it). The sync thread gives up waiting for the manager's lock once
/// asked to stop, so it may be stopped from inside a dispatch.
///
/// Frame numbers: the next frame number and the pending-sync mark live in one
/// atomic word, so a new number and its mark are set together and a sync
/// broadcast always carries the number it was marked for; the current frame
/// number is atomic too. All three may be read on any thread. A mark set with its
/// number (FRAME_NUMBER to the master, the shell's "setframe") is newer than any
/// SYNC still on its way, so a SYNC leaves both alone; it only sets the number
/// under a bare mark (MASTER). A master's whole tick (its sync broadcast, its own
/// frame and the other devices' frames) holds the manager's lock, so a
/// FRAME_NUMBER or SYNC dispatch reaches every device at one tick boundary.
///
/// Lifetime: construct and destroy on the main thread. Create devices with
/// Create<T>(), whose deleter calls Retire() before any destructor runs, or call
/// Retire() yourself before releasing a device: the frame clock and the shell
/// call virtual operations, which must not run while a derived part is being
/// destroyed. After its manager is gone (which retires it) a device may only be
/// released. Not copyable.
class VFakeDevice : public IFakeDevice, public IShellDevice
{
public:
    class VSyncThread; // VSyncThread.h

    /// Values of "SyncMode".
    enum ESyncMode : int32_t
    {
        SyncModeSlave = 0,
        SyncModeSurrogateMaster = 1,
        SyncModeMaster = 2,
        SyncModeFreeRunning = 3,
    };

    /// First port of the device shells; a device listens on this plus its position.
    static constexpr uint32_t ShellBasePort = 9000;

    /// Adds the standard parameters that start every device class's definition
    /// list ("Connected" … "FirmwareVersion"). False when any could not be added
    /// (a duplicate key, or a list already in use). Main thread, at start-up.
    static bool AddDeviceDefinitions(IParamDefinitionList& list);

    /// Makes a device owned by a shared handle whose deleter retires the device
    /// (stops its frame clock, disconnects) before destroying it. Main thread.
    template <class TDevice, class... TArgs> static std::shared_ptr<TDevice> Create(TArgs&&... args)
    {
        return std::shared_ptr<TDevice>(new TDevice(std::forward<TArgs>(args)...),
                                        [](TDevice* device)
                                        {
                                            device->Retire();
                                            delete device;
                                        });
    }

    ~VFakeDevice() override;
    VFakeDevice(const VFakeDevice&) = delete;
    VFakeDevice& operator=(const VFakeDevice&) = delete;

    /// The device's description for the shell and reports ("X2D: …").
    virtual void GetDescription(IString& out) const = 0;

    // Identity. Any thread.
    uint32_t GetDeviceId() const { return m_DeviceId; }
    uint32_t GetPosition() const { return m_Position; }
    uint32_t GetLocalAddress() const { return m_LocalAddress; }
    uint32_t GetHalAddress() const { return m_HalAddress; }
    uint32_t GetClassCode() const { return m_ClassCode; }
    VFakeDeviceManager& GetManager() const { return m_Manager; }

    /// The device's parameter list (owned by the device). Main thread only;
    /// other threads use the getters and setters below.
    IParamList* GetParamList() override { return m_Params.get(); }
    /// The mirror of every parameter as key and text. Any thread.
    const VPropertySet& GetPropertySet() const { return m_Properties; }
    /// The data lock (recursive); see the class comment for the lock order.
    std::recursive_mutex& GetDataLock() const { return m_DataLock; }

    /// Typed getters, any thread: read the value text of `key` from the property
    /// set and convert it ("1"/"0", decimal integers, reals with six significant
    /// digits). False, with `out` untouched, when the key is unknown, the
    /// parameter is invalid or the text does not convert. The unsigned getter
    /// also reads a negative integer text as its 32-bit pattern ("DeviceID" -1
    /// is 0xFFFFFFFF). They see the state as of the last completed change.
    bool GetParam(const char* key, bool& out) const;
    bool GetParam(const char* key, int32_t& out) const;
    bool GetParam(const char* key, uint32_t& out) const;
    bool GetParam(const char* key, double& out) const;
    bool GetParam(const char* key, std::string& out) const;
    /// The getter's value, or `fallback` when it fails.
    template <class T> T GetParamOr(const char* key, T fallback) const
    {
        T value = fallback;
        return GetParam(key, value) ? value : fallback;
    }

    /// Typed setters, any thread: set the parameter with this key (typed set,
    /// unchecked, so read-only does not stop them) through Invoke: at once on the
    /// main thread, otherwise posted to it. An unknown key or a parameter of
    /// another type does nothing, except that the unsigned setter also sets an
    /// integer parameter to the value's 32-bit pattern ("DeviceID", "Port",
    /// "FrameNumber" are integers holding unsigned values). Without an event
    /// manager a change runs at once when requested on the thread that created
    /// the device and is dropped (and logged) on any other.
    void SetParam(const char* key, bool value);
    void SetParam(const char* key, int32_t value);
    void SetParam(const char* key, uint32_t value);
    void SetParam(const char* key, double value);
    void SetParam(const char* key, const char* value);
    void SetParam(const char* key, const std::string& value);

    /// "SystemEnabled" false, "Enabled" false, "FrameNumber" 0, "Preview" false,
    /// "SyncMode" 3, in this order; then next frame number 0. Any thread (the
    /// parameter changes follow the setters' rule).
    void ResetState();

    /// The common broadcast handling (see the class comment); words big-endian.
    /// Reads through the property set, sets through the setters, changes the
    /// frame numbers at once. Called by the manager under its lock.
    void OnBroadcastCommand(const uint8_t* data, size_t length) override;

    /// Prints "%d: Broadcasting sync at %d frames (currently at %d, previous
    /// %d)\n" and hands the SYNC datagram {0x00010001, frame} to the manager's
    /// dispatch (logged and delivered to every device, this one included; nothing
    /// goes on the network). Any thread not holding a device's data lock.
    void LocalSyncBroadcast(uint32_t frame);

    /// Frame numbers, any thread.
    uint32_t GetNextFrameNumber() const;
    uint32_t GetCurrentFrameNumber() const override { return m_CurrentFrame.load(); }
    bool IsSyncPending() const;
    /// Sets the next frame number; with `markSyncPending` also marks a sync
    /// broadcast due, in the same step, otherwise leaves the mark as it is.
    void SetNextFrameNumber(uint32_t frame, bool markSyncPending);
    /// Marks a sync broadcast due at the master's next tick, with whatever the
    /// next frame number is then.
    void MarkSyncPending();
    /// The shell's "setframe": sets "FrameNumber" to `frame` and marks a sync
    /// broadcast due carrying exactly that number (both happen together on the
    /// main thread). Any thread.
    void RequestFrameNumber(uint32_t frame);

    /// Whether the frame clock runs (this device is master). Any thread.
    bool IsSyncThreadRunning() const;

    /// The faults this device injects into what it sends (none until told). Every data
    /// source of the device routes its datagrams through it (VFaultySink), the frame step
    /// brackets each frame, and the awake-and-alive sender asks it before each ALIVE.
    VDeviceFaults& GetFaults() const { return m_Faults; }
    VDeviceFaults* GetFaultInjection() override { return &m_Faults; }

    // IFakeDevice
    void OnMasterTick() override;
    void StopSyncThread() override;
    void Retire() override;

    // Shell side, in VFakeDeviceShell.cpp.
    /// Prints "%d: Telnet reply sent at %d\n" and gives the banner word "FakeZtDevice".
    /// The shell's listener thread.
    void GetGreeting(std::string& text) override;
    /// The command interpreter of the shell's receive thread. Ignores every line while
    /// "Connected" is false. Otherwise prints "%d: Command: %s\n", runs the first generic
    /// word that `line` begins with ("portset", "datadisable", "setframe", "syncmode",
    /// "notify", and "faults" of ours, plain prefixes in this order) or hands the line to
    /// OnTelnetCommand, and
    /// prints "%d:  Reply: %s\n" when `reply` is not empty. A number that does not read
    /// ("portset abc", "notify" without its fields) skips the action.
    void ProcessCommand(const std::string& line, std::string& reply) override;
    /// Sends the status datagram at `packet` (`capacity` bytes available) to the data target
    /// when the data-out socket is open: fills in the host tag (offset 6) and the device id
    /// (offset 8) and sends as many bytes as its length field says (24, 28, 32). Holds the
    /// data lock. A datagram the socket keeps refusing after a few short retries is dropped.
    /// False when not sent (socket closed, length field below the header or beyond
    /// `capacity`, dropped). Any thread.
    bool SendStatus(uint8_t* packet, size_t capacity);

protected:
    /// Takes ownership of `params` (released with Destroy; made by the class from
    /// its definition list, which must outlive the device). Addresses in network
    /// byte order. Sets the identity parameters, ResetState and "SystemFrameRate"
    /// 50. Main thread. The observers run at once during construction and call
    /// the base's SendSyncStatus, not an override.
    VFakeDevice(VFakeDeviceManager& manager, uint32_t deviceId, uint32_t position,
                uint32_t localAddress, uint32_t halAddress, IParamList* params, uint32_t classCode);

    /// After the base's connection set-up.
    virtual void OnConnected() = 0;
    /// After the base's tear-down.
    virtual void OnDisconnected() = 0;
    /// Broadcast families the base does not handle (AWAKE, ALIVE_PING,
    /// STROBE_DISABLE, TEST_SYNC, SYSTEM_EVENT, unknown), and PREVIEW after the
    /// base has set "Preview" (a camera switches its own preview), as received.
    virtual void OnClassBroadcastCommand(const uint8_t* data, size_t length) = 0;
    /// Shell lines the generic words do not match; append the answer to `reply`.
    virtual void OnTelnetCommand(const std::string& line, std::string& reply) = 0;
    /// The shell's "portset".
    virtual void SetDataPort(uint32_t port) = 0;
    /// Produce the output of frame `frame`; `previous` is the frame produced at
    /// the previous tick (so frame - previous is 1 when nothing was skipped).
    /// When it runs, GetCurrentFrameNumber() is already `frame`.
    virtual void OnFrame(uint32_t frame, uint32_t previous) = 0;
    /// The shell's "notify" re-targeted the data output.
    virtual void OnDataTargetChanged() {}

    /// The status datagrams of the base (SendStatus): sync status (type 3) for
    /// `syncMode`, and position (type 2). Nothing goes out while the data-out
    /// socket is closed. Any thread.
    virtual void SendSyncStatus(int32_t syncMode);
    virtual void SendPosition();

    /// Observer targets, main thread, inside the parameter change.
    void OnSyncModeChanged(int32_t mode);
    void OnConnectionChanged(bool connected);
    void OnFrameNumberChanged(int32_t frame);
    /// Wakes a waiting frame clock, so that a new rate takes effect at once.
    void OnFrameRateChanged(double rate);

    /// Starts the frame clock unless it runs, the device is not connected or it
    /// is retired. Main thread.
    void StartSyncThread();

    /// The data-out socket and the host tag of the last "notify"; guard both with
    /// the data lock.
    VDataOutSocket& GetDataOutSocket() { return m_DataOut; }
    uint16_t GetHostTag() const { return m_HostTag; }
    void SetHostTag(uint16_t tag) { m_HostTag = tag; }

private:
    friend class VSyncThread;

    /// The shell's "notify": re-targets the data output under the data lock.
    void Notify(const std::string& arguments);
    /// The shell's "faults" (ours): reads the plan and puts it in force on this device, or on
    /// the device it names, or on every device ("device=all"); the reply says what was done
    /// or why nothing was.
    std::string ConfigureFaults(const std::string& arguments);

    /// Keeps posted parameter changes from reaching a destroyed device: the
    /// pointer is cleared first thing in the destructor. Read and cleared on the
    /// main thread.
    struct VLifeline
    {
        explicit VLifeline(VFakeDevice* device) : m_Device(device) {}
        std::atomic<VFakeDevice*> m_Device;
    };

    /// One tick of the frame clock (sync thread): pace, sync broadcast, own
    /// frame, the other devices' frames. False once the thread is asked to stop.
    bool Tick(VSyncThread& thread);
    /// LocalSyncBroadcast that gives up waiting for the manager's lock when
    /// `abandon` is set.
    void LocalSyncBroadcast(uint32_t frame, const std::atomic<bool>* abandon);
    /// A SYNC's number: becomes the next frame number unless a numbered mark is
    /// pending (see the class comment). Keeps a bare mark.
    void TakeSyncNumber(uint32_t frame);
    /// Advances the frame numbers and runs OnFrame, under the data lock. With
    /// `unlessSyncPending`, does nothing and returns false while a sync is marked.
    bool ProduceFrame(bool unlessSyncPending);

    /// The guard's value-change permission: mirrors the parameter, always allows.
    bool MirrorParam(IParamList& list, IParam& param);

    template <class T> void PostParamChange(const char* key, T value);
    /// The typed sets themselves, main thread.
    void ApplyParam(const char* key, bool value);
    void ApplyParam(const char* key, int32_t value);
    void ApplyParam(const char* key, uint32_t value);
    void ApplyParam(const char* key, double value);
    void ApplyParam(const char* key, const std::string& value);
    void SetIdentityReadOnly(bool readOnly);

    mutable std::recursive_mutex m_DataLock; // see the class comment
    VFakeDeviceManager& m_Manager;
    const uint32_t m_HalAddress;   // network order
    const uint32_t m_LocalAddress; // network order
    VDataOutSocket m_DataOut;      // data lock; closed until the shell opens it
    uint16_t m_HostTag = 0;        // data lock
    /// Sends SendStatus's datagrams with bounded retries; data lock.
    VDataOutSocketSink m_StatusSink{m_DataOut};
    const uint32_t m_ClassCode;
    const uint32_t m_DeviceId;
    const uint32_t m_Position;
    /// Outlives the awake-and-alive sender and the sources, which use it. Mutable: its state
    /// is its own, under its own lock, whatever the device's constness.
    mutable VDeviceFaults m_Faults;
    /// Bits 0-31: the next frame number; bit 32: sync pending; bit 33: the
    /// pending sync carries exactly this number (a frame-number request).
    std::atomic<uint64_t> m_NextFrame{0};
    std::atomic<uint32_t> m_CurrentFrame{0};
    std::unique_ptr<IParamList, VDestroyDeleter> m_Params;
    std::unique_ptr<IDeviceConnectionPart> m_Shell;       // main thread; while connected
    std::unique_ptr<IDeviceConnectionPart> m_AwakeSender; // main thread; while connected
    VPropertySet m_Properties;
    /// Guards m_SyncThread; held while the thread is joined, never taken by it.
    mutable std::mutex m_SyncThreadLock;
    std::unique_ptr<VSyncThread> m_SyncThread; // while master
    std::atomic<bool> m_SyncThreadRunning{false};
    bool m_ConnectedCache = false;       // main thread
    bool m_Retired = false;              // main thread
    bool m_SyncWithFrameNumber = false;  // main thread; see RequestFrameNumber
    const std::thread::id m_OwnerThread; // the thread that created the device
    const std::shared_ptr<VLifeline> m_Lifeline;
    VParamListHandler<VFakeDevice>::Handler m_Handler;
    VFakeZtParamObserver<VFakeDevice, int32_t, &VFakeDevice::OnSyncModeChanged> m_SyncModeObserver;
    VFakeZtParamObserver<VFakeDevice, bool, &VFakeDevice::OnConnectionChanged> m_ConnectedObserver;
    VFakeZtParamObserver<VFakeDevice, int32_t, &VFakeDevice::OnFrameNumberChanged>
        m_FrameNumberObserver;
    VFakeZtParamObserver<VFakeDevice, double, &VFakeDevice::OnFrameRateChanged> m_FrameRateObserver;
};
