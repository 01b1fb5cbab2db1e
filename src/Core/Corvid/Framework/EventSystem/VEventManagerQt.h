// The event manager of the running program: delivers events on the thread that
// created it, through the Qt core event loop.
#pragma once

#include "Core/Corvid/Framework/EventSystem/VEventManager.h"

#include <QObject>

#include <chrono>
#include <map>
#include <memory>
#include <thread>

class QEvent;

/// Posts events to its own QObject with QCoreApplication::postEvent (wrapped in a
/// VEventQt of type 1000); the Qt event loop of the creating thread delivers them.
/// Delayed events wait in a map ordered by due time on the monotonic clock, several
/// per due time, and one Qt timer is armed for the earliest.
///
/// Threading: create, use Send/OnTimer and destroy on the event thread (the main
/// thread, which runs QCoreApplication::exec); never move it to another thread. Any
/// thread may Post (and so Invoke). Destruction drops, unrun, every event still
/// posted, delayed or waiting; before destroying the manager stop every thread that
/// may still post to it.
class VEventManagerQt : public VEventManager, public QObject
{
public:
    using Clock = std::chrono::steady_clock;

    VEventManagerQt();
    ~VEventManagerQt() override;

    void OnTimer() override;
    bool IsEventThread() const override;
    bool PostToEventThread(std::unique_ptr<IEvent> event) override;

    /// Number of delayed events waiting for their due time. Event thread.
    std::size_t GetDelayedCount() const { return m_Delayed.size(); }

protected:
    bool event(QEvent* event) override;

    /// The time base of delays; a test may replace it.
    virtual Clock::time_point Now() const { return Clock::now(); }

private:
    /// Files a delayed event and re-arms the timer when it became the earliest.
    void AddDelayed(std::unique_ptr<IEvent> event, std::uint32_t delayMs);
    /// Stops the timer and starts one for the earliest delayed event, if any.
    void ArmTimer();
    void StopTimer();

    const std::thread::id m_EventThread;
    std::multimap<Clock::time_point, std::unique_ptr<IEvent>> m_Delayed; // event thread only
    int m_TimerId = 0; // event thread only; 0 when no timer runs
};
