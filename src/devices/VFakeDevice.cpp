#include "devices/VFakeDevice.h"

#include "Core/Corvid/Framework/EventSystem/Invoke.h"
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/BroadcastCommand.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/VSyncThread.h"
#include "lumen/Log.h"
#include "net/VNetAddress.h"
#include "params/IParamDefinitionList.h"
#include "params/ParamAccess.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace
{

constexpr uint64_t kSyncPendingBit = uint64_t{1} << 32;
/// With the pending bit: the mark was set together with this very number.
constexpr uint64_t kNumberedSyncBit = uint64_t{1} << 33;
constexpr uint64_t kSyncMarkBits = kSyncPendingBit | kNumberedSyncBit;
constexpr uint64_t kFrameMask = 0xFFFFFFFFu;

/// How long a master whose rate is not positive waits before reading it again. A
/// rate change wakes the clock at once (OnFrameRateChanged), so this is only a
/// safety net, and a long one keeps an idle master from waking for nothing.
constexpr std::chrono::seconds kUnusableRateRecheck{5};

/// The current time in whole seconds since 1970, lower 32 bits, as the console
/// lines print it (signed).
int32_t ConsoleTime()
{
    return static_cast<int32_t>(static_cast<uint32_t>(std::time(nullptr)));
}

int32_t Signed(uint32_t value)
{
    return static_cast<int32_t>(value);
}

/// The keys whose read-only flag follows the connection.
constexpr const char* kIdentityKeys[] = {"DeviceType", "DeviceID", "MinHalVersion",
                                         "FirmwareVersion"};

struct VDefinitionTexts
{
    const char* m_Key;
    const char* m_DisplayName;
    const char* m_Description;
    const char* m_Group;
};

template <class T>
IParamDefinition* AddWithDefault(IParamDefinitionList& list, const VDefinitionTexts& texts,
                                 const T& defaultValue)
{
    return AddTypedDefinition<T>(list, texts.m_Key, texts.m_DisplayName, texts.m_Description,
                                 texts.m_Group, defaultValue);
}

template <class T>
IParamDefinition* AddWithoutDefault(IParamDefinitionList& list, const VDefinitionTexts& texts)
{
    return AddTypedDefinition<T>(list, texts.m_Key, texts.m_DisplayName, texts.m_Description,
                                 texts.m_Group);
}

/// Flag A and read-only, the flags most identity parameters carry.
IParamDefinition* MarkIdentity(IParamDefinition* definition)
{
    if (definition != nullptr)
    {
        definition->SetFlagA(true);
        definition->SetReadOnly(true);
    }
    return definition;
}

IParamDefinition* MarkReadOnly(IParamDefinition* definition)
{
    if (definition != nullptr)
        definition->SetReadOnly(true);
    return definition;
}

IParamDefinition* MarkFlagA(IParamDefinition* definition)
{
    if (definition != nullptr)
        definition->SetFlagA(true);
    return definition;
}

} // namespace

