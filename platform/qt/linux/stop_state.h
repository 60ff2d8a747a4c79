// The one stop request of the process, as the services' own waits see it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace linuxsvc {

// Every blocking wait of the services sleeps on this one bell, so a stop request wakes them all
// with one ring. It is never destroyed: helper threads that outlive main may still ring it.
class StopBell {
  public:
    static StopBell& Instance();

    // Waits until `ready` holds, the deadline passes or a stop is requested; returns `ready()`.
    bool WaitUntil(const std::function<bool()>& ready,
                   std::chrono::steady_clock::time_point deadline);
    // The same, but a stop request does not end it: for waits that a stop must not cut short,
    // such as waiting for a woken thread to finish.
    bool WaitUntilEvenAfterStop(const std::function<bool()>& ready,
                                std::chrono::steady_clock::time_point deadline);
    // Runs `change` under the bell's lock and wakes every waiter, so none misses the change.
    void Ring(const std::function<void()>& change);

    // A descriptor that becomes readable once a stop is requested and stays so; -1 when the
    // system gave none, and then a poll has to wake now and then to look at the flag.
    int WakeDescriptor() const { return m_wakeFd; }

  private:
    StopBell();
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_wakeFd;
};

// Sleeps up to `duration`; false when a stop ended it early.
bool SleepUnlessStopped(std::chrono::milliseconds duration);

}  // namespace linuxsvc
