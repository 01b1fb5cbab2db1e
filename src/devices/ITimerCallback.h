// The callback interface of the process-wide periodic timer.
#pragma once

/// Something that wants to run at every tick of a VPeriodicCallback.
/// OnTimer runs on the periodic thread under the registry lock: it must be short, must not
/// block on anything the registering threads may hold while they (un)register, and may call
/// Register or Unregister of the same timer (the lock is re-entrant).
class ITimerCallback
{
public:
    virtual ~ITimerCallback() = default;
    virtual void OnTimer() = 0;
};
