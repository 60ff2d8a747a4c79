// The socket layer and the echo library as the worker reaches them, in the test's own network:
// loopback only, names from its hosts file (localhost 127.0.0.1, tessaly-second 127.0.0.2) and a
// resolver that fails at once for any other name.

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "native_layout.h"
#include "winapi.h"

namespace {

const win::IPAddr kLoopback = ::inet_addr("127.0.0.1");
const win::IPAddr kSecond = ::inet_addr("127.0.0.2");

win::IPAddr FirstAddress(const win::hostent* host) {
    win::IPAddr address = 0;
    std::memcpy(&address, host->h_addr_list[0], sizeof(address));
    return address;
}

class NetworkTest : public testing::Test {
  protected:
    void SetUp() override {
        win::WSADATA data{};
        ASSERT_EQ(win::WSAStartup(0x0101, &data), 0);
    }
    void TearDown() override { win::WSACleanup(); }
};

TEST_F(NetworkTest, SocketStartupReportsTheVersionItWasAskedFor) {
    win::WSADATA data{};
    ASSERT_EQ(win::WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_GE(data.wHighVersion, 0x0101);
    // The description sits elsewhere in the 64-bit record: a record taken over whole reads garbage.
    EXPECT_GT(std::strlen(data.szDescription), 0u);
    EXPECT_LT(std::strlen(data.szDescription), sizeof(data.szDescription));
    win::WSACleanup();
}

TEST_F(NetworkTest, DottedTextAndAddressesConvertBothWays) {
    for (const char* text : {"127.0.0.1", "10.200.0.53", "1.2.3.4", "255.255.255.254"}) {
        SCOPED_TRACE(text);
        const win::ULONG address = win::inet_addr(text);
        EXPECT_NE(address, win::INADDR_NONE);
        EXPECT_STREQ(win::inet_ntoa(win::in_addr{address}), text);
    }
    EXPECT_EQ(win::inet_addr("localhost"), win::INADDR_NONE);
    EXPECT_EQ(win::inet_addr("1.2.3.4.5"), win::INADDR_NONE);
}

TEST_F(NetworkTest, NamesAndAddressesInTheHostsFileAreFound) {
    const win::hostent* byName = win::gethostbyname("localhost");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->h_addrtype, win::AF_INET);
    EXPECT_EQ(byName->h_length, 4);
    EXPECT_EQ(FirstAddress(byName), kLoopback);

    const win::hostent* byAddress =
        win::gethostbyaddr(reinterpret_cast<const char*>(&kSecond), sizeof(kSecond), win::AF_INET);
    ASSERT_NE(byAddress, nullptr);
    EXPECT_STREQ(byAddress->h_name, "tessaly-second");
}

TEST_F(NetworkTest, NamesAndAddressesNotInTheHostsFileAreNotFound) {
    EXPECT_EQ(win::gethostbyname("no-such-host.invalid"), nullptr);
    const win::IPAddr unnamed = ::inet_addr("127.0.0.9");
    EXPECT_EQ(
        win::gethostbyaddr(reinterpret_cast<const char*>(&unnamed), sizeof(unnamed), win::AF_INET),
        nullptr);
}

win::DWORD TSY_WINAPI LookUpTheSecondHost(win::LPVOID found) {
    const win::hostent* host = win::gethostbyname("tessaly-second");
    *static_cast<bool*>(found) = host != nullptr && FirstAddress(host) == kSecond;
    return 0;
}

TEST_F(NetworkTest, AnAnswerStaysValidWhileAnotherThreadLooksUp) {
    const win::hostent* mine = win::gethostbyname("localhost");
    ASSERT_NE(mine, nullptr);
    bool otherFound = false;
    const win::HANDLE thread =
        win::CreateThread(nullptr, 0, LookUpTheSecondHost, &otherFound, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    ASSERT_TRUE(otherFound);
    EXPECT_STREQ(mine->h_name, "localhost");
    EXPECT_EQ(FirstAddress(mine), kLoopback);
}

// ---- The echo library through the entry that GetProcAddress hands out -----------------------

class EchoTest : public NetworkTest {
  protected:
    void SetUp() override {
        NetworkTest::SetUp();
        m_library = win::LoadLibraryA("ICMP.DLL");
        ASSERT_NE(m_library, nullptr);
        const auto create = reinterpret_cast<win::PFN_IcmpCreateFile>(
            win::GetProcAddress(m_library, "IcmpCreateFile"));
        m_send =
            reinterpret_cast<win::PFN_IcmpSendEcho>(win::GetProcAddress(m_library, "IcmpSendEcho"));
        ASSERT_NE(create, nullptr);
        ASSERT_NE(m_send, nullptr);
        m_echo = create();
        ASSERT_NE(m_echo, win::INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (m_library != nullptr) win::FreeLibrary(m_library);
        NetworkTest::TearDown();
    }

    win::HMODULE m_library = nullptr;
    win::PFN_IcmpSendEcho m_send = nullptr;
    win::HANDLE m_echo = nullptr;
};

class EchoBufferTest : public EchoTest, public testing::WithParamInterface<std::size_t> {};

TEST_P(EchoBufferTest, AnEchoToLoopbackIsAnsweredWhateverRoomTheCallerGives) {
    const std::size_t records = GetParam();
    std::vector<win::ICMP_ECHO_REPLY> buffer(records + 1);
    const auto size = static_cast<win::DWORD>(records * sizeof(win::ICMP_ECHO_REPLY));
    win::IP_OPTION_INFORMATION options{};
    options.Ttl = 6;
    const win::DWORD replies =
        m_send(m_echo, kLoopback, nullptr, 0, &options, buffer.data(), size, 5000);
    ASSERT_EQ(replies, 1u) << "error " << ::GetLastError();
    const win::ICMP_ECHO_REPLY& reply = buffer[0];
    EXPECT_EQ(reply.Address, kLoopback);
    EXPECT_EQ(reply.Status, 0u);
    // Whatever the record points to lies in the caller's buffer, not in one that is gone.
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    const void* pointers[] = {reply.Data, reply.Options.OptionsData};
    for (const void* pointer : pointers) {
        if (pointer == nullptr) continue;
        EXPECT_GE(static_cast<const char*>(pointer), begin);
        EXPECT_LE(static_cast<const char*>(pointer), begin + size);
    }
}

INSTANTIATE_TEST_SUITE_P(Records, EchoBufferTest, testing::Values(1, 2, 4));

TEST_F(EchoTest, TheEchoLibraryIsTheSystemsOwn) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(win32::Native(m_library), path, sizeof(path));
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, sizeof(system));
    EXPECT_EQ(::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, -1,
                               (std::string(system) + "\\icmp.dll").c_str(), -1),
              CSTR_EQUAL)
        << path;
}

TEST_F(EchoTest, ABufferSmallerThanOneRecordIsRefused) {
    win::ICMP_ECHO_REPLY reply{};
    win::IP_OPTION_INFORMATION options{};
    options.Ttl = 6;
    EXPECT_EQ(m_send(m_echo, kLoopback, nullptr, 0, &options, &reply, sizeof(reply) - 1, 5000), 0u);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(IP_BUF_TOO_SMALL));
}

}  // namespace
