// The echo module for real: to this machine's loopback, and to a silent host in a private
// network namespace. Nothing leaves 127.0.0.0/8 and 10.200.9.0/24.

// The Windows-shaped names first: the system headers below define some of them as macros.
#include "echo_module.h"
#include "afxwin.h"
#include "test_support.h"

#include <arpa/inet.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using linuxsvc::EchoSocketKind;

const win::IPAddr kLoopback = htonl(INADDR_LOOPBACK);
constexpr win::DWORD kTimeout = 5000;

struct ModuleEntryPoints {
    win::PFN_IcmpCreateFile create;
    win::PFN_IcmpCloseHandle close;
    win::PFN_IcmpSendEcho send;
};

// Reached the way the worker reaches them.
ModuleEntryPoints LoadEchoModule() {
    const win::HMODULE module = win::LoadLibraryA("ICMP.DLL");
    return {
        reinterpret_cast<win::PFN_IcmpCreateFile>(win::GetProcAddress(module, "IcmpCreateFile")),
        reinterpret_cast<win::PFN_IcmpCloseHandle>(win::GetProcAddress(module, "IcmpCloseHandle")),
        reinterpret_cast<win::PFN_IcmpSendEcho>(win::GetProcAddress(module, "IcmpSendEcho"))};
}

// The worker's request: no payload, time-to-live 6, one record of reply room.
win::DWORD SendWorkerEcho(const ModuleEntryPoints& echo, win::HANDLE handle,
                          win::IPAddr destination, win::ICMP_ECHO_REPLY& reply,
                          win::DWORD timeout = kTimeout) {
    win::IP_OPTION_INFORMATION options{};
    options.Ttl = 6;
    return echo.send(handle, destination, nullptr, 0, &options, &reply, sizeof(reply), timeout);
}

// Sees every ICMP packet that arrives here, our own requests on loopback among them.
class IcmpSniffer {
  public:
    IcmpSniffer() : m_fd(socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP)) {}
    ~IcmpSniffer() {
        if (m_fd >= 0) close(m_fd);
    }
    IcmpSniffer(const IcmpSniffer&) = delete;
    IcmpSniffer& operator=(const IcmpSniffer&) = delete;

    // Whether an echo request with this time-to-live and nothing after its ICMP header came by.
    bool SawBareRequest(std::uint8_t ttl) const {
        unsigned char packet[65536];
        for (ssize_t got; (got = recv(m_fd, packet, sizeof(packet), 0)) >= 0;) {
            const std::size_t header = (packet[0] & 0x0F) * 4u;
            const bool request = got >= 28 && packet[9] == IPPROTO_ICMP && packet[header] == 8;
            if (request && packet[8] == ttl && static_cast<std::size_t>(got) == header + 8) {
                return true;
            }
        }
        return false;
    }
    // The time-to-live of every echo request that came by since the last look, in order.
    std::vector<int> RequestTtls() const {
        std::vector<int> ttls;
        unsigned char packet[65536];
        for (ssize_t got; (got = recv(m_fd, packet, sizeof(packet), 0)) >= 0;) {
            const std::size_t header = (packet[0] & 0x0F) * 4u;
            if (got >= 28 && packet[9] == IPPROTO_ICMP && packet[header] == 8)
                ttls.push_back(packet[8]);
        }
        return ttls;
    }
    bool Open() const { return m_fd >= 0; }

  private:
    int m_fd;
};