bool VFakeDevice::AddDeviceDefinitions(IParamDefinitionList& list)
{
    bool complete = true;
    auto check = [&complete](IParamDefinition* definition)
    {
        complete = complete && definition != nullptr;
        return definition;
    };

    if (IParamDefinition* connected = check(AddWithDefault<bool>(
            list,
            {"Connected", "Connected", "Defines whether this device is connected to the network.",
             "Connection"},
            false)))
        connected->SetReadOnly(false);
    check(MarkIdentity(AddWithoutDefault<VStringStd>(
        list, {"LocalIP", "Local IP address", "Local IP address.", "Connection"})));
    check(MarkIdentity(AddWithoutDefault<VStringStd>(
        list, {"RemoteIP", "HAL IP address", "IP address of the HAL.", "Connection"})));
    check(MarkIdentity(AddWithoutDefault<int32_t>(
        list, {"Port", "Base port", "Base port number of this device.", "Connection"})));
    check(MarkReadOnly(AddWithDefault<bool>(
        list,
        {"SystemEnabled", "Enabled", "Defines whether the system is currently enabled.", "System"},
        false)));
    if (IParamDefinition* rate = check(AddWithDefault<double>(
            list,
            {"SystemFrameRate", "Frame Rate", "The frame rate of the system, in Hz.", "System"},
            1.0)))
    {
        rate->SetReadOnly(false);
        rate->SetOptionRange(true);
        check(AddOptionValue<double>(*rate, "", 0.0) != nullptr ? rate : nullptr);
        check(AddOptionValue<double>(*rate, "", 10000.0) != nullptr ? rate : nullptr);
    }
    check(MarkIdentity(AddWithDefault<int32_t>(
        list, {"FrameNumber", "FrameNumber", "The currently set starting frame number.", "System"},
        0)));
    check(AddWithoutDefault<VStringStd>(list, {"DeviceType", "Type", "Device type.", "Device"}));
    check(MarkReadOnly(AddWithDefault<bool>(
        list, {"Enabled", "Enabled", "Defines whether this device is currently enabled.", "Device"},
        false)));
    check(MarkIdentity(AddWithoutDefault<int32_t>(
        list, {"DeviceID", "Device ID", "Device ID of this device.", "Device"})));
    if (IParamDefinition* syncMode = check(AddWithDefault<int32_t>(
            list, {"SyncMode", "Sync Mode", "Sync mode of this device.", "Device"},
            SyncModeFreeRunning)))
    {
        const std::pair<const char*, int32_t> options[] = {
            {"Free-running", SyncModeFreeRunning},
            {"Master", SyncModeMaster},
            {"Slave", SyncModeSlave},
            {"Surrogate master", SyncModeSurrogateMaster}};
        for (const auto& [label, value] : options)
            check(AddOptionValue<int32_t>(*syncMode, label, value) != nullptr ? syncMode : nullptr);
    }
    check(MarkReadOnly(AddWithDefault<bool>(
        list, {"Preview", "Preview", "Defines whether the system is in preview mode.", "System"},
        false)));
    check(MarkFlagA(AddWithDefault<int32_t>(
        list, {"MinHalVersion", "Minimum HAL Version", "Minimum HAL version required.", "Device"},
        1)));
    check(MarkFlagA(AddWithDefault<int32_t>(
        list, {"FirmwareVersion", "Firmware Version", "Firmware version installed.", "Device"},
        82)));
    return complete;
}

VFakeDevice::VFakeDevice(VFakeDeviceManager& manager, uint32_t deviceId, uint32_t position,
                         uint32_t localAddress, uint32_t halAddress, IParamList* params,
                         uint32_t classCode)
    : m_Manager(manager), m_HalAddress(halAddress), m_LocalAddress(localAddress),
      m_ClassCode(classCode), m_DeviceId(deviceId), m_Position(position), m_Faults(deviceId),
      m_Params(params), m_OwnerThread(std::this_thread::get_id()),
      m_Lifeline(std::make_shared<VLifeline>(this)), m_Handler(*this, &VFakeDevice::MirrorParam),
      m_SyncModeObserver(params != nullptr ? params->GetParam("SyncMode") : nullptr, *this),
      m_ConnectedObserver(params != nullptr ? params->GetParam("Connected") : nullptr, *this),
      m_FrameNumberObserver(params != nullptr ? params->GetParam("FrameNumber") : nullptr, *this),
      m_FrameRateObserver(params != nullptr ? params->GetParam("SystemFrameRate") : nullptr, *this)
{
    // An injected restart is a power cycle: the same disconnect and connect as a RESET.
    m_Faults.SetRestartAction(
        [this]
        {
            SetParam("Connected", false);
            SetParam("Connected", true);
        });
    if (m_Params == nullptr)
    {
        ZEL_LOG("Devices", 1, "Device %u was created without parameters", deviceId);
        return;
    }
    // Each runs once now with the class default (free-running, not connected, frame 0).
    m_SyncModeObserver.Attach(true);
    m_ConnectedObserver.Attach(true);
    m_FrameNumberObserver.Attach(true);
    m_FrameRateObserver.Attach(false);

    // Revalidating asks the guard once per parameter, which fills the mirror.
    if (!m_Params->SetGuard(&m_Handler))
        ZEL_LOG("Devices", 1, "Device %u: its parameter list has a guard already", deviceId);
    m_Params->RevalidateAll();

    VNetAddress address;
    address.SetNetworkOrder(m_LocalAddress);
    SetParam("LocalIP", address.ToString());
    address.SetNetworkOrder(m_HalAddress);
    SetParam("RemoteIP", address.ToString());
    SetParam("DeviceID", m_DeviceId);
    SetParam("Port", m_Position);
    ResetState();
    SetParam("SystemFrameRate", 50.0);
}

