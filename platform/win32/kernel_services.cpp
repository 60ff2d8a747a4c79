// Kernel services: threads, waits that end at a stop request, the tone, and the run-time library.
#include <atomic>
#include <cstring>

#include "interruptible_echo.h"
#include "native_layout.h"
#include "stop_signal.h"

namespace {

// A tone played on a pool thread, so that the caller can stop waiting for it.
struct Tone {
    std::atomic<int> holders{2};
    HANDLE done = ::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
    DWORD frequency = 0;
    DWORD duration = 0;
    BOOL result = win::FALSE;

    ~Tone() {
        if (done != nullptr) ::CloseHandle(done);
    }
    void Release() {
        if (--holders == 0) delete this;
    }
};

DWORD WINAPI PlayTone(LPVOID context) {
    auto* tone = static_cast<Tone*>(context);
    tone->result = ::Beep(tone->frequency, tone->duration);
    ::SetEvent(tone->done);
    tone->Release();
    return 0;
}

}  // namespace

namespace win {

void Sleep(DWORD milliseconds) {
    if (!win32::StopSignal::AppliesToThisThread()) {
        ::Sleep(milliseconds);
        return;
    }
    ::WaitForSingleObject(win32::StopSignal::Event(), milliseconds);
}

BOOL Beep(DWORD frequency, DWORD duration) {
    if (!win32::StopSignal::AppliesToThisThread()) return ::Beep(frequency, duration);
    if (win32::StopSignal::IsRequested()) return FALSE;

    const ULONGLONG start = ::GetTickCount64();
    auto* tone = new Tone;
    tone->frequency = frequency;
    tone->duration = duration;
    if (!::QueueUserWorkItem(PlayTone, tone, WT_EXECUTELONGFUNCTION)) PlayTone(tone);
    const bool played =
        win32::StopSignal::WaitFor(tone->done, INFINITE) == win32::StopSignal::WaitEnd::Signalled;
    const BOOL result = tone->result;
    tone->Release();
    if (!played) return FALSE;

    // Beep returns when the tone is over; where it returns at once (no sound device, Wine), the
    // caller still waits out the tone's length, so a burst keeps its rhythm.
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    if (elapsed < duration &&
        ::WaitForSingleObject(win32::StopSignal::Event(), static_cast<DWORD>(duration - elapsed)) ==
            WAIT_OBJECT_0) {
        return FALSE;
    }
    return result;
}

HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* threadId) {
    ::DWORD nativeId = 0;
    const HANDLE thread = ::CreateThread(static_cast<LPSECURITY_ATTRIBUTES>(security), stackSize,
                                         reinterpret_cast<::LPTHREAD_START_ROUTINE>(start),
                                         parameter, flags, &nativeId);
    if (threadId != nullptr) *threadId = nativeId;
    return thread;
}

void ExitProcess(UINT exitCode) {
    ::ExitProcess(exitCode);
    __builtin_unreachable();
}

HMODULE LoadLibraryA(const char* name) {
    return win32::Framework(::LoadLibraryA(name));
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    const ::HMODULE native = win32::Native(module);
    const auto entry = reinterpret_cast<FARPROC>(::GetProcAddress(native, name));
    // Names below 64 Ki are ordinals, not texts.
    const bool byName = reinterpret_cast<std::uintptr_t>(name) > 0xFFFF;
    if (byName && std::strcmp(name, "IcmpSendEcho") == 0) {
        return win32::InterruptibleEcho::EntryFor(native, entry);
    }
    return entry;
}

BOOL FreeLibrary(HMODULE module) {
    return ::FreeLibrary(win32::Native(module));
}

}  // namespace win
