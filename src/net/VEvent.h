// A waitable event, manual or automatic reset, on the standard library.
#pragma once

#include "net/VSyncroniser.h"

#include <string>

/// An event that threads wait on with Wait() or VThread::WaitForAny/WaitForAll.
/// A manual-reset event stays signalled until Reset(); an automatic-reset event releases one
/// waiter and resets itself. Copies share the event. Thread-safe: any thread may Set, Reset,
/// Pulse or wait.
class VEvent : public VSyncroniser
{
public:
    /// `name` is kept for diagnostics only: there are no shared named objects on this
    /// platform, so two events with the same name are two events.
    VEvent(bool manualReset, bool initialState, std::string name = {});

    /// Signals the event. Always true.
    virtual bool Set();
    /// Clears the signal. Always true.
    virtual bool Reset();
    /// Releases the threads waiting at this moment (a manual-reset event: all of them, an
    /// automatic one: at most one) and leaves the event reset. Threads that start waiting
    /// later are not released. Waits for all objects at once are not released by a pulse.
    virtual bool Pulse();

    /// True while the event is signalled; does not consume an automatic-reset signal.
    bool IsSet() const;
    bool IsManualReset() const;
    const std::string& GetName() const { return m_Name; }

private:
    std::string m_Name;
};
