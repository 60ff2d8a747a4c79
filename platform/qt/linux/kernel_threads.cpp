// Threads, pauses and the process's end, over std::thread and the stop bell.
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <iostream>
#include <thread>

#include "linux_services.h"
#include "stop_state.h"
#include "winapi.h"

namespace linuxsvc {
namespace {

// What a thread HANDLE points to. Handles are never closed, as the worker's is not, so the
// object lives as long as the process and a joinable thread is never destroyed unjoined.
struct ThreadObject {
    ThreadObject* next = nullptr;  // all of them hang off g_threads
    std::thread thread;
    std::mutex joinMutex;
    bool ended = false;  // guarded by the stop bell's lock
    win::DWORD result = 0;
};

// Every thread object ever made, so that they stay reachable rather than leaked.
std::atomic<ThreadObject*> g_threads{nullptr};

void Remember(ThreadObject* object) {
    object->next = g_threads.load();
    while (!g_threads.compare_exchange_weak(object->next, object)) {
    }
}

}  // namespace

bool WaitForThreadEnd(win::HANDLE handle, std::chrono::milliseconds timeout) {
    if (handle == nullptr || handle == win::INVALID_HANDLE_VALUE) return true;
    auto* object = static_cast<ThreadObject*>(handle);
    // A stop wakes the thread; the caller still has to wait for it to finish, or it would spin.
    const bool ended = StopBell::Instance().WaitUntilEvenAfterStop(
        [object] { return object->ended; }, std::chrono::steady_clock::now() + timeout);
    if (!ended) return false;
    std::lock_guard lock(object->joinMutex);
    if (object->thread.joinable()) object->thread.join();
    return true;
}

}  // namespace linuxsvc

namespace win {

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    DWORD* threadId) {
    if (start == nullptr) return nullptr;
    auto* object = new linuxsvc::ThreadObject;
    std::promise<DWORD> started;
    std::future<DWORD> startedId = started.get_future();
    try {
        object->thread =
            std::thread([object, start, parameter, started = std::move(started)]() mutable {
                started.set_value(static_cast<DWORD>(gettid()));
                const DWORD result = start(parameter);
                linuxsvc::StopBell::Instance().Ring([&] {
                    object->result = result;
                    object->ended = true;
                });
            });
    } catch (const std::system_error&) {
        delete object;
        return nullptr;
    }
    linuxsvc::Remember(object);
    const DWORD id = startedId.get();
    if (threadId != nullptr) *threadId = id;
    return object;
}

void Sleep(DWORD milliseconds) {
    linuxsvc::SleepUnlessStopped(std::chrono::milliseconds(milliseconds));
}

void ExitProcess(UINT exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::clog.flush();
    std::fflush(nullptr);
    _exit(static_cast<int>(exitCode));
}

}  // namespace win