VFakeDevice::~VFakeDevice()
{
    // Changes still posted for this device find it gone.
    m_Lifeline->m_Device.store(nullptr);
    // Normally done by Retire(); here only the base's part is left, so no virtual
    // operation may run any more.
    StopSyncThread();
    m_AwakeSender.reset();
    m_Shell.reset();
    m_FrameRateObserver.Detach();
    m_FrameNumberObserver.Detach();
    m_ConnectedObserver.Detach();
    m_SyncModeObserver.Detach();
    if (m_Params != nullptr)
        m_Params->ClearGuard(&m_Handler);
}

// ---- typed access ----------------------------------------------------------

bool VFakeDevice::GetParam(const char* key, bool& out) const
{
    return m_Properties.GetAs(key, out);
}

bool VFakeDevice::GetParam(const char* key, int32_t& out) const
{
    return m_Properties.GetAs(key, out);
}

bool VFakeDevice::GetParam(const char* key, uint32_t& out) const
{
    if (m_Properties.GetAs(key, out))
        return true;
    int32_t pattern = 0;
    if (!m_Properties.GetAs(key, pattern))
        return false;
    out = static_cast<uint32_t>(pattern);
    return true;
}

bool VFakeDevice::GetParam(const char* key, double& out) const
{
    return m_Properties.GetAs(key, out);
}

bool VFakeDevice::GetParam(const char* key, std::string& out) const
{
    return m_Properties.Get(key, out);
}

template <class T> void VFakeDevice::PostParamChange(const char* key, T value)
{
    if (key == nullptr)
        return;
    auto action = [lifeline = m_Lifeline, key = std::string(key), value = std::move(value)]
    {
        if (VFakeDevice* device = lifeline->m_Device.load())
            device->ApplyParam(key.c_str(), value);
    };
    VEventManagerQt* events = m_Manager.GetEventManager();
    if (events != nullptr)
    {
        Orvan::EventSystem::Invoke(events, std::move(action));
        return;
    }
    if (std::this_thread::get_id() == m_OwnerThread)
    {
        action();
        return;
    }
    ZEL_LOG("Devices", 2, "Device %u: no event manager, dropped the change of %s", m_DeviceId, key);
}

void VFakeDevice::SetParam(const char* key, bool value)
{
    PostParamChange(key, value);
}

void VFakeDevice::SetParam(const char* key, int32_t value)
{
    PostParamChange(key, value);
}

void VFakeDevice::SetParam(const char* key, uint32_t value)
{
    PostParamChange(key, value);
}

void VFakeDevice::SetParam(const char* key, double value)
{
    PostParamChange(key, value);
}

void VFakeDevice::SetParam(const char* key, const char* value)
{
    PostParamChange(key, std::string(value != nullptr ? value : ""));
}

void VFakeDevice::SetParam(const char* key, const std::string& value)
{
    PostParamChange(key, value);
}

void VFakeDevice::ApplyParam(const char* key, bool value)
{
    if (m_Params != nullptr)
        SetParamValue<bool>(*m_Params, key, value, false);
}

void VFakeDevice::ApplyParam(const char* key, int32_t value)
{
    if (m_Params != nullptr)
        SetParamValue<int32_t>(*m_Params, key, value, false);
}

void VFakeDevice::ApplyParam(const char* key, uint32_t value)
{
    IParam* param = m_Params != nullptr ? m_Params->GetParam(key) : nullptr;
    if (param == nullptr)
        return;
    // Integer parameters hold unsigned values (ids, ports, frames) as their bit pattern.
    int32_t probe = 0;
    if (GetParamValue<int32_t>(*param, probe))
        SetParamValue<int32_t>(*param, static_cast<int32_t>(value), false);
    else
        SetParamValue<uint32_t>(*param, value, false);
}

void VFakeDevice::ApplyParam(const char* key, double value)
{
    if (m_Params != nullptr)
        SetParamValue<double>(*m_Params, key, value, false);
}

void VFakeDevice::ApplyParam(const char* key, const std::string& value)
{
    if (m_Params != nullptr)
        SetParamValue<std::string>(*m_Params, key, value, false);
}

bool VFakeDevice::MirrorParam(IParamList& /*list*/, IParam& param)
{
    // A retired device stays disconnected, also against changes posted earlier.
    bool connect = false;
    if (m_Retired && std::strcmp(param.GetKey(), "Connected") == 0 &&
        GetValidParamValue<bool>(param, connect) && connect)
        return false;
    VStringStd text;
    // An invalid parameter mirrors as an empty text, which no getter converts.
    if (!param.ToString(text))
        text.Assign("");
    m_Properties.Set(param.GetKey(), text.CStr());
    return true;
}

