// The threads the devices start with std::thread (the frame clock, the periodic timer) take
// a signal on an alternate stack, as every thread of ours must for the crash hand-off.
#include "DeviceTestSupport.h"

#include "devices/VPeriodicCallback.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>

using namespace device_test;
using namespace std::chrono_literals;

namespace
{

std::atomic<int> g_OnAlternateStack{-1}; // -1 nothing yet, 0 own stack, 1 alternate stack

void RecordStack(int)
{
    stack_t current{};
    sigaltstack(nullptr, &current);
    g_OnAlternateStack.store((current.ss_flags & SS_ONSTACK) != 0 ? 1 : 0);
}

/// The system id of this process's thread named `name`, or 0.
pid_t FindThread(const std::string& name)
{
    DIR* tasks = opendir("/proc/self/task");
    pid_t found = 0;
    while (tasks != nullptr && found == 0)
    {
        const dirent* entry = readdir(tasks);
        if (entry == nullptr)
            break;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string line;
        if (entry->d_name[0] != '.' && std::getline(comm, line) && line == name)
            found = static_cast<pid_t>(std::stol(entry->d_name));
    }
    if (tasks != nullptr)
        closedir(tasks);
    return found;
}

/// Sends SIGUSR2 to the thread named `name` and reports on which stack its handler ran:
/// 1 the alternate one, 0 its own, -1 no answer (or no such thread).
int StackOfOneHandlerOn(const std::string& name)
{
    // A thread names itself once it runs.
    pid_t thread = 0;
    for (const auto deadline = Clock::now() + 5s; thread == 0 && Clock::now() < deadline;)
    {
        thread = FindThread(name);
        if (thread == 0)
            std::this_thread::sleep_for(1ms);
    }
    if (thread == 0)
        return -1;
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = &RecordStack;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR2, &action, &previous);
    g_OnAlternateStack.store(-1);
    syscall(SYS_tgkill, getpid(), thread, SIGUSR2);
    const auto deadline = Clock::now() + 5s;
    while (g_OnAlternateStack.load() < 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    sigaction(SIGUSR2, &previous, nullptr);
    return g_OnAlternateStack.load();
}

/// StackOfOneHandlerOn until the handler runs on the alternate stack, for at most 2 s: a
/// thread may be named by its creator before it has set up its stack.
int StackOfHandlerOn(const std::string& name)
{
    int stack = -1;
    for (const auto deadline = Clock::now() + 2s; stack != 1 && Clock::now() < deadline;)
        stack = StackOfOneHandlerOn(name);
    return stack;
}

} // namespace

TEST_F(DeviceFixture, TheFrameClockAndThePeriodicTimerHaveAlternateSignalStacks)
{
    VPeriodicCallback timer(1000);
    EXPECT_EQ(StackOfHandlerOn("PeriodicTimer"), 1);

    auto unit = AddDevice(0x02000001u, 2);
    ASSERT_TRUE(Connect(*unit));
    testing::internal::CaptureStdout();
    Dispatch({0x00030005, 0x02000001, 0, 10, 0, 0}); // master at 10 Hz
    unit->SetParam("SyncMode", int32_t{2});
    const bool running = unit->IsSyncThreadRunning();
    const int stack = StackOfHandlerOn("tsm-sync");
    Connect(*unit, false);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(running) << output;
    EXPECT_EQ(stack, 1) << output;
}
