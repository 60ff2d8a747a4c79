// Kernel services and the echo library, in virtual time.
#include <string>

#include "fake_platform.h"

using namespace win;

namespace {
fake::Platform& P() {
    return fake::Platform::Current();
}

bool SameText(const char* left, const char* right) {
    return left != nullptr && right != nullptr && fake::SameName(left, right);
}

HANDLE TSY_WINAPI FakeIcmpCreateFile() {
    fake::Platform& platform = P();
    platform.Record(fake::Kind::IcmpCreateFile, "IcmpCreateFile");
    if (platform.IcmpCreateFails()) return INVALID_HANDLE_VALUE;
    if (platform.echoHandle == nullptr) platform.echoHandle = platform.NewHandle();
    return platform.echoHandle;
}

BOOL TSY_WINAPI FakeIcmpCloseHandle(HANDLE) {
    return TRUE;
}

// Answers as scripted: a reply after its delay, or nothing until the timeout. A stop ends the
// wait with no reply, as a closing program would see it.
DWORD TSY_WINAPI FakeIcmpSendEcho(HANDLE icmp, IPAddr destination, LPVOID requestData,
                                  WORD requestSize, IP_OPTION_INFORMATION* options,
                                  LPVOID replyBuffer, DWORD replySize, DWORD timeout) {
    fake::Platform& platform = P();
    fake::EchoCall call{icmp, destination, requestData, requestSize, options != nullptr,
                        {},   replyBuffer, replySize,   timeout,     0};
    if (options != nullptr) call.options = *options;
    const fake::EchoOutcome outcome = platform.NextEcho();
    const std::size_t at = platform.Events().size();
    platform.Record(fake::Kind::IcmpSendEcho, "IcmpSendEcho " + fake::Dotted(destination), call);

    const bool answered = outcome.replied && outcome.after <= timeout;
    const bool fits = replyBuffer != nullptr && replySize >= sizeof(ICMP_ECHO_REPLY);
    if (!platform.Advance(answered ? outcome.after : timeout) || !answered || !fits) return 0;
    ICMP_ECHO_REPLY reply{};
    reply.Address = outcome.from;
    reply.RoundTripTime = static_cast<ULONG>(outcome.after);
    *static_cast<ICMP_ECHO_REPLY*>(replyBuffer) = reply;
    std::get<fake::EchoCall>(platform.EventAt(at).payload).result = 1;
    return 1;
}
}  // namespace

namespace win {

void Sleep(DWORD milliseconds) {
    P().BeginSleep(milliseconds);
}

BOOL Beep(DWORD frequency, DWORD duration) {
    fake::Platform& platform = P();
    platform.Record(fake::Kind::Beep,
                    "Beep " + std::to_string(frequency) + " " + std::to_string(duration),
                    fake::BeepCall{frequency, duration});
    return platform.Advance(duration) ? TRUE : FALSE;
}

HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* threadId) {
    fake::Platform& platform = P();
    HANDLE thread = platform.NewHandle();
    if (threadId != nullptr)
        *threadId = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(thread));
    // Recorded, not run: a test runs the routine on its own thread when it wants to.
    platform.Record(
        fake::Kind::CreateThread, "CreateThread",
        fake::ThreadCall{start, parameter, stackSize, flags, security != nullptr, thread});
    return thread;
}

void ExitProcess(UINT exitCode) {
    P().Record(fake::Kind::ExitProcess, "ExitProcess " + std::to_string(exitCode));
    throw fake::ProcessExit{exitCode};
}

HMODULE LoadLibraryA(const char* name) {
    fake::Platform& platform = P();
    platform.Record(fake::Kind::LoadLibrary, std::string("LoadLibraryA ") + (name ? name : ""));
    if (!SameText(name, "ICMP.DLL") || !platform.EchoLibraryPresent()) return nullptr;
    if (platform.icmpModule == nullptr) {
        platform.icmpModule = static_cast<HMODULE>(platform.NewHandle());
    }
    return platform.icmpModule;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    fake::Platform& platform = P();
    const std::string entry = name ? name : "";
    platform.Record(fake::Kind::GetProcAddress, "GetProcAddress " + entry);
    if (module == nullptr || module != platform.icmpModule || !platform.EntryPointPresent(entry)) {
        return nullptr;
    }
    if (entry == "IcmpCreateFile") return reinterpret_cast<FARPROC>(&FakeIcmpCreateFile);
    if (entry == "IcmpCloseHandle") return reinterpret_cast<FARPROC>(&FakeIcmpCloseHandle);
    if (entry == "IcmpSendEcho") return reinterpret_cast<FARPROC>(&FakeIcmpSendEcho);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    fake::Platform& platform = P();
    platform.Record(fake::Kind::FreeLibrary, "FreeLibrary");
    return module != nullptr && module == platform.icmpModule ? TRUE : FALSE;
}

}  // namespace win