// ---- state -----------------------------------------------------------------

void VFakeDevice::ResetState()
{
    SetParam("SystemEnabled", false);
    SetParam("Enabled", false);
    SetParam("FrameNumber", int32_t{0});
    SetParam("Preview", false);
    SetParam("SyncMode", int32_t{SyncModeFreeRunning});
    SetNextFrameNumber(0, false);
}

uint32_t VFakeDevice::GetNextFrameNumber() const
{
    return static_cast<uint32_t>(m_NextFrame.load() & kFrameMask);
}

bool VFakeDevice::IsSyncPending() const
{
    return (m_NextFrame.load() & kSyncPendingBit) != 0;
}

void VFakeDevice::SetNextFrameNumber(uint32_t frame, bool markSyncPending)
{
    if (markSyncPending)
    {
        m_NextFrame.store(kSyncMarkBits | frame);
        return;
    }
    // A plain number keeps a pending mark, which then no longer carries it.
    uint64_t state = m_NextFrame.load();
    while (!m_NextFrame.compare_exchange_weak(state, (state & kSyncPendingBit) | frame))
    {
    }
}

void VFakeDevice::MarkSyncPending()
{
    // A bare mark: the sync will carry whatever the number is by then.
    uint64_t state = m_NextFrame.load();
    while (!m_NextFrame.compare_exchange_weak(state, (state & ~kNumberedSyncBit) | kSyncPendingBit))
    {
    }
}

void VFakeDevice::TakeSyncNumber(uint32_t frame)
{
    // A SYNC older than a numbered mark would put back the number the mark replaced.
    uint64_t state = m_NextFrame.load();
    do
    {
        if ((state & kNumberedSyncBit) != 0)
            return;
    } while (!m_NextFrame.compare_exchange_weak(state, (state & kSyncPendingBit) | frame));
}

void VFakeDevice::RequestFrameNumber(uint32_t frame)
{
    auto action = [lifeline = m_Lifeline, frame]
    {
        VFakeDevice* device = lifeline->m_Device.load();
        if (device == nullptr)
            return;
        // The "FrameNumber" observer sets the number and the mark in one step.
        device->m_SyncWithFrameNumber = true;
        device->ApplyParam("FrameNumber", frame);
        if (device->m_SyncWithFrameNumber)
        {
            // The parameter held that number already: no observer ran.
            device->m_SyncWithFrameNumber = false;
            device->SetNextFrameNumber(frame, true);
        }
    };
    VEventManagerQt* events = m_Manager.GetEventManager();
    if (events != nullptr)
        Orvan::EventSystem::Invoke(events, std::move(action));
    else if (std::this_thread::get_id() == m_OwnerThread)
        action();
}

// ---- observers -------------------------------------------------------------

void VFakeDevice::OnFrameNumberChanged(int32_t frame)
{
    const bool markSync = m_SyncWithFrameNumber;
    m_SyncWithFrameNumber = false;
    SetNextFrameNumber(static_cast<uint32_t>(frame), markSync);
}

void VFakeDevice::OnFrameRateChanged(double /*rate*/)
{
    std::lock_guard lock(m_SyncThreadLock);
    if (m_SyncThread != nullptr)
        m_SyncThread->Wake();
}

void VFakeDevice::OnSyncModeChanged(int32_t mode)
{
    if (mode == SyncModeMaster)
        StartSyncThread();
    else
        StopSyncThread();
    SendSyncStatus(mode);
    if (mode != SyncModeFreeRunning)
        SendPosition();
}

void VFakeDevice::SetIdentityReadOnly(bool readOnly)
{
    if (m_Params == nullptr)
        return;
    for (const char* key : kIdentityKeys)
    {
        if (IParam* param = m_Params->GetParam(key))
            param->SetReadOnly(readOnly);
    }
}

void VFakeDevice::OnConnectionChanged(bool connected)
{
    if (connected == m_ConnectedCache)
        return;
    m_ConnectedCache = connected;
    SetIdentityReadOnly(connected);
    IDeviceServices* services = m_Manager.GetDeviceServices();
    if (connected)
    {
        ResetState();
        const auto shellPort = static_cast<uint16_t>(ShellBasePort + m_Position);
        if (services != nullptr)
            m_Shell = services->CreateShell(*this, shellPort);
        std::printf("%d: Set up telnet listener at %d\n", Signed(m_DeviceId), ConsoleTime());
        std::fflush(stdout);
        if (services != nullptr)
            m_AwakeSender = services->CreateAwakeSender(VAwakeSenderIdentity{
                m_LocalAddress, m_HalAddress, m_DeviceId, m_Position, m_ClassCode, 0, &m_Faults});
        OnConnected();
        return;
    }
    StopSyncThread();
    m_AwakeSender.reset();
    m_Shell.reset();
    OnDisconnected();
}

