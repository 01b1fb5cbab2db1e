#include "app/VCrashHandOff.h"

#include "errorreporting/CrashRecord.h"
#include "lumen/Log.h"
#include "net/VAlternateSignalStack.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/ucontext.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace
{

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr const char* kCloseMessage = "Application crash - generating error report...";

/// What the handler needs, prepared when the hand-off is installed.
struct VHandOffState
{
    int m_Brand = 0; // the brand index of the reporter's command line
    char m_ReporterPath[PATH_MAX] = {};
    int m_GoPipe[2] = {-1, -1};   // parent to reporter: tracing is allowed, go on
    int m_ExecPipe[2] = {-1, -1}; // reporter to parent: errno of a failed exec (close-on-exec)
    std::terminate_handler m_PreviousTerminate = nullptr;
    VAlternateSignalStack* m_MainThreadStack = nullptr; // never released, like the handlers
};

VHandOffState g_HandOff;
VCrashRecord g_CrashRecord;
std::atomic<pid_t> g_CrashingThread{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);

/// Text built without allocation or locale, for the handler's lines and arguments.
class VSignalSafeText
{
public:
    VSignalSafeText& Append(const char* text)
    {
        while (*text != '\0' && m_Length + 1 < sizeof(m_Text))
            m_Text[m_Length++] = *text++;
        m_Text[m_Length] = '\0';
        return *this;
    }

    VSignalSafeText& AppendDecimal(long long value)
    {
        char digits[24];
        int count = 0;
        unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
        do
        {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0)
            digits[count++] = '-';
        return AppendReversed(digits, count);
    }

    /// Upper-case hexadecimal, at least `minimumDigits` digits.
    VSignalSafeText& AppendHex(unsigned long long value, int minimumDigits)
    {
        char digits[24];
        int count = 0;
        do
        {
            digits[count++] = "0123456789ABCDEF"[value & 0xF];
            value >>= 4;
        } while (value != 0 || count < minimumDigits);
        return AppendReversed(digits, count);
    }

    char* Get() { return m_Text; }

    void WriteTo(int fd) const
    {
        const char* text = m_Text;
        size_t left = m_Length;
        while (left > 0)
        {
            const ssize_t written = write(fd, text, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return;
            text += written;
            left -= static_cast<size_t>(written);
        }
    }

private:
    VSignalSafeText& AppendReversed(const char* digits, int count)
    {
        while (count > 0 && m_Length + 1 < sizeof(m_Text))
            m_Text[m_Length++] = digits[--count];
        m_Text[m_Length] = '\0';
        return *this;
    }

    char m_Text[128] = {};
    size_t m_Length = 0;
};

void CloseIfOpen(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

/// Fills the crash record; m_Magic last, so a record that the reporter sees complete is.
void RecordCrash(int signalNumber, const siginfo_t* info, const void* context, pid_t thread)
{
    VCrashRecord& record = g_CrashRecord;
    record.m_Size = sizeof(VCrashRecord);
    record.m_ThreadId = static_cast<std::uint32_t>(thread);
    record.m_Signal = signalNumber;
    record.m_Code = info != nullptr ? info->si_code : 0;
    record.m_Errno = info != nullptr ? info->si_errno : 0;
    record.m_Address = info != nullptr ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
    if (const auto* user = static_cast<const ucontext_t*>(context))
    {
        for (size_t i = 0; i < VCrashRecord::GeneralRegisterCount; ++i)
            record.m_GeneralRegisters[i] = static_cast<std::uint64_t>(user->uc_mcontext.gregs[i]);
        // The floating-point state lies in the signal frame, which is gone once the handler
        // returns: the record keeps a copy.
        if (user->uc_mcontext.fpregs != nullptr)
        {
            std::memcpy(record.m_FloatState, user->uc_mcontext.fpregs,
                        VCrashRecord::FloatStateSize);
            record.m_HasFloatState = 1;
        }
    }
    static_assert(sizeof(*ucontext_t().uc_mcontext.fpregs) == VCrashRecord::FloatStateSize);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    record.m_Magic = VCrashRecord::MagicValue;
}

/// The reporter's side of the fork: waits until tracing is allowed, keeps only the standard
/// streams and the exec-status pipe, and becomes the reporter.
[[noreturn]] void BecomeReporter(char* const arguments[])
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    CloseIfOpen(g_HandOff.m_GoPipe[1]);
    CloseIfOpen(g_HandOff.m_ExecPipe[0]);
    if (g_HandOff.m_GoPipe[0] >= 0)
    {
        char go = 0;
        while (read(g_HandOff.m_GoPipe[0], &go, 1) < 0 && errno == EINTR)
        {
        }
    }
    constexpr int StatusFd = 3;
    int status = g_HandOff.m_ExecPipe[1];
    if (status >= 0 && status != StatusFd)
        status = dup3(status, StatusFd, O_CLOEXEC);
    close_range(status == StatusFd ? StatusFd + 1 : StatusFd, ~0u, 0);

    execve(g_HandOff.m_ReporterPath, arguments, environ);
    const int error = errno;
    if (status == StatusFd)
        while (write(StatusFd, &error, sizeof(error)) < 0 && errno == EINTR)
        {
        }
    _exit(127);
}

void PrintCreateFailure(int error)
{
    VSignalSafeText line;
    line.Append("Failed to create process, error was ")
        .AppendHex(static_cast<unsigned>(error), 8)
        .Append("\n");
    line.WriteTo(STDOUT_FILENO);
}

/// Starts the reporter and waits for it. Returns only when the process is to end through the
/// signal's default action; a reporter that ends with 0 ends the process here.
void StartReporterAndWait(pid_t thread)
{
    VSignalSafeText pidText;
    pidText.AppendDecimal(getpid());
    VSignalSafeText recordText;
    recordText.Append("0x").AppendHex(reinterpret_cast<std::uintptr_t>(&g_CrashRecord), 1);
    VSignalSafeText threadText;
    threadText.AppendDecimal(thread);
    VSignalSafeText brandText;
    brandText.AppendDecimal(g_HandOff.m_Brand);
    char* const arguments[] = {g_HandOff.m_ReporterPath, pidText.Get(),   recordText.Get(),
                               threadText.Get(),         brandText.Get(), nullptr};

    const pid_t child = _Fork();
    if (child < 0)
    {
        PrintCreateFailure(errno);
        return;
    }
    if (child == 0)
        BecomeReporter(arguments);

    CloseIfOpen(g_HandOff.m_GoPipe[0]);
    CloseIfOpen(g_HandOff.m_ExecPipe[1]);
    // Where tracing is restricted to ancestors, the reporter (a child) needs leave to attach.
    prctl(PR_SET_PTRACER, child, 0, 0, 0);
    if (g_HandOff.m_GoPipe[1] >= 0)
        while (write(g_HandOff.m_GoPipe[1], "g", 1) < 0 && errno == EINTR)
        {
        }
    CloseIfOpen(g_HandOff.m_GoPipe[1]);

    int execError = 0;
    ssize_t got = 0;
    if (g_HandOff.m_ExecPipe[0] >= 0)
        while ((got = read(g_HandOff.m_ExecPipe[0], &execError, sizeof(execError))) < 0 &&
               errno == EINTR)
        {
        }
    CloseIfOpen(g_HandOff.m_ExecPipe[0]);

    int status = 0;
    pid_t waited = 0;
    while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR)
    {
    }
    if (got == static_cast<ssize_t>(sizeof(execError)))
    {
        PrintCreateFailure(execError);
        return;
    }
    if (waited < 0)
    {
        VSignalSafeText line;
        line.Append("Failed to wait for process ID ")
            .AppendDecimal(child)
            .Append(", error was 0x")
            .AppendHex(static_cast<unsigned>(errno), 8)
            .Append("\n");
        line.WriteTo(STDOUT_FILENO);
        return;
    }
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (exitCode == 0)
        _exit(1);
    VSignalSafeText line;
    line.Append("Exit code for process ID ")
        .AppendDecimal(child)
        .Append(" was ")
        .AppendDecimal(exitCode)
        .Append("\n");
    line.WriteTo(STDOUT_FILENO);
}

/// Sets the default action and sends the signal again to this thread: it is blocked while the
/// handler runs and ends the process as soon as the handler returns.
void EndThroughDefaultAction(int signalNumber, pid_t thread)
{
    struct sigaction defaultAction = {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signalNumber, &defaultAction, nullptr);
    syscall(SYS_tgkill, getpid(), thread, signalNumber);
}

void OnCrashSignal(int signalNumber, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    const auto self = static_cast<pid_t>(syscall(SYS_gettid));
    pid_t first = 0;
    if (!g_CrashingThread.compare_exchange_strong(first, self))
    {
        // The hand-off itself failed: no second attempt.
        if (first == self)
        {
            EndThroughDefaultAction(signalNumber, self);
            return;
        }
        // Another thread is handing off; the process ends with it.
        for (;;)
            pause();
    }
    ZEL::CloseLog(kCloseMessage);
    RecordCrash(signalNumber, info, context, self);
    StartReporterAndWait(self);
    EndThroughDefaultAction(signalNumber, self);
    errno = savedErrno;
}

/// An uncaught exception: the runtime's own handler names it on standard error and aborts,
/// which reaches the hand-off through SIGABRT.
[[noreturn]] void OnTerminate()
{
    if (g_HandOff.m_PreviousTerminate != nullptr)
        g_HandOff.m_PreviousTerminate();
    std::abort();
}

void PrepareReporterPath()
{
    char own[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", own, sizeof(own) - 1);
    if (length <= 0)
        return; // an empty path: the start fails and says so
    own[length] = '\0';
    char* slash = std::strrchr(own, '/');
    const size_t folder = slash != nullptr ? static_cast<size_t>(slash - own + 1) : 0;
    if (folder + std::strlen(VCrashHandOff::ReporterName) + 1 > sizeof(g_HandOff.m_ReporterPath))
        return;
    std::memcpy(g_HandOff.m_ReporterPath, own, folder);
    std::strcpy(g_HandOff.m_ReporterPath + folder, VCrashHandOff::ReporterName);
}

} // namespace

VCrashHandOff::VCrashHandOff(int brandIndex)
{
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    g_HandOff.m_Brand = brandIndex;
    // The log exists from here on, so that a crash before the first log line still closes it.
    ZEL::GlobalLog();
    PrepareReporterPath();
    if (pipe2(g_HandOff.m_GoPipe, O_CLOEXEC) != 0)
        g_HandOff.m_GoPipe[0] = g_HandOff.m_GoPipe[1] = -1;
    if (pipe2(g_HandOff.m_ExecPipe, O_CLOEXEC) != 0)
        g_HandOff.m_ExecPipe[0] = g_HandOff.m_ExecPipe[1] = -1;

    g_HandOff.m_MainThreadStack = new VAlternateSignalStack();

    struct sigaction action = {};
    action.sa_sigaction = &OnCrashSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kCrashSignals)
        sigaction(signalNumber, &action, nullptr);
    g_HandOff.m_PreviousTerminate = std::set_terminate(&OnTerminate);
}

const char* VCrashHandOff::GetReporterPath()
{
    return g_HandOff.m_ReporterPath;
}

std::uint64_t VCrashHandOff::GetCrashRecordAddress()
{
    return reinterpret_cast<std::uintptr_t>(&g_CrashRecord);
}
