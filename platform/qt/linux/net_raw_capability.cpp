#include "net_raw_capability.h"

#include <dirent.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace linuxsvc {
namespace {

constexpr unsigned kNetRawWord = CAP_NET_RAW / 32;
constexpr std::uint32_t kNetRawBit = 1u << (CAP_NET_RAW % 32);

bool ReadCapabilities(__user_cap_data_struct (&data)[_LINUX_CAPABILITY_U32S_3]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

// Async-signal-safe: it runs in the signal handler on each of the other threads.
void DropNetRawFromThisThread() {
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (!ReadCapabilities(data)) return;
    data[kNetRawWord].effective &= ~kNetRawBit;
    data[kNetRawWord].permitted &= ~kNetRawBit;
    data[kNetRawWord].inheritable &= ~kNetRawBit;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    syscall(SYS_capset, &header, data);
}

// Capabilities belong to each thread, not to the process, so every other thread has to drop
// them itself: each is sent a signal whose handler does it and counts in.
std::atomic<int> g_threadsDropped{0};

void DropOnSignal(int) {
    const int savedErrno = errno;
    DropNetRawFromThisThread();
    g_threadsDropped.fetch_add(1);
    errno = savedErrno;
}

int SignalOtherThreads(int signal) {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return 0;
    const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
    int signalled = 0;
    while (const dirent* entry = readdir(tasks)) {
        const pid_t tid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (tid <= 0 || tid == self) continue;
        if (syscall(SYS_tgkill, getpid(), tid, signal) == 0) ++signalled;
    }
    closedir(tasks);
    return signalled;
}

}  // namespace

bool HoldsNetRawAsNonRoot() {
    if (geteuid() == 0) return false;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (!ReadCapabilities(data)) return false;
    return (data[kNetRawWord].effective & kNetRawBit) != 0 ||
           (data[kNetRawWord].permitted & kNetRawBit) != 0;
}

void DropNetRawFromProcess() {
    DropNetRawFromThisThread();
    const int signal = SIGRTMAX - 1;
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = DropOnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(signal, &action, &previous) != 0) return;
    g_threadsDropped.store(0);
    const int signalled = SignalOtherThreads(signal);
    // A thread that blocks the signal never answers; do not hang on it.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (g_threadsDropped.load() < signalled && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // A signal still on its way would meet the default action, which ends the process: keep
    // the handler in place then.
    if (g_threadsDropped.load() >= signalled) sigaction(signal, &previous, nullptr);
}

}  // namespace linuxsvc
