#include "stop_state.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#include "afxwin.h"
#include "linux_services.h"

namespace linuxsvc {
namespace {
std::atomic<bool> g_stopRequested{false};
std::atomic<void (*)()> g_stopListener{nullptr};
}  // namespace

StopBell::StopBell() : m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopBell& StopBell::Instance() {
    static StopBell* bell = new StopBell;
    return *bell;
}

bool StopBell::WaitUntil(const std::function<bool()>& ready,
                         std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_until(lock, deadline, [&] { return ready() || g_stopRequested.load(); });
    return ready();
}

bool StopBell::WaitUntilEvenAfterStop(const std::function<bool()>& ready,
                                      std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_until(lock, deadline, ready);
}

void StopBell::Ring(const std::function<void()>& change) {
    {
        std::lock_guard lock(m_mutex);
        change();
    }
    m_changed.notify_all();
}

bool SleepUnlessStopped(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    StopBell::Instance().WaitUntil([] { return false; }, deadline);
    return !g_stopRequested.load();
}

void SetStopListener(void (*listener)()) {
    g_stopListener.store(listener);
}

}  // namespace linuxsvc

void AfxRequestStop() {
    using linuxsvc::StopBell;
    StopBell& bell = StopBell::Instance();
    bell.Ring([] { linuxsvc::g_stopRequested.store(true); });
    if (bell.WakeDescriptor() >= 0) {
        // Never read back: the descriptor stays readable for every later wait too.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(bell.WakeDescriptor(), &one, sizeof(one));
    }
    if (auto* listener = linuxsvc::g_stopListener.load()) listener();
}

bool AfxStopRequested() {
    return linuxsvc::g_stopRequested.load();
}
