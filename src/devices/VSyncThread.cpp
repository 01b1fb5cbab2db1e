#include "devices/VSyncThread.h"

#include <pthread.h>
#include <sys/prctl.h>

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

void VFakeDevice::VSyncThread::RequestStop()
{
    {
        std::lock_guard lock(m_WakeLock);
        m_Stop.store(true);
    }
    m_Wake.notify_all();
}

bool VFakeDevice::VSyncThread::WaitUntil(Clock::time_point deadline)
{
    std::unique_lock lock(m_WakeLock);
    return !m_Wake.wait_until(lock, deadline, [this] { return m_Stop.load(); });
}

void VFakeDevice::VSyncThread::Run()
{
    // The default timer slack (50 us) would add that much to every release.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (!m_Stop.load())
    {
        if (!m_Device.Tick(*this))
            break;
    }
}
