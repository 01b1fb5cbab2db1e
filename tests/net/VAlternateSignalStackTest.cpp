// Every thread of ours can take a fault signal even when its own stack has overflowed.
#include "net/VAlternateSignalStack.h"
#include "net/VThread.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace
{

constexpr int kHandledExit = 42;

void ExitFromHandler(int)
{
    _exit(kHandledExit);
}

/// Recurses until the stack is gone (the limit is never reached); the volatile array keeps
/// each frame alive.
__attribute__((noinline)) int Overflow(int depth, volatile const int& limit)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == limit)
        return frame[0];
    return Overflow(depth + 1, limit) + frame[0];
}

/// Installs a SIGSEGV handler on the alternate stack, overflows the stack of a thread of ours
/// and ends with the handler's exit code when the handler could run.
[[noreturn]] void OverflowOnOwnThread()
{
    struct sigaction action = {};
    action.sa_handler = &ExitFromHandler;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
    static volatile int limit = -1;
    VFunctionThread thread("overflow", [](VThread&) { Overflow(0, limit); });
    thread.Start();
    thread.Join();
    _exit(1);
}

} // namespace

TEST(AlternateSignalStack, EveryThreadOfOursTakesTheFaultOfAnOverflowedStack)
{
    EXPECT_EXIT(OverflowOnOwnThread(), testing::ExitedWithCode(kHandledExit), "");
}

TEST(AlternateSignalStack, InstallsOnceAndGivesBackThePreviousStack)
{
    VFunctionThread thread("stacks",
                           [](VThread&)
                           {
                               // VThread gave this thread its stack; a second holder keeps it and
                               // does nothing.
                               EXPECT_TRUE(VAlternateSignalStack::CurrentThreadHasOne());
                               stack_t before{};
                               sigaltstack(nullptr, &before);
                               {
                                   const VAlternateSignalStack second;
                                   EXPECT_FALSE(second.IsInstalled());
                               }
                               stack_t after{};
                               sigaltstack(nullptr, &after);
                               EXPECT_EQ(after.ss_sp, before.ss_sp);

                               // Without one, a holder installs its own and puts "none" back when
                               // it goes.
                               stack_t none{};
                               none.ss_flags = SS_DISABLE;
                               ASSERT_EQ(sigaltstack(&none, nullptr), 0);
                               {
                                   const VAlternateSignalStack own;
                                   EXPECT_TRUE(own.IsInstalled());
                                   EXPECT_TRUE(VAlternateSignalStack::CurrentThreadHasOne());
                               }
                               EXPECT_FALSE(VAlternateSignalStack::CurrentThreadHasOne());
                               ASSERT_EQ(sigaltstack(&before, nullptr), 0);
                           });
    thread.Start();
    thread.Join();
}
