#include "devices/VSyncThread.h"

#include "lumen/Log.h"
#include "net/VAlternateSignalStack.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
/// The clock whose thread this is; null on every other thread.
thread_local VFakeDevice::VSyncThread* t_RunningClock = nullptr;
} // namespace

VFakeDevice::VSyncThread::VSyncThread(VFakeDevice& device)
    : m_Device(device), m_Thread([this] { Run(); })
{
    // Named here rather than in Run, so the name is there once the clock is.
    pthread_setname_np(m_Thread.native_handle(), "tsm-sync");
}

VFakeDevice::VSyncThread::~VSyncThread()
{
    RequestStop();
    if (m_Thread.joinable())
        m_Thread.join();
}

VFakeDevice::VSyncThread* VFakeDevice::VSyncThread::OfCallingThread(const VFakeDevice& device)
{
    VSyncThread* clock = t_RunningClock;
    return clock != nullptr && &clock->m_Device == &device ? clock : nullptr;
}

void VFakeDevice::VSyncThread::RequestStop()
{
    {
        std::lock_guard lock(m_WakeLock);
        if (t_RunningClock != this)
            m_StopFromOutside = true;
        m_Stop.store(true);
    }
    m_Wake.notify_all();
}

bool VFakeDevice::VSyncThread::CancelStop()
{
    std::lock_guard lock(m_WakeLock);
    m_Stop.store(m_StopFromOutside);
    return !m_StopFromOutside;
}

void VFakeDevice::VSyncThread::Wake()
{
    {
        std::lock_guard lock(m_WakeLock);
        m_Woken = true;
    }
    m_Wake.notify_all();
}

bool VFakeDevice::VSyncThread::WaitUntil(Clock::time_point deadline)
{
    std::unique_lock lock(m_WakeLock);
    m_Wake.wait_until(lock, deadline, [this] { return m_Stop.load() || m_Woken; });
    m_Woken = false;
    return !m_Stop.load();
}

void VFakeDevice::VSyncThread::RaisePriority()
{
    // The default timer slack (50 us) would add that much to every release.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // On a busy machine a thread of normal priority that wakes for its release
    // waits behind others for milliseconds: real-time scheduling when allowed,
    // else the best nice value allowed, else as it is.
    sched_param param{};
    param.sched_priority = RealTimePriority;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
    {
        ZEL_LOG("Devices", 3, "Device %u: frame clock runs with real-time priority %d",
                m_Device.GetDeviceId(), RealTimePriority);
        return;
    }
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), RaisedNiceValue) == 0)
    {
        ZEL_LOG("Devices", 3, "Device %u: frame clock runs at nice %d", m_Device.GetDeviceId(),
                RaisedNiceValue);
        return;
    }
    ZEL_LOG("Devices", 3, "Device %u: frame clock runs at normal priority (not allowed higher)",
            m_Device.GetDeviceId());
}

void VFakeDevice::VSyncThread::Run()
{
    const VAlternateSignalStack signalStack; // a fault here still reaches the crash handler
    t_RunningClock = this;
    RaisePriority();
    while (!m_Stop.load())
    {
        if (!m_Device.Tick(*this))
            break;
    }
}
