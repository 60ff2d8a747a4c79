// A stop request ends each wait of a worker thread: its pause, its tone, its echo request, its
// lookup and its message box; and later ones do not wait at all.
//
// A stop lasts for the rest of the process, so each test runs in a process of its own (ctest
// runs them one by one, each in the network its case needs) and skips when a stop was already
// requested. Each wait is far longer than the test's time limit: a wait that the stop does not
// end is a test that never ends.

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "afxwin.h"
#include "native_layout.h"
#include "test_support.h"

namespace {

constexpr win::DWORD kLongerThanAnyTest = 600000;

// Runs `work` on a worker thread twice, the second time after the stop: the first call must end
// at the stop, the second must not wait.
class StopTest : public testing::Test {
  protected:
    using Work = std::function<void(int call)>;

    void SetUp() override {
        if (AfxStopRequested()) GTEST_SKIP() << "runs alone: a stop lasts for the process";
    }

    void RunAndStop(
        Work work, const std::function<void()>& whenStarted = [] {}) {
        m_work = std::move(work);
        m_started = ::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
        const win::HANDLE thread = win::CreateThread(nullptr, 0, Worker, this, 0, &m_threadId);
        ASSERT_NE(thread, nullptr);
        ::WaitForSingleObject(m_started, INFINITE);
        whenStarted();
        // Mostly the worker is inside its call by now; a stop that comes first must end it too.
        ::Sleep(300);
        AfxRequestStop();
        AfxWaitForThread(thread);
        ::CloseHandle(thread);
        ::CloseHandle(m_started);
        EXPECT_TRUE(AfxStopRequested());
    }

    win::DWORD m_threadId = 0;

  private:
    static win::DWORD TSY_WINAPI Worker(win::LPVOID context) {
        auto* test = static_cast<StopTest*>(context);
        ::SetEvent(test->m_started);
        test->m_work(1);
        test->m_work(2);
        return 0;
    }

    Work m_work;
    HANDLE m_started = nullptr;
};

TEST_F(StopTest, EndsAPause) {
    bool stoppedAfterEach[3] = {};
    RunAndStop([&](int call) {
        win::Sleep(kLongerThanAnyTest);
        stoppedAfterEach[call] = AfxStopRequested();
    });
    EXPECT_TRUE(stoppedAfterEach[1]);
    EXPECT_TRUE(stoppedAfterEach[2]);
}

TEST_F(StopTest, EndsATone) {
    win::BOOL results[3] = {win::TRUE, win::TRUE, win::TRUE};
    RunAndStop([&](int call) { results[call] = win::Beep(1000, kLongerThanAnyTest); });
    EXPECT_FALSE(results[1]);
    EXPECT_FALSE(results[2]);
}

// Needs loopback to ignore echo requests: the request would wait out its whole timeout.
TEST_F(StopTest, EndsAnEchoRequest) {
    win::WSADATA data{};
    ASSERT_EQ(win::WSAStartup(0x0101, &data), 0);
    const win::HMODULE library = win::LoadLibraryA("ICMP.DLL");
    ASSERT_NE(library, nullptr);
    const auto create =
        reinterpret_cast<win::PFN_IcmpCreateFile>(win::GetProcAddress(library, "IcmpCreateFile"));
    const auto send =
        reinterpret_cast<win::PFN_IcmpSendEcho>(win::GetProcAddress(library, "IcmpSendEcho"));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(send, nullptr);
    const win::HANDLE echo = create();
    win::DWORD replies[3] = {9, 9, 9};
    RunAndStop([&](int call) {
        win::IP_OPTION_INFORMATION options{};
        options.Ttl = 6;
        win::ICMP_ECHO_REPLY reply{};
        replies[call] = send(echo, ::inet_addr("127.0.0.1"), nullptr, 0, &options, &reply,
                             sizeof(reply), kLongerThanAnyTest);
    });
    EXPECT_EQ(replies[1], 0u);
    EXPECT_EQ(replies[2], 0u);
    // The abandoned request still owns its buffers and a hold on the library: unloading it here
    // must not pull the library from under the request.
    win::FreeLibrary(library);
}

// Needs a resolver that never answers: the lookup would hang for minutes.
TEST_F(StopTest, AbandonsALookup) {
    win::WSADATA data{};
    ASSERT_EQ(win::WSAStartup(0x0101, &data), 0);
    bool found[3] = {true, true, true};
    RunAndStop([&](int call) { found[call] = win::gethostbyname("silent.test") != nullptr; });
    EXPECT_FALSE(found[1]);
    EXPECT_FALSE(found[2]);
}

BOOL CALLBACK NoteShownDialog(HWND window, LPARAM shown) {
    char name[16] = {};
    ::GetClassNameA(window, name, sizeof(name));
    if (::IsWindowVisible(window) && std::string(name) == "#32770") {
        *reinterpret_cast<bool*>(shown) = true;
    }
    return win::TRUE;
}

bool HasShownDialog(win::DWORD threadId) {
    bool shown = false;
    ::EnumThreadWindows(threadId, NoteShownDialog, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// Needs a display.
TEST_F(StopTest, ClosesAWorkerMessageBoxAndOpensNoMore) {
    win32_test::TestApp app;
    int results[3] = {-1, -1, -1};
    RunAndStop([&](int call) { results[call] = AfxMessageBox("waiting for the stop"); },
               [this] {
                   ASSERT_TRUE(win32_test::PumpUntil([this] { return HasShownDialog(m_threadId); }))
                       << "the box never showed";
               });
    EXPECT_NE(results[1], -1);
    EXPECT_EQ(results[2], 0) << "a box opened after the stop";
}

}  // namespace
