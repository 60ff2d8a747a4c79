// The sockets stand-in: start-up, address text and host lookups. Names come only from hosts
// files; the one lookup that reaches for a name server does so inside a private network whose
// name server is a silent address of the test network.

// The Windows-shaped names first: the system headers below define some of them as macros.
#include "afxwin.h"
#include "test_support.h"

#include <arpa/inet.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using servicetest::MillisecondsTaken;

constexpr win::ULONG kNone = 0xFFFFFFFF;

win::ULONG Address(std::uint32_t hostOrder) {
    return htonl(hostOrder);
}

TEST(SocketLayer, StartUpReportsVersionOneOne) {
    win::WSADATA data{};
    EXPECT_EQ(win::WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_EQ(win::WSACleanup(), 0);
    EXPECT_TRUE(AfxSocketInit());
}

struct AddressCase {
    std::string text;
    win::ULONG expected;
};

TEST(SocketLayer, InetAddrKeepsTheClassicForms) {
    const AddressCase cases[] = {
        {"127.0.0.1", Address(0x7F000001)},
        {"10.200.9.2", Address(0x0AC80902)},
        {"0.0.0.0", 0},
        {"1.2.3", Address(0x01020003)},     // the last part fills the low 16 bits
        {"1.2", Address(0x01000002)},       // ... the low 24 bits
        {"16909060", Address(0x01020304)},  // one 32-bit number
        {"0x7f.1", Address(0x7F000001)},    // hexadecimal
        {"0X7F.0.0.0x1", Address(0x7F000001)},
        {"0177.0.0.01", Address(0x7F000001)},  // octal
        {"127.0.0.1 trailing words", Address(0x7F000001)},
        {"255.255.255.254", Address(0xFFFFFFFE)},
        {"255.255.255.255", kNone},  // indistinguishable from failure
        {"", kNone},
        {" 127.0.0.1", kNone},
        {"   ", kNone},
        {"256.0.0.1", kNone},
        {"1.2.3.256", kNone},
        {"1.2.65536", kNone},
        {"1.16777216", kNone},
        {"4294967296", kNone},
        {"1.2.3.4.5", kNone},
        {"1..2.3", kNone},
        {"1.2.3.", kNone},
        {"08.0.0.1", kNone},
        {"127.0.0.1x", kNone},
        {"localhost", kNone},
        {"-1.0.0.0", kNone},
        {std::string(100 * 1024, '1'), kNone},
        {"1.2.3." + std::string(100 * 1024, '0') + "4", Address(0x01020304)},
    };
    for (const AddressCase& addressCase : cases) {
        EXPECT_EQ(win::inet_addr(addressCase.text.c_str()), addressCase.expected)
            << "\"" << addressCase.text.substr(0, 40) << "\"";
    }
    EXPECT_EQ(win::inet_addr(nullptr), kNone);
}

TEST(SocketLayer, InetNtoaWritesDottedTextPerThread) {
    EXPECT_STREQ(win::inet_ntoa({Address(0x7F000001)}), "127.0.0.1");
    EXPECT_STREQ(win::inet_ntoa({0}), "0.0.0.0");
    EXPECT_STREQ(win::inet_ntoa({kNone}), "255.255.255.255");
    const char* mine = win::inet_ntoa({Address(0x0AC80901)});
    std::thread([] { win::inet_ntoa({Address(0x0AC80902)}); }).join();
    EXPECT_STREQ(mine, "10.200.9.1");
}

TEST(SocketLayer, GetHostByNameFindsLocalhostInTheHostsFile) {
    const win::hostent* host = win::gethostbyname("localhost");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->h_addrtype, AF_INET);
    EXPECT_EQ(host->h_length, 4);
    ASSERT_NE(host->h_addr_list, nullptr);
    ASSERT_NE(host->h_addr_list[0], nullptr);
    win::ULONG first = 0;
    std::memcpy(&first, host->h_addr_list[0], 4);
    EXPECT_EQ(first, Address(0x7F000001));
    EXPECT_EQ(win::gethostbyname(nullptr), nullptr);
}

TEST(SocketLayer, GetHostByAddrNamesLoopbackFromTheHostsFile) {
    const win::ULONG loopback = Address(0x7F000001);
    const win::hostent* host =
        win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET);
    ASSERT_NE(host, nullptr);
    ASSERT_NE(host->h_name, nullptr);
    EXPECT_NE(std::string(host->h_name), "");
    EXPECT_EQ(win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 3, AF_INET), nullptr);
    EXPECT_EQ(win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, 23), nullptr);
    EXPECT_EQ(win::gethostbyaddr(nullptr, 4, AF_INET), nullptr);
}

TEST(SocketLayer, EachThreadKeepsItsOwnHostRecord) {
    const win::hostent* mine = win::gethostbyname("localhost");
    ASSERT_NE(mine, nullptr);
    const std::string name = mine->h_name;
    std::thread([] {
        const win::ULONG loopback = htonl(0x7F000001);
        win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET);
        win::gethostbyname("localhost");
    }).join();
    EXPECT_EQ(std::string(mine->h_name), name);
}