// ---- frame clock -----------------------------------------------------------

bool VFakeDevice::IsSyncThreadRunning() const
{
    return m_SyncThreadRunning.load();
}

void VFakeDevice::StartSyncThread()
{
    if (VSyncThread* own = VSyncThread::OfCallingThread(*this))
    {
        // Inside a tick of a clock that asked itself to stop: it simply carries on,
        // unless another thread is stopping it meanwhile. No lock, as in StopSyncThread.
        if (own->CancelStop())
            m_SyncThreadRunning.store(true);
        return;
    }
    std::lock_guard lock(m_SyncThreadLock);
    if (!m_ConnectedCache || m_Retired)
        return;
    if (m_SyncThread != nullptr)
    {
        if (!m_SyncThread->IsStopRequested())
            return;
        // It stopped itself and could not join itself: released here.
        m_SyncThread.reset();
    }
    m_SyncThread = std::make_unique<VSyncThread>(*this);
    m_SyncThreadRunning.store(true);
}

void VFakeDevice::StopSyncThread()
{
    if (VSyncThread* own = VSyncThread::OfCallingThread(*this))
    {
        // A thread cannot join itself, and must not take the sync-thread lock: the
        // main thread may hold it while it joins this very thread. The clock ends
        // after this tick, and the next start or stop on another thread releases
        // it; its handle lives until that join, so `own` stays valid here.
        m_SyncThreadRunning.store(false);
        own->RequestStop();
        return;
    }
    std::lock_guard lock(m_SyncThreadLock);
    if (m_SyncThread == nullptr)
        return;
    m_SyncThread.reset();
    m_SyncThreadRunning.store(false);
}

void VFakeDevice::Retire()
{
    m_Retired = true;
    StopSyncThread();
    ApplyParam("Connected", false);
}

bool VFakeDevice::Tick(VSyncThread& thread)
{
    VFramePacer& pacer = thread.GetPacer();
    if (!pacer.BeginTick(VFramePacer::Clock::now(), GetParamOr("SystemFrameRate", 0.0)))
    {
        // No usable rate (a MASTER with rate words 0): no frames until there is one.
        return thread.WaitFor(kUnusableRateRecheck);
    }

    {
        // The whole tick holds the manager's lock, so a FRAME_NUMBER or SYNC
        // dispatched meanwhile reaches every device at the same tick boundary
        // rather than between this device's frame and the others'.
        std::unique_lock<std::recursive_mutex> managerLock;
        if (!m_Manager.LockForTick(managerLock, thread.GetStopFlag()))
            return false;
        // The master never produces a frame whose number is marked for a sync it
        // has not broadcast yet: a number and mark set between the broadcast and
        // the frame (the shell's "setframe") send it round once more.
        for (;;)
        {
            // Take the pending mark with the number it was set for, in one step.
            uint64_t state = m_NextFrame.load();
            while ((state & kSyncPendingBit) != 0 &&
                   !m_NextFrame.compare_exchange_weak(state, state & ~kSyncMarkBits))
            {
            }
            if ((state & kSyncPendingBit) != 0)
                LocalSyncBroadcast(static_cast<uint32_t>(state & kFrameMask),
                                   &thread.GetStopFlag());
            if (ProduceFrame(true))
                break;
            if (thread.IsStopRequested())
                return false;
        }
        m_Manager.OnSyncTick(this, thread.GetStopFlag());
    }

    while (!pacer.IsReleaseDue(VFramePacer::Clock::now()))
    {
        if (!thread.WaitUntil(pacer.GetReleaseTime()))
            return false;
        // A new rate starts at once: the next tick re-bases on it and releases its
        // first frame straight away (a clock 1000 s from its next frame at 0.001 Hz
        // would otherwise sit out the old schedule).
        if (pacer.IsRateChange(GetParamOr("SystemFrameRate", 0.0)))
            return !thread.IsStopRequested();
    }
    pacer.OnReleased();
    return !thread.IsStopRequested();
}

