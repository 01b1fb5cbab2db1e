// Lets SIGINT and SIGTERM end the Qt event loop, so that tsmCL's teardown runs
// (the device manager stops its threads) instead of the process just vanishing.
#pragma once

#include <memory>

class QSocketNotifier;

/// While it exists, the first SIGINT or SIGTERM asks QCoreApplication to quit;
/// the handlers reset themselves, so a second signal ends the process the
/// default way (useful when teardown hangs). The signal handler only writes one
/// byte to a pipe; the quit request runs on the main thread from the event loop.
/// Create and destroy on the main thread after the QCoreApplication exists; at
/// most one instance at a time. Destruction puts the previous handlers back.
class VQuitOnSignal
{
public:
    VQuitOnSignal();
    ~VQuitOnSignal();
    VQuitOnSignal(const VQuitOnSignal&) = delete;
    VQuitOnSignal& operator=(const VQuitOnSignal&) = delete;

    /// False when the pipe or the handlers could not be set up; the default
    /// signal handling then stays in force.
    bool IsActive() const { return m_Active; }

private:
    int m_ReadFd = -1;
    bool m_Active = false;
    std::unique_ptr<QSocketNotifier> m_Notifier;
};