// In a child: private network and mounts, where /etc/hosts knows only localhost and
// second.tessaly.test (127.0.0.2), and the name
// server is 10.200.9.2, which never answers.
std::string EnterNetworkWithSilentNameServer(const servicetest::TempFolder& folder,
                                             const std::string& resolverOptions) {
    const std::string hosts = folder.Path() + "/hosts";
    const std::string resolv = folder.Path() + "/resolv.conf";
    servicetest::WriteFile(hosts, "127.0.0.1 localhost\n127.0.0.2 second.tessaly.test\n");
    servicetest::WriteFile(resolv, "nameserver 10.200.9.2\noptions " + resolverOptions + "\n");
    std::string setup = servicetest::EnterPrivateNetworkWithSilentHost();
    if (!setup.empty()) return setup;
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0 ||
        mount(resolv.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
        return "cannot put the private hosts and resolver files in place";
    }
    return "";
}

constexpr const char* kAbsentName = "tessaly-absent.invalid";

TEST(SocketLayer, ANameNoServerAnswersForIsNotFound) {
    SKIP_UNLESS_ROOT();
    servicetest::TempFolder folder;
    EXPECT_EQ(servicetest::RunInChild([&] {
                  std::string failures =
                      EnterNetworkWithSilentNameServer(folder, "timeout:1 attempts:1");
                  if (!failures.empty()) return failures;
                  if (win::gethostbyname(kAbsentName) != nullptr) failures += "absent name found; ";
                  if (win::gethostbyname("localhost") == nullptr)
                      failures += "localhost not found; ";
                  return failures;
              }),
              "");
}

TEST(SocketLayer, AStopAbandonsALookupThatWaitsForASilentNameServer) {
    SKIP_UNLESS_ROOT();
    servicetest::TempFolder folder;
    EXPECT_EQ(servicetest::RunInChild([&] {
                  std::string failures =
                      EnterNetworkWithSilentNameServer(folder, "timeout:5 attempts:2");
                  if (!failures.empty()) return failures;
                  std::thread([] {
                      std::this_thread::sleep_for(std::chrono::milliseconds(100));
                      AfxRequestStop();
                  }).detach();
                  const win::hostent* host = reinterpret_cast<const win::hostent*>(1);
                  const long long taken =
                      MillisecondsTaken([&] { host = win::gethostbyname(kAbsentName); });
                  if (host != nullptr) failures += "a host after the stop; ";
                  // The resolver alone would wait ten seconds; generous bound, not a timing.
                  if (taken >= 5000) failures += "the stop did not end the lookup; ";
                  const win::ULONG loopback = htonl(0x7F000001);
                  if (win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET) !=
                      nullptr) {
                      failures += "a lookup after the stop still ran; ";
                  }
                  return failures;
              }),
              "");
}

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
constexpr bool kThreadSanitizer = __has_feature(thread_sanitizer);
#else
constexpr bool kThreadSanitizer = false;
#endif

// A child forked while a lookup helper waits for work has none of the parent's helper threads;
// its lookups must not wait for one of them.
TEST(SocketLayer, AForkedChildLooksUpWithHelpersOfItsOwn) {
    if (kThreadSanitizer) GTEST_SKIP() << "the thread sanitizer refuses a multi-threaded fork";
    const win::ULONG loopback = htonl(0x7F000001);
    ASSERT_NE(win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET), nullptr);
    EXPECT_EQ(servicetest::RunInChildBesideThreads(
                  [&] {
                      const win::hostent* host =
                          win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET);
                      return host != nullptr && std::string(host->h_name) == "localhost"
                                 ? std::string()
                                 : std::string("loopback not named in the child");
                  },
                  20),
              "");
}

// Lookups share helper threads; one that a silent name server holds must not hold up the
// next, nor may a helper that ran one lookup give the next the old answer.
TEST(SocketLayer, ALookupHeldByASilentNameServerDoesNotHoldUpTheOthers) {
    SKIP_UNLESS_ROOT();
    servicetest::TempFolder folder;
    EXPECT_EQ(
        servicetest::RunInChild([&] {
            std::string failures = EnterNetworkWithSilentNameServer(folder, "timeout:5 attempts:2");
            if (!failures.empty()) return failures;
            const win::ULONG loopback = htonl(0x7F000001);
            // A helper that has served a lookup and waits for the next.
            if (win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET) ==
                nullptr) {
                failures += "loopback not named; ";
            }
            std::atomic<bool> heldDone{false};
            std::thread held([&] {
                win::gethostbyname(kAbsentName);
                heldDone = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const win::ULONG second = htonl(0x7F000002);
            for (int round = 0; round < 3; ++round) {
                const win::hostent* host = win::gethostbyname("second.tessaly.test");
                if (host == nullptr || host->h_addr_list[0] == nullptr ||
                    std::memcmp(host->h_addr_list[0], &second, 4) != 0) {
                    failures += "a name not found beside the held lookup; ";
                }
                host = win::gethostbyaddr(reinterpret_cast<const char*>(&loopback), 4, AF_INET);
                if (host == nullptr || std::string(host->h_name) != "localhost")
                    failures += "an address not named beside the held lookup; ";
            }
            if (heldDone) failures += "the silent server's lookup ended too soon; ";
            AfxRequestStop();
            held.join();
            return failures;
        }),
        "");
}

}  // namespace
