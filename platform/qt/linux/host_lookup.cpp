// Host lookups over getaddrinfo and getnameinfo that a stop request can abandon.
//
// glibc's lookups cannot be interrupted, and a silent name server holds one for many seconds. So
// each lookup runs on a helper thread and into state that the helper shares with the caller; on
// a stop the caller returns at once and the helper finishes alone. Helpers stay a while for the
// next lookup rather than start afresh for each (the worker looks up every reply's source); a
// new one starts only when every helper is busy, so a lookup that hangs never holds up another.

// The Windows-shaped names first: the system headers below define some of them as macros.
#include "afxwin.h"
#include "stop_state.h"

#include <netdb.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "winapi.h"

namespace linuxsvc {
namespace {

using Address = std::array<char, 4>;

struct HostAnswer {
    std::string name;
    std::vector<Address> addresses;
};

// How long a caller waits awake for the answer before it sleeps on the bell. An answer from the
// hosts file comes within a fraction of this; waiting awake for it spares the caller a sleep and
// a wake-up on every lookup, and only a lookup that goes to a name server is then slept through.
constexpr std::chrono::microseconds kAwakeWait{1000};
// A helper with nothing to do for this long ends. The worker looks up at least every 10 s and a
// bit while it probes, so its helper stays; a program that looked up once keeps no thread.
constexpr std::chrono::seconds kIdleHelperLife{20};

struct Lookup {
    std::atomic<bool> answered{false};  // set once `done` is, for a look without the lock
    bool done = false;                  // guarded by the stop bell's lock
    bool found = false;
    HostAnswer answer;
};

using Resolve = std::function<bool(HostAnswer&)>;

struct LookupJob {
    Resolve resolve;
    std::shared_ptr<Lookup> lookup;
};

// The helper threads and the lookups waiting for one. Never destroyed: helpers outlive main.
class LookupHelpers {
  public:
    static LookupHelpers& Instance() {
        static const bool forkHandled = [] {
            // A forked child has none of the helpers: it starts a set of its own, and leaves the
            // copied one (its lock perhaps held by a thread that is not there) alone.
            pthread_atfork(nullptr, nullptr, [] { Current() = new LookupHelpers; });
            return true;
        }();
        (void)forkHandled;
        return *Current();
    }

    // False when no helper could take the job.
    bool Submit(LookupJob job) {
        std::unique_lock lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (m_jobs.size() <= m_idle) {
            lock.unlock();
            m_work.notify_one();
            return true;
        }
        try {
            std::thread([this] { Serve(); }).detach();
        } catch (const std::system_error&) {
            m_jobs.pop_back();
            return false;
        }
        return true;
    }

  private:
    LookupHelpers() = default;

    static LookupHelpers*& Current() {
        static LookupHelpers* helpers = new LookupHelpers;
        return helpers;
    }

    void Serve() {
        // Its own name tells it apart from the worker in a list of the program's threads.
        pthread_setname_np(pthread_self(), "tsy-lookup");
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            const bool work =
                m_work.wait_for(lock, kIdleHelperLife, [this] { return !m_jobs.empty(); });
            --m_idle;
            if (!work) return;
            LookupJob job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            Run(job);
            lock.lock();
        }
    }

    static void Run(LookupJob& job) {
        HostAnswer answer;
        const bool found = job.resolve(answer);
        StopBell::Instance().Ring([&] {
            job.lookup->found = found;
            job.lookup->answer = std::move(answer);
            job.lookup->done = true;
        });
        job.lookup->answered.store(true, std::memory_order_release);
    }

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::deque<LookupJob> m_jobs;
    std::size_t m_idle = 0;  // helpers waiting for work
};

// Runs `resolve` on a helper thread; the answer, or nothing when it failed or a stop came first.
std::optional<HostAnswer> RunAbandonable(Resolve resolve) {
    auto lookup = std::make_shared<Lookup>();
    if (!LookupHelpers::Instance().Submit({std::move(resolve), lookup})) return std::nullopt;
    const auto awakeUntil = std::chrono::steady_clock::now() + kAwakeWait;
    while (!lookup->answered.load(std::memory_order_acquire) && !AfxStopRequested() &&
           std::chrono::steady_clock::now() < awakeUntil) {
        std::this_thread::yield();
    }
    // Only a stop ends the wait early: the lookup's own time-outs bound it otherwise.
    const auto farAway = std::chrono::steady_clock::now() + std::chrono::hours(24 * 365);
    StopBell& bell = StopBell::Instance();
    if (!bell.WaitUntil([&] { return lookup->done; }, farAway)) return std::nullopt;
    std::optional<HostAnswer> result;
    bell.Ring([&] {
        if (lookup->found) result = std::move(lookup->answer);
    });
    return result;
}

bool ResolveName(const std::string& name, HostAnswer& answer) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* results = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &results) != 0) return false;
    answer.name = results->ai_canonname != nullptr ? results->ai_canonname : name;
    for (const addrinfo* entry = results; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET) continue;
        Address address;
        std::memcpy(address.data(),
                    &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr, 4);
        bool seen = false;
        for (const Address& known : answer.addresses) seen = seen || known == address;
        if (!seen) answer.addresses.push_back(address);
    }
    freeaddrinfo(results);
    return !answer.addresses.empty();
}

bool ResolveAddress(const Address& address, HostAnswer& answer) {
    sockaddr_in node{};
    node.sin_family = AF_INET;
    std::memcpy(&node.sin_addr.s_addr, address.data(), 4);
    char name[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&node), sizeof(node), name, sizeof(name),
                    nullptr, 0, NI_NAMEREQD) != 0) {
        return false;
    }
    answer.name = name;
    answer.addresses = {address};
    return true;
}

// The calling thread's host record, as Windows Sockets keeps one per thread.
class ThreadHostRecord {
  public:
    win::hostent* Fill(HostAnswer answer) {
        m_answer = std::move(answer);
        m_addressPointers.clear();
        for (Address& address : m_answer.addresses) m_addressPointers.push_back(address.data());
        m_addressPointers.push_back(nullptr);
        m_aliases[0] = nullptr;
        m_record.h_name = m_answer.name.data();
        m_record.h_aliases = m_aliases;
        m_record.h_addrtype = AF_INET;
        m_record.h_length = 4;
        m_record.h_addr_list = m_addressPointers.data();
        return &m_record;
    }

  private:
    HostAnswer m_answer;
    std::vector<char*> m_addressPointers;
    char* m_aliases[1] = {nullptr};
    win::hostent m_record{};
};

thread_local ThreadHostRecord t_hostRecord;

}  // namespace
}  // namespace linuxsvc

namespace win {

hostent* gethostbyname(const char* name) {
    if (name == nullptr || AfxStopRequested()) return nullptr;
    const std::string wanted(name);
    auto answer = linuxsvc::RunAbandonable(
        [wanted](linuxsvc::HostAnswer& out) { return linuxsvc::ResolveName(wanted, out); });
    return answer ? linuxsvc::t_hostRecord.Fill(std::move(*answer)) : nullptr;
}

hostent* gethostbyaddr(const char* address, int length, int type) {
    if (address == nullptr || length != 4 || type != AF_INET || AfxStopRequested()) {
        return nullptr;
    }
    linuxsvc::Address node;
    std::memcpy(node.data(), address, 4);
    auto answer = linuxsvc::RunAbandonable(
        [node](linuxsvc::HostAnswer& out) { return linuxsvc::ResolveAddress(node, out); });
    return answer ? linuxsvc::t_hostRecord.Fill(std::move(*answer)) : nullptr;
}

}  // namespace win
