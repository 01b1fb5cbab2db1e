#include "VReportTarget.h"

#include "errorreporting/CrashRecord.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <ucontext.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace
{

VCrashRecord g_TargetRecord;

// Kept backwards, so that the marker itself exists only where the target writes it.
constexpr char kReversedMarker[] = "rekram-paeh-tegrat-troper-mst";

[[noreturn]] void RunTarget(int readyFd)
{
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    std::string reversed(kReversedMarker);
    auto* heap = new std::string(reversed.rbegin(), reversed.rend());

    for (int i = 0; i < 2; ++i)
        std::thread(
            []
            {
                for (;;)
                    pause();
            })
            .detach();

    ucontext_t context{};
    getcontext(&context);
    g_TargetRecord.m_Size = sizeof(VCrashRecord);
    g_TargetRecord.m_ThreadId = static_cast<std::uint32_t>(getpid());
    g_TargetRecord.m_Signal = SIGSEGV;
    g_TargetRecord.m_Code = SEGV_MAPERR;
    g_TargetRecord.m_Address = 0x10;
    for (size_t i = 0; i < VCrashRecord::GeneralRegisterCount; ++i)
        g_TargetRecord.m_GeneralRegisters[i] =
            static_cast<std::uint64_t>(context.uc_mcontext.gregs[i]);
    std::memcpy(g_TargetRecord.m_FloatState, context.uc_mcontext.fpregs,
                VCrashRecord::FloatStateSize);
    g_TargetRecord.m_HasFloatState = 1;
    g_TargetRecord.m_Magic = VCrashRecord::MagicValue;

    const auto marker = reinterpret_cast<std::uint64_t>(heap->data());
    (void)!write(readyFd, &marker, sizeof(marker));
    for (;;)
        pause();
}

} // namespace

std::string VReportTarget::HeapMarker()
{
    const std::string reversed(kReversedMarker);
    return std::string(reversed.rbegin(), reversed.rend());
}

VReportTarget::VReportTarget()
{
    int ready[2];
    if (pipe(ready) != 0)
        return;
    const pid_t child = fork();
    if (child == 0)
    {
        close(ready[0]);
        RunTarget(ready[1]);
    }
    close(ready[1]);
    if (child < 0)
    {
        close(ready[0]);
        return;
    }
    m_Pid = child;
    pollfd entry = {ready[0], POLLIN, 0};
    if (poll(&entry, 1, 10000) != 1 ||
        read(ready[0], &m_HeapMarker, sizeof(m_HeapMarker)) != sizeof(m_HeapMarker))
    {
        kill(m_Pid, SIGKILL);
        waitpid(m_Pid, nullptr, 0);
        m_Pid = -1;
    }
    close(ready[0]);
}

VReportTarget::~VReportTarget()
{
    if (m_Pid <= 0)
        return;
    kill(m_Pid, SIGKILL);
    waitpid(m_Pid, nullptr, 0);
}

std::uint64_t VReportTarget::GetRecordAddress() const
{
    return reinterpret_cast<std::uintptr_t>(&g_TargetRecord);
}
