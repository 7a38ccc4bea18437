#include "browser/host/ProgramStarter.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
// Only async-signal-safe calls between fork and exec.
[[noreturn]] void runChild(const char* path, int errorPipe) {
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO)
            ::close(null);
    }
    // Nothing of the host's (the browser's pipes, sockets) reaches the
    // program; the error pipe closes itself at exec.
    if (errorPipe > 3)
        ::close_range(3, unsigned(errorPipe) - 1, 0);
    ::close_range(unsigned(errorPipe) + 1, ~0u, 0);
    // The host ignores SIGPIPE; a program must start with the defaults.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        ::sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    char* const argv[] = {const_cast<char*>(path), nullptr};
    ::execve(path, argv, environ);
    const int err = errno;
    [[maybe_unused]] const ssize_t n = ::write(errorPipe, &err, sizeof err);
    ::_exit(127);
}
} // namespace

bool ProgramStarter::start(const QString& exePath, QString* error) {
    const QByteArray path = QFile::encodeName(exePath);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        runChild(path.constData(), pipeFds[1]);
    }
    ::close(pipeFds[1]);
    int childErrno = 0;
    ssize_t n;
    do
        n = ::read(pipeFds[0], &childErrno, sizeof childErrno);
    while (n < 0 && errno == EINTR);
    ::close(pipeFds[0]);
    if (n == ssize_t(sizeof childErrno)) {
        ::waitpid(pid, nullptr, 0);
        *error = QString::fromLocal8Bit(std::strerror(childErrno));
        return false;
    }
    m_pid = pid;
    return true;
}

ProgramStarter::State ProgramStarter::poll(QString* how) {
    if (m_pid <= 0)
        return State::ExitedCleanly;
    int status = 0;
    const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
    if (r == 0)
        return State::Running;
    m_pid = -1;
    if (r < 0)
        return State::ExitedCleanly;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return State::ExitedCleanly;
    if (how)
        *how = WIFSIGNALED(status) ? QStringLiteral("signal %1").arg(WTERMSIG(status))
                                   : QStringLiteral("exit code %1").arg(WEXITSTATUS(status));
    return State::Failed;
}
