// A joinable, named thread object with a built-in stop request, plus sleeping and waiting on
// several syncronisers at once.
#pragma once

#include "net/VEvent.h"
#include "net/VSyncroniser.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Base of every thread of the system: derive, implement Run(), call Start().
///
/// Stopping is cooperative and prompt: Stop() (or RequestStop() then Join()) sets the stop
/// event; Run() must watch it (IsStopRequested(), WaitForStop(ms), or GetStopEvent() in a
/// WaitForAny list) and also be woken from any blocking call by its owner (for sockets: an
/// Interrupt() or RequestStop() on the socket) before the owner joins.
///
/// Threading contract: Start, Stop, Join and destruction belong to the owner's thread(s), never
/// to the thread itself; RequestStop, IsStopRequested and the getters may be called from any
/// thread. The owner must stop and join the thread in the derived class's destructor (or
/// earlier): the base destructor joins as a last resort, when the derived part is already gone.
/// Not copyable.
class VThread
{
public:
    /// Raw results of WaitForAny besides the index of the signalled object.
    static constexpr uint32_t WaitTimeout = 0x102u;
    static constexpr uint32_t WaitFailed = 0xFFFFFFFFu;

    /// `name` is published to the system (cut to 15 characters) when the thread starts.
    explicit VThread(std::string name = {});
    virtual ~VThread();
    VThread(const VThread&) = delete;
    VThread& operator=(const VThread&) = delete;

    /// The thread's work; runs once on the new thread.
    virtual void Run() = 0;

    /// Starts the thread (`stackSize` 0 = the default). Returns true when this call started it;
    /// false, doing nothing, when it had already been started. Failure to create a thread is a
    /// fatal internal error: the process stops with a message on standard error.
    bool Start(uint32_t stackSize = 0);

    /// Asks Run() to end: sets the stop event. Any thread; idempotent.
    void RequestStop();
    bool IsStopRequested() const { return m_StopEvent.IsSet(); }
    /// Manual-reset event set by RequestStop, for WaitForAny lists in Run().
    VEvent& GetStopEvent() { return m_StopEvent; }
    /// Sleeps up to `timeoutMs`; returns true at once when a stop is requested.
    bool WaitForStop(uint32_t timeoutMs) { return m_StopEvent.Wait(timeoutMs); }

    /// Waits for the thread to end and releases it. False when it was never started, was
    /// already joined, or when called from the thread itself (a thread cannot join itself).
    bool Join();
    /// RequestStop() then Join().
    bool Stop();
    /// Waits up to `timeoutMs` for Run() to return, without releasing the thread. True if it
    /// has ended (or was never started).
    bool WaitForExit(uint32_t timeoutMs);

    /// True between Start() and the end of Run().
    bool IsRunning() const;
    /// True when called on this thread.
    bool IsCurrentThread() const;
    const std::string& GetName() const { return m_Name; }
    /// The system's id of the thread (0 before Start).
    uint32_t GetThreadId() const { return m_ThreadId.load(); }

    /// Changes the scheduling priority, in the Windows-like scale -15 (idle) .. 15 (time
    /// critical), 0 normal; mapped onto the thread's nice value. Works only once started;
    /// false when not started, ended, or refused by the system (raising needs privileges).
    bool SetPriority(int priority);

    /// Sleeps the calling thread for `ms` milliseconds.
    static void Sleep(uint32_t ms);

    /// Waits until one of `objects` is signalled and takes it (see VSyncroniser::Wait).
    /// True on success; `rawResult`, when given, receives the zero-based index of the object,
    /// WaitTimeout, or WaitFailed (empty list or an object without a handle).
    static bool WaitForAny(const std::vector<VSyncroniser*>& objects, uint32_t timeoutMs,
                           uint32_t* rawResult = nullptr);
    /// Waits until all `objects` are signalled at the same moment and takes them all at once.
    /// False on time-out, an empty list, an object without a handle, or an object listed twice.
    static bool WaitForAll(const std::vector<VSyncroniser*>& objects, uint32_t timeoutMs);

private:
    static void* ThreadEntry(void* self);

    std::string m_Name;
    pthread_t m_Handle{};                // valid while m_Started && !m_Joined; owner thread only
    std::atomic<bool> m_Started{false};  // written by the owner thread
    bool m_Joined = false;               // owner thread only
    std::atomic<uint32_t> m_ThreadId{0}; // written once by the new thread before Run()
    VEvent m_StartedEvent{true, false};  // set once the new thread has published its id
    VEvent m_ExitEvent{true, false};     // set when Run() has returned
    VEvent m_StopEvent{true, false};     // set by RequestStop
};

/// A VThread that runs a function, for owners that do not want a subclass. The function gets
/// the thread so that it can watch the stop request.
class VFunctionThread : public VThread
{
public:
    VFunctionThread(std::string name, std::function<void(VThread&)> body)
        : VThread(std::move(name)), m_Body(std::move(body))
    {
    }
    /// Requests a stop and joins: the function must watch the stop request or be woken by
    /// its owner before this runs.
    ~VFunctionThread() override { Stop(); }

    void Run() override
    {
        if (m_Body)
            m_Body(*this);
    }

private:
    std::function<void(VThread&)> m_Body;
};
