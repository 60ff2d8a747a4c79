#include "child_process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

double Milliseconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

[[noreturn]] void BecomeProgram(char* const argv[]) {
    // Should we die, so does the program: no orphan stays on the display.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int nothing = open("/dev/null", O_RDONLY);
    if (nothing >= 0) dup2(nothing, STDIN_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    execvp(argv[0], argv);
    std::perror(argv[0]);
    _exit(127);
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (m_pidfd >= 0) close(m_pidfd);
}

bool ChildProcess::Start(char* const argv[]) {
    std::fflush(nullptr);
    m_pid = fork();
    if (m_pid < 0) return false;
    if (m_pid == 0) BecomeProgram(argv);
    m_pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    return m_pidfd >= 0;
}

std::string ChildProcess::Reap() {
    int status = 0;
    rusage usage{};
    if (wait4(m_pid, &status, 0, &usage) != m_pid) return "code=unknown";
    m_pid = -1;
    char text[256];
    std::snprintf(
        text, sizeof(text),
        "code=%d signal=%d utime_ms=%.3f stime_ms=%.3f nvcsw=%ld nivcsw=%ld maxrss_kb=%ld",
        WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
        Milliseconds(usage.ru_utime), Milliseconds(usage.ru_stime), usage.ru_nvcsw, usage.ru_nivcsw,
        usage.ru_maxrss);
    return text;
}

void ChildProcess::Terminate() {
    if (m_pid > 0) kill(m_pid, SIGTERM);
}