// In a network namespace of the test's own, where no other program pings.
std::string ExpectLoopbackAnswers(std::optional<EchoSocketKind> wantedKind, bool alone = true) {
    const IcmpSniffer sniffer;
    if (alone && !sniffer.Open()) return "cannot watch the requests";
    const ModuleEntryPoints echo = LoadEchoModule();
    const win::HANDLE handle = echo.create();
    if (handle == win::INVALID_HANDLE_VALUE) return "no echo handle";
    std::string failures;
    if (wantedKind && linuxsvc::EchoSocketKindOf(handle) != *wantedKind)
        failures += "other socket kind; ";
    for (int round = 0; round < 3; ++round) {
        win::ICMP_ECHO_REPLY reply{};
        std::memset(&reply, 0xEE, sizeof(reply));
        if (SendWorkerEcho(echo, handle, kLoopback, reply) != 1) {
            failures += "no reply counted; ";
            continue;
        }
        if (reply.Address != kLoopback) failures += "reply from elsewhere; ";
        if (reply.Status != 0) failures += "status not 0; ";
        if (reply.DataSize != 0) failures += "data in a reply to no data; ";
        if (reply.RoundTripTime > kTimeout) failures += "round trip beyond the wait; ";
        // Loopback does not count hops: the kernel's default time-to-live comes back.
        if (reply.Options.Ttl == 0) failures += "reply time-to-live unknown; ";
    }
    if (alone && !sniffer.SawBareRequest(6)) failures += "no bare request with time-to-live 6; ";
    // Request data comes back after the record where the buffer has room.
    unsigned char buffer[sizeof(win::ICMP_ECHO_REPLY) + 32] = {};
    char data[] = "tessaly echo";
    win::IP_OPTION_INFORMATION options{};
    options.Ttl = 6;
    if (echo.send(handle, kLoopback, data, sizeof(data), &options, buffer, sizeof(buffer),
                  kTimeout) != 1) {
        failures += "no reply to a request with data; ";
    } else {
        const auto* record = reinterpret_cast<const win::ICMP_ECHO_REPLY*>(buffer);
        if (record->DataSize != sizeof(data) || record->Data == nullptr ||
            std::memcmp(record->Data, data, sizeof(data)) != 0) {
            failures += "request data not echoed; ";
        }
    }
    win::ICMP_ECHO_REPLY tooSmall{};
    if (echo.send(handle, kLoopback, nullptr, 0, &options, &tooSmall, sizeof(tooSmall) - 1,
                  kTimeout) != 0) {
        failures += "a reply written into a buffer smaller than a record; ";
    }
    if (!echo.close(handle)) failures += "close failed; ";
    return failures;
}

// ping_group_range belongs to the network namespace: open it in a private one, not the machine's.
std::string OpenPingSockets(bool open) {
    std::ofstream range("/proc/sys/net/ipv4/ping_group_range");
    range << (open ? "0 2147483647" : "1 0");
    range.close();
    return range ? "" : "cannot set ping_group_range";
}

std::string EnterPrivateLoopback() {
    if (unshare(CLONE_NEWNET) != 0) return "unshare(CLONE_NEWNET) failed";
    return std::system("ip link set lo up") == 0 ? "" : "cannot bring up loopback";
}

TEST(EchoModule, LoopbackAnswersOverARawSocketWherePingSocketsAreClosed) {
    SKIP_UNLESS_ROOT();
    const std::string failures = servicetest::RunInChild([] {
        std::string setup = EnterPrivateLoopback();
        if (setup.empty()) setup = OpenPingSockets(false);
        return setup.empty() ? ExpectLoopbackAnswers(EchoSocketKind::kRaw) : setup;
    });
    EXPECT_EQ(failures, "");
}

TEST(EchoModule, LoopbackAnswersOverAPingSocketWhereTheyAreOpen) {
    SKIP_UNLESS_ROOT();
    const std::string failures = servicetest::RunInChild([] {
        std::string setup = EnterPrivateLoopback();
        if (setup.empty()) setup = OpenPingSockets(true);
        return setup.empty() ? ExpectLoopbackAnswers(EchoSocketKind::kDatagram) : setup;
    });
    EXPECT_EQ(failures, "");
}