bool VFakeDevice::ProduceFrame(bool unlessSyncPending)
{
    std::lock_guard lock(m_DataLock);
    uint64_t state = m_NextFrame.load();
    do
    {
        if (unlessSyncPending && (state & kSyncPendingBit) != 0)
            return false;
    } while (!m_NextFrame.compare_exchange_weak(
        state, (state & kSyncPendingBit) | static_cast<uint32_t>((state & kFrameMask) + 1)));
    const auto frame = static_cast<uint32_t>(state & kFrameMask);
    const uint32_t previous = m_CurrentFrame.exchange(frame);
    // Every datagram of the frame passes the fault injection, which judges the frame whole.
    m_Faults.BeginFrame(frame);
    OnFrame(frame, previous);
    m_Faults.EndFrame(VDeviceFaults::Clock::now());
    return true;
}

void VFakeDevice::OnMasterTick()
{
    if (GetParamOr("Connected", false))
        ProduceFrame(false);
}

void VFakeDevice::LocalSyncBroadcast(uint32_t frame)
{
    LocalSyncBroadcast(frame, nullptr);
}

void VFakeDevice::LocalSyncBroadcast(uint32_t frame, const std::atomic<bool>* abandon)
{
    std::printf("%d: Broadcasting sync at %d frames (currently at %d, previous %d)\n",
                Signed(m_DeviceId), Signed(frame), Signed(GetNextFrameNumber()),
                Signed(GetCurrentFrameNumber()));
    std::fflush(stdout);
    std::array<uint8_t, 8> datagram{};
    StoreBroadcastWord(datagram.data(), 0, BROADCAST_CMD_SYNC);
    StoreBroadcastWord(datagram.data(), 1, frame);
    if (abandon != nullptr)
        m_Manager.DispatchBroadcast(datagram.data(), datagram.size(), *abandon);
    else
        m_Manager.OnBroadcastCommand(datagram.data(), datagram.size());
}

// ---- broadcast commands ----------------------------------------------------

void VFakeDevice::OnBroadcastCommand(const uint8_t* data, size_t length)
{
    if (data == nullptr || length < 4 || !GetParamOr("Connected", false))
        return;
    // Words beyond the datagram read as 0; the manager drops datagrams too short
    // for their family, so this matters only for direct callers.
    auto word = [data, length](size_t index)
    { return length >= 4 * (index + 1) ? LoadBroadcastWord(data, index) : 0u; };
    const uint32_t family = BroadcastFamily(word(0));

    switch (family)
    {
    case BroadcastFamily(BROADCAST_CMD_RESET):
        if (word(1) == m_DeviceId || word(1) == BROADCAST_CMD_ALL_DEVICES)
        {
            SetParam("Connected", false);
            std::printf("%d: First connect at %d\n", Signed(m_DeviceId), ConsoleTime());
            std::fflush(stdout);
            SetParam("Connected", true);
        }
        return;
    case BroadcastFamily(BROADCAST_CMD_MASTER):
    {
        const uint32_t master = word(1);
        int32_t mode = SyncModeSlave;
        if (master == m_DeviceId)
            mode = (word(2) & 1u) != 0 ? SyncModeSurrogateMaster : SyncModeMaster;
        else if (master == BROADCAST_CMD_ALL_DEVICES)
            mode = SyncModeFreeRunning;
        // Marked first: the parameter changes normally run later on the main
        // thread, and a clock they start must find the mark already set, also
        // when the dispatch itself runs on the main thread and they run at once.
        MarkSyncPending();
        SetParam("SyncMode", mode);
        // Faster than the clock paces is run at the fastest it paces (the manager
        // prints the one line that says so).
        SetParam("SystemFrameRate",
                 std::min(BroadcastFrameRate(word(3), word(4)), VFramePacer::MaxRate));
        return;
    }
    case BroadcastFamily(BROADCAST_CMD_DATA_DISABLE):
        SetParam("SystemEnabled", (word(1) & 1u) == 0);
        return;
    case BroadcastFamily(BROADCAST_CMD_FRAME_NUMBER):
        SetNextFrameNumber(word(1),
                           GetParamOr("SyncMode", int32_t{SyncModeFreeRunning}) == SyncModeMaster);
        return;
    case BroadcastFamily(BROADCAST_CMD_SYNC):
        TakeSyncNumber(word(1));
        return;
    case BroadcastFamily(BROADCAST_CMD_PREVIEW):
        SetParam("Preview", (word(2) & 1u) != 0);
        // The device class acts on it too: the camera named in word 1 starts or
        // stops its own preview.
        OnClassBroadcastCommand(data, length);
        return;
    default:
        OnClassBroadcastCommand(data, length);
        return;
    }
}
