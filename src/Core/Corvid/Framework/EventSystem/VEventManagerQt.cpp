#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"

#include "Core/Corvid/Framework/EventSystem/VEventQt.h"

#include <QCoreApplication>
#include <QTimerEvent>

#include <algorithm>

// Qt's posted-event queue synchronises through its own futex-based mutex, in a library
// the thread sanitizer does not instrument, so it cannot see that a posted event is
// handed from the posting thread to the event thread: it would take the event thread's
// first read of the event (its type) for a race with the allocation on the poster.
// The hand-off is stated to it explicitly: released by the poster once the event is
// built, acquired by the event thread before it reads any event.
#if defined(__SANITIZE_THREAD__)
#define TSM_TSAN_HANDOFF 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TSM_TSAN_HANDOFF 1
#endif
#endif

#ifdef TSM_TSAN_HANDOFF
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace
{

void ReleaseToEventThread([[maybe_unused]] QEvent* event)
{
#ifdef TSM_TSAN_HANDOFF
    __tsan_release(event);
#endif
}

void AcquireOnEventThread([[maybe_unused]] QEvent* event)
{
#ifdef TSM_TSAN_HANDOFF
    __tsan_acquire(event);
#endif
}

} // namespace

VEventManagerQt::VEventManagerQt() : m_EventThread(std::this_thread::get_id()) {}

VEventManagerQt::~VEventManagerQt()
{
    StopTimer();
    // Qt would drop them in ~QObject too; doing it here keeps the order plain: every
    // carried event is destroyed while the whole manager still exists.
    QCoreApplication::removePostedEvents(this, VEventQt::kType);
    while (!m_Delayed.empty())
    {
        std::unique_ptr<IEvent> event = std::move(m_Delayed.begin()->second);
        m_Delayed.erase(m_Delayed.begin());
    }
    DiscardArrivals();
}

void VEventManagerQt::OnTimer()
{
    StopTimer();
    const Clock::time_point now = Now();
    // The map is re-read on every turn: a delivery may run a nested event loop that
    // files or delivers delayed events itself.
    while (!m_Delayed.empty() && m_Delayed.begin()->first <= now)
    {
        std::unique_ptr<IEvent> event = std::move(m_Delayed.begin()->second);
        m_Delayed.erase(m_Delayed.begin());
        ReceiveDueEvent(std::move(event));
    }
    ArmTimer();
}

bool VEventManagerQt::IsEventThread() const
{
    return std::this_thread::get_id() == m_EventThread;
}

bool VEventManagerQt::PostToEventThread(std::unique_ptr<IEvent> event)
{
    if (event == nullptr)
        return false;
    // postEvent takes the Qt event, thread-safe; posts from one thread keep their order.
    auto* carrier = new VEventQt(std::move(event));
    ReleaseToEventThread(carrier);
    QCoreApplication::postEvent(this, carrier);
    return true;
}

bool VEventManagerQt::event(QEvent* event)
{
    AcquireOnEventThread(event);
    if (event->type() == QEvent::Timer)
    {
        if (static_cast<QTimerEvent*>(event)->timerId() != m_TimerId || m_TimerId == 0)
            return QObject::event(event);
        OnTimer();
        return true;
    }
    if (event->type() == VEventQt::kType)
    {
        std::unique_ptr<IEvent> carried = static_cast<VEventQt*>(event)->Take();
        if (carried == nullptr)
            return true;
        if (const std::uint32_t delayMs = carried->GetDelayMs(); delayMs != 0)
        {
            AddDelayed(std::move(carried), delayMs);
            return true;
        }
        ReceiveDueEvent(std::move(carried));
        return true;
    }
    return QObject::event(event);
}

void VEventManagerQt::AddDelayed(std::unique_ptr<IEvent> event, std::uint32_t delayMs)
{
    const auto due =
        m_Delayed.emplace(Now() + std::chrono::milliseconds(delayMs), std::move(event));
    if (due == m_Delayed.begin())
        ArmTimer();
}

void VEventManagerQt::ArmTimer()
{
    StopTimer();
    if (m_Delayed.empty())
        return;
    // Rounded up, so the timer never fires before the earliest event is due;
    // a precise timer, since coarse ones may fire up to 5 % early.
    const auto remaining =
        std::chrono::ceil<std::chrono::milliseconds>(m_Delayed.begin()->first - Now());
    m_TimerId = startTimer(std::max(remaining, std::chrono::milliseconds(0)), Qt::PreciseTimer);
}

void VEventManagerQt::StopTimer()
{
    if (m_TimerId == 0)
        return;
    killTimer(m_TimerId);
    m_TimerId = 0;
}