// Each request goes out with its own options, also when they change back and forth on one
// handle: a socket that keeps the last request's time-to-live would send the wrong one.
TEST(EchoModule, EachRequestCarriesItsOwnTimeToLive) {
    SKIP_UNLESS_ROOT();
    for (const bool pingSockets : {false, true}) {
        SCOPED_TRACE(pingSockets ? "ping socket" : "raw socket");
        const std::string failures = servicetest::RunInChild([pingSockets] {
            std::string setup = EnterPrivateLoopback();
            if (setup.empty()) setup = OpenPingSockets(pingSockets);
            if (!setup.empty()) return setup;
            const IcmpSniffer sniffer;
            if (!sniffer.Open()) return std::string("cannot watch the requests");
            const ModuleEntryPoints echo = LoadEchoModule();
            const win::HANDLE handle = echo.create();
            if (handle == win::INVALID_HANDLE_VALUE) return std::string("no echo handle");
            std::ifstream defaultTtlFile("/proc/sys/net/ipv4/ip_default_ttl");
            int defaultTtl = 0;
            defaultTtlFile >> defaultTtl;
            // 0 in the options, or no options, means the route's default.
            const int asked[] = {6, 9, 6, 0, -1, 6, 6, 200};
            std::vector<int> expected;
            std::string result;
            for (const int ttl : asked) {
                win::IP_OPTION_INFORMATION options{};
                options.Ttl = static_cast<win::BYTE>(ttl < 0 ? 0 : ttl);
                win::ICMP_ECHO_REPLY reply{};
                if (echo.send(handle, kLoopback, nullptr, 0, ttl < 0 ? nullptr : &options, &reply,
                              sizeof(reply), kTimeout) != 1) {
                    result += "no reply at time-to-live " + std::to_string(ttl) + "; ";
                }
                expected.push_back(ttl > 0 ? ttl : defaultTtl);
            }
            if (sniffer.RequestTtls() != expected) result += "a request had another time-to-live; ";
            echo.close(handle);
            return result;
        });
        EXPECT_EQ(failures, "");
    }
}

TEST(EchoModule, LoopbackAnswersInThisMachinesOwnNamespace) {
    SKIP_UNLESS_ROOT();
    // Whichever socket kind this machine's settings allow.
    EXPECT_EQ(ExpectLoopbackAnswers(std::nullopt, false), "");
}

bool HasNetRaw(bool permittedSet) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    syscall(SYS_capget, &header, data);
    const auto bits = permittedSet ? data[0].permitted : data[0].effective;
    return (bits & (1u << CAP_NET_RAW)) != 0;
}

bool KeepOnlyNetRaw() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    data[0].effective = data[0].permitted = 1u << CAP_NET_RAW;
    return syscall(SYS_capset, &header, data) == 0;
}

TEST(EchoModule, ARawSocketFromAFileCapabilityGivesTheCapabilityUp) {
    SKIP_UNLESS_ROOT();
    const std::string failures = servicetest::RunInChild([] {
        std::string setup = EnterPrivateLoopback();
        if (setup.empty()) setup = OpenPingSockets(false);
        if (!setup.empty()) return setup;
        // What a program with cap_net_raw+ep started by an ordinary user holds.
        if (prctl(PR_SET_KEEPCAPS, 1) != 0 || setgid(65534) != 0 || setuid(65534) != 0 ||
            !KeepOnlyNetRaw()) {
            return std::string("cannot become an ordinary user with CAP_NET_RAW");
        }
        // A second thread, like the window's: the capability is per thread.
        bool otherHasIt = true;
        std::mutex gate;
        std::condition_variable changed;
        int stage = 0;
        std::thread other([&] {
            std::unique_lock lock(gate);
            changed.wait(lock, [&] { return stage == 1; });
            otherHasIt = HasNetRaw(true) || HasNetRaw(false);
            stage = 2;
            changed.notify_all();
        });
        std::string result = ExpectLoopbackAnswers(EchoSocketKind::kRaw);
        if (HasNetRaw(true) || HasNetRaw(false)) result += "CAP_NET_RAW kept; ";
        {
            std::unique_lock lock(gate);
            stage = 1;
            changed.notify_all();
            changed.wait(lock, [&] { return stage == 2; });
        }
        other.join();
        if (otherHasIt) result += "CAP_NET_RAW kept by the other thread; ";
        return result;
    });
    EXPECT_EQ(failures, "");
}

