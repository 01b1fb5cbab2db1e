// Helpers that turn the Qt event loop of the test's main thread.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace testsupport
{

/// Runs the event loop until `done` holds or `timeout` has passed; returns `done`.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(1);
    poll.callOnTimeout(&loop,
                       [&]
                       {
                           if (done() || std::chrono::steady_clock::now() >= deadline)
                               loop.quit();
                       });
    poll.start();
    loop.exec();
    return done();
}

/// Runs the event loop for `duration`, to show that something does not happen.
inline void PumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    PumpUntil([end] { return std::chrono::steady_clock::now() >= end; }, duration * 2);
}

} // namespace testsupport
