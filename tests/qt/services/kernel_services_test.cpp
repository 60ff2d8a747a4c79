// Threads, pauses, the stop request and the process's end.
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "afxwin.h"
#include "linux_services.h"
#include "test_support.h"

namespace {

using servicetest::MillisecondsTaken;
using servicetest::RunInChild;

void RequestStopAfter(std::chrono::milliseconds delay) {
    std::thread([delay] {
        std::this_thread::sleep_for(delay);
        AfxRequestStop();
    }).detach();
}

TEST(Sleep, LastsItsTimeWithoutAStop) {
    EXPECT_GE(MillisecondsTaken([] { win::Sleep(60); }), 60);
    EXPECT_FALSE(AfxStopRequested());
}

TEST(Sleep, AStopEndsItAtOnceAndEveryLaterOne) {
    EXPECT_EQ(RunInChild([] {
                  std::string failures;
                  RequestStopAfter(std::chrono::milliseconds(100));
                  const long long taken = MillisecondsTaken([] { win::Sleep(20000); });
                  if (taken >= 10000) failures += "the stop did not end the pause; ";
                  if (!AfxStopRequested()) failures += "stop not reported; ";
                  if (MillisecondsTaken([] { win::Sleep(20000); }) >= 10000) {
                      failures += "a pause after the stop waited; ";
                  }
                  return failures;
              }),
              "");
}

std::atomic<int> g_listenerCalls{0};
std::atomic<bool> g_stopSeenByListener{false};

TEST(StopRequest, WakesEveryWaitingThreadThenCallsTheListener) {
    EXPECT_EQ(RunInChild([] {
                  std::string failures;
                  linuxsvc::SetStopListener([] {
                      g_stopSeenByListener = AfxStopRequested();
                      ++g_listenerCalls;
                  });
                  std::atomic<int> woken{0};
                  std::vector<std::thread> sleepers;
                  for (int i = 0; i < 3; ++i) {
                      sleepers.emplace_back([&] {
                          win::Sleep(30000);
                          ++woken;
                      });
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
                  AfxRequestStop();
                  for (std::thread& sleeper : sleepers) sleeper.join();
                  if (woken != 3) failures += "a sleeper was not woken; ";
                  if (g_listenerCalls != 1) failures += "listener not called once; ";
                  if (!g_stopSeenByListener) failures += "listener ran before the stop was set; ";
                  linuxsvc::SetStopListener(nullptr);
                  AfxRequestStop();
                  if (g_listenerCalls != 1) failures += "a cleared listener was called; ";
                  return failures;
              }),
              "");
}

struct ThreadProbe {
    std::atomic<win::DWORD> seenId{0};
    std::atomic<bool> release{false};
};

win::DWORD TSY_WINAPI ProbeThread(win::LPVOID parameter) {
    auto* probe = static_cast<ThreadProbe*>(parameter);
    probe->seenId = static_cast<win::DWORD>(syscall(SYS_gettid));
    while (!probe->release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}

TEST(CreateThread, RunsTheThreadWithItsParameterAndReportsItsId) {
    ThreadProbe probe;
    win::DWORD threadId = 0;
    const win::HANDLE thread = win::CreateThread(nullptr, 0, ProbeThread, &probe, 0, &threadId);
    ASSERT_NE(thread, nullptr);
    EXPECT_FALSE(linuxsvc::WaitForThreadEnd(thread, std::chrono::milliseconds(50)));
    probe.release = true;
    EXPECT_TRUE(linuxsvc::WaitForThreadEnd(thread, std::chrono::seconds(30)));
    EXPECT_NE(threadId, 0u);
    EXPECT_EQ(threadId, probe.seenId.load());
    // Waiting again on an ended thread is fine.
    EXPECT_TRUE(linuxsvc::WaitForThreadEnd(thread, std::chrono::milliseconds(0)));
}

struct FinishingThread {
    std::atomic<bool> finished{false};
};

// Ends a while after a stop woke it, as a worker does that finishes its step after the stop.
win::DWORD TSY_WINAPI FinishAfterTheStop(win::LPVOID parameter) {
    auto* state = static_cast<FinishingThread*>(parameter);
    win::Sleep(30000);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    state->finished = true;
    return 0;
}

TEST(WaitForThreadEnd, AfterAStopItStillWaitsForTheThreadOrItsTimeout) {
    EXPECT_EQ(RunInChild([] {
                  std::string failures;
                  FinishingThread state;
                  const win::HANDLE thread =
                      win::CreateThread(nullptr, 0, FinishAfterTheStop, &state, 0, nullptr);
                  if (thread == nullptr) return std::string("no thread");
                  AfxRequestStop();
                  // The thread is still busy: the wait must last its time, not return at once.
                  const long long shortWait = MillisecondsTaken([&] {
                      if (linuxsvc::WaitForThreadEnd(thread, std::chrono::milliseconds(40)))
                          failures += "a running thread reported ended; ";
                  });
                  if (shortWait < 40) failures += "the wait ended before its timeout; ";
                  if (!linuxsvc::WaitForThreadEnd(thread, std::chrono::seconds(30)))
                      failures += "the thread's end was not seen; ";
                  if (!state.finished) failures += "the wait returned before the thread ended; ";
                  return failures;
              }),
              "");
}

TEST(CreateThread, WithoutAStartRoutineThereIsNoThread) {
    win::DWORD threadId = 0;
    EXPECT_EQ(win::CreateThread(nullptr, 0, nullptr, nullptr, 0, &threadId), nullptr);
    EXPECT_TRUE(linuxsvc::WaitForThreadEnd(nullptr, std::chrono::milliseconds(0)));
}

TEST(ExitProcess, FlushesBufferedOutputAndEndsWithTheCode) {
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(output[1], 1);
        close(output[0]);
        close(output[1]);
        // A pipe makes stdout fully buffered: nothing is written until a flush.
        std::printf("left in the buffer");
        win::ExitProcess(4);
    }
    close(output[1]);
    std::string printed;
    char buffer[256];
    for (ssize_t got; (got = read(output[0], buffer, sizeof(buffer))) > 0;)
        printed.append(buffer, got);
    close(output[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
    EXPECT_EQ(printed, "left in the buffer");
}

}  // namespace