TEST(EchoModule, AStopEndsTheWaitForASilentHostAtOnce) {
    SKIP_UNLESS_ROOT();
    const std::string failures = servicetest::RunInChild([] {
        const std::string setup = servicetest::EnterPrivateNetworkWithSilentHost();
        if (!setup.empty()) return setup;
        const ModuleEntryPoints echo = LoadEchoModule();
        const win::HANDLE handle = echo.create();
        if (handle == win::INVALID_HANDLE_VALUE) return std::string("no echo handle");
        win::IPAddr silent = 0;
        inet_pton(AF_INET, "10.200.9.2", &silent);
        std::string result;
        // First without a stop: the wait runs out and nothing counts.
        win::ICMP_ECHO_REPLY reply{};
        win::DWORD answered = 1;
        const long long waited = servicetest::MillisecondsTaken(
            [&] { answered = SendWorkerEcho(echo, handle, silent, reply, 300); });
        if (answered != 0) result += "silent host answered; ";
        // A wait that wakes early to dodge the kernel's slack must still last its whole time.
        if (waited < 300) result += "gave up after " + std::to_string(waited) + " ms of 300; ";

        std::thread stopper([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            AfxRequestStop();
        });
        win::DWORD replies = 1;
        const long long taken = servicetest::MillisecondsTaken(
            [&] { replies = SendWorkerEcho(echo, handle, silent, reply, kTimeout); });
        stopper.join();
        if (replies != 0) result += "a reply counted after the stop; ";
        // Generous: only "well before the 5000 ms timeout" matters.
        if (taken >= 2500)
            result += "the stop did not end the wait (" + std::to_string(taken) + " ms); ";
        // Later requests return at once too.
        const long long later = servicetest::MillisecondsTaken(
            [&] { replies = SendWorkerEcho(echo, handle, silent, reply, kTimeout); });
        if (replies != 0 || later >= 2500) result += "a request after the stop waited; ";
        return result;
    });
    EXPECT_EQ(failures, "");
}

TEST(EchoModule, RefusesWhatCannotBeARequest) {
    SKIP_UNLESS_ROOT();
    const ModuleEntryPoints echo = LoadEchoModule();
    win::ICMP_ECHO_REPLY reply{};
    EXPECT_EQ(SendWorkerEcho(echo, win::INVALID_HANDLE_VALUE, kLoopback, reply), 0u);
    EXPECT_EQ(SendWorkerEcho(echo, nullptr, kLoopback, reply), 0u);
    const win::HANDLE handle = echo.create();
    ASSERT_NE(handle, win::INVALID_HANDLE_VALUE);
    // Linux answers 0.0.0.0 from this host itself; no node by that address ever replied.
    EXPECT_EQ(SendWorkerEcho(echo, handle, 0, reply), 0u);
    EXPECT_EQ(echo.send(handle, kLoopback, nullptr, 8, nullptr, &reply, sizeof(reply), kTimeout),
              0u);
    EXPECT_EQ(echo.send(handle, kLoopback, nullptr, 0, nullptr, nullptr, sizeof(reply), kTimeout),
              0u);
    EXPECT_TRUE(echo.close(handle));
    EXPECT_FALSE(echo.close(win::INVALID_HANDLE_VALUE));
}

TEST(BuiltinModules, OnlyTheEchoModuleAndItsThreeEntryPointsExist) {
    const char* spellings[] = {"ICMP.DLL", "icmp.dll", "Icmp.Dll"};
    for (const char* spelling : spellings) {
        SCOPED_TRACE(spelling);
        const win::HMODULE module = win::LoadLibraryA(spelling);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(win::GetProcAddress(module, "IcmpCreateFile"),
                  reinterpret_cast<win::FARPROC>(&linuxsvc::IcmpCreateFile));
        EXPECT_EQ(win::GetProcAddress(module, "IcmpCloseHandle"),
                  reinterpret_cast<win::FARPROC>(&linuxsvc::IcmpCloseHandle));
        EXPECT_EQ(win::GetProcAddress(module, "IcmpSendEcho"),
                  reinterpret_cast<win::FARPROC>(&linuxsvc::IcmpSendEcho));
        EXPECT_EQ(win::GetProcAddress(module, "IcmpSendEcho2"), nullptr);
        EXPECT_EQ(win::GetProcAddress(module, "icmpsendecho"), nullptr);
        EXPECT_EQ(win::GetProcAddress(module, nullptr), nullptr);
        EXPECT_TRUE(win::FreeLibrary(module));
    }
    const char* absent[] = {"ICMP", "ICMP.DLL ", "IPHLPAPI.DLL", "WSOCK32.DLL", "", "/ICMP.DLL"};
    for (const char* name : absent) EXPECT_EQ(win::LoadLibraryA(name), nullptr) << name;
    EXPECT_EQ(win::LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(win::GetProcAddress(nullptr, "IcmpSendEcho"), nullptr);
    EXPECT_FALSE(win::FreeLibrary(nullptr));
}

}  // namespace
