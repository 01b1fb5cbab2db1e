#include "app/VQuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{

// The write end of the pipe, for the signal handler; -1 while no instance exists.
volatile std::sig_atomic_t g_QuitPipeWriteFd = -1;

struct sigaction g_PreviousInt;
struct sigaction g_PreviousTerm;

extern "C" void OnQuitSignal(int)
{
    const int savedErrno = errno;
    const int fd = g_QuitPipeWriteFd;
    if (fd >= 0)
    {
        const char byte = 'q';
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

VQuitOnSignal::VQuitOnSignal()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_ReadFd = fds[0];
    g_QuitPipeWriteFd = fds[1];

    m_Notifier = std::make_unique<QSocketNotifier>(m_ReadFd, QSocketNotifier::Read);
    const int readFd = m_ReadFd;
    QObject::connect(m_Notifier.get(), &QSocketNotifier::activated,
                     [readFd]()
                     {
                         char buffer[16];
                         while (read(readFd, buffer, sizeof(buffer)) > 0)
                         {
                         }
                         QCoreApplication::quit();
                     });

    struct sigaction action = {};
    action.sa_handler = &OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    m_Active = sigaction(SIGINT, &action, &g_PreviousInt) == 0 &&
               sigaction(SIGTERM, &action, &g_PreviousTerm) == 0;
}

VQuitOnSignal::~VQuitOnSignal()
{
    if (m_ReadFd < 0)
        return;
    sigaction(SIGINT, &g_PreviousInt, nullptr);
    sigaction(SIGTERM, &g_PreviousTerm, nullptr);
    m_Notifier.reset();
    const int writeFd = g_QuitPipeWriteFd;
    g_QuitPipeWriteFd = -1;
    close(writeFd);
    close(m_ReadFd);
}
