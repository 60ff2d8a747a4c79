#include "interruptible_echo.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "native_layout.h"
#include "stop_signal.h"

namespace win32 {
namespace {

using PFN_IcmpSendEcho2 = DWORD(WINAPI*)(HANDLE, HANDLE, FARPROC, PVOID, IPAddr, LPVOID, WORD,
                                         PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
using PFN_IcmpParseReplies = DWORD(WINAPI*)(LPVOID, DWORD);

// Through the untyped entry type, which converts to any other.
template <typename Entry>
Entry EntryOf(HMODULE library, const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<win::FARPROC>(::GetProcAddress(library, name)));
}

std::atomic<PFN_IcmpSendEcho2> g_sendEcho2{nullptr};
std::atomic<PFN_IcmpParseReplies> g_parseReplies{nullptr};

// Beyond the reply records, the library wants room for the ICMP error message that may come back
// instead of a reply, and for its own status block. A buffer of exactly one record, as callers of
// the synchronous entry often pass, makes every request fail on Windows.
constexpr std::size_t kIcmpErrorRoom = 8;
constexpr std::size_t kStatusBlockRoom = 2 * sizeof(void*);

// Everything the library may still write to or read from after the caller has gone.
struct EchoRequest {
    HANDLE replied = nullptr;
    HMODULE pinnedLibrary = nullptr;
    std::vector<unsigned char> requestData;
    std::vector<unsigned char> optionsData;
    ::IP_OPTION_INFORMATION options{};
    std::vector<unsigned char> replies;

    ~EchoRequest() {
        if (replied != nullptr) ::CloseHandle(replied);
        if (pinnedLibrary != nullptr) ::FreeLibrary(pinnedLibrary);
    }
};

EchoRequest* PrepareRequest(PFN_IcmpSendEcho2 sendEcho2, win::LPVOID requestData,
                            win::WORD requestSize, const win::IP_OPTION_INFORMATION* options,
                            win::DWORD replySize) {
    auto* request = new EchoRequest;
    request->replied = ::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCSTR>(sendEcho2), &request->pinnedLibrary);
    const auto* data = static_cast<const unsigned char*>(requestData);
    if (data != nullptr) request->requestData.assign(data, data + requestSize);
    if (options != nullptr) {
        std::memcpy(&request->options, options, sizeof(request->options));
        if (options->OptionsData != nullptr && options->OptionsSize > 0) {
            request->optionsData.assign(options->OptionsData,
                                        options->OptionsData + options->OptionsSize);
            request->options.OptionsData = request->optionsData.data();
        } else {
            request->options.OptionsData = nullptr;
        }
    }
    request->replies.resize(replySize + requestSize + kIcmpErrorRoom + kStatusBlockRoom);
    return request;
}

DWORD WINAPI FreeWhenReplied(LPVOID context) {
    auto* abandoned = static_cast<EchoRequest*>(context);
    ::WaitForSingleObject(abandoned->replied, INFINITE);
    delete abandoned;
    return 0;
}

// Leaves the request to a pool thread that frees it once the library is done with it. Without a
// pool thread the request is never freed: a leak, never a write into freed memory.
void Abandon(EchoRequest* request) {
    ::QueueUserWorkItem(FreeWhenReplied, request, WT_EXECUTELONGFUNCTION);
}

// A pointer into the request's buffer, moved to the same place in the caller's, or null when
// the part it points to did not fit there.
template <typename T>
T* Rebase(T* pointer, std::size_t size, const EchoRequest& request, void* replyBuffer,
          std::size_t replySize) {
    const auto* base = request.replies.data();
    const auto* target = reinterpret_cast<const unsigned char*>(pointer);
    if (pointer == nullptr || target < base || target >= base + request.replies.size()) {
        return nullptr;
    }
    const auto offset = static_cast<std::size_t>(target - base);
    if (offset + size > replySize) return nullptr;
    return reinterpret_cast<T*>(static_cast<unsigned char*>(replyBuffer) + offset);
}

win::DWORD DeliverReplies(const EchoRequest& request, DWORD count, win::LPVOID replyBuffer,
                          win::DWORD replySize) {
    const std::size_t copied = std::min<std::size_t>(replySize, request.replies.size());
    std::memcpy(replyBuffer, request.replies.data(), copied);
    const DWORD fitting = std::min<DWORD>(count, replySize / sizeof(::ICMP_ECHO_REPLY));
    auto* records = static_cast<::ICMP_ECHO_REPLY*>(replyBuffer);
    for (DWORD i = 0; i < fitting; ++i) {
        ::ICMP_ECHO_REPLY& record = records[i];
        record.Data = Rebase(record.Data, record.DataSize, request, replyBuffer, replySize);
        if (record.Data == nullptr) record.DataSize = 0;
        record.Options.OptionsData = Rebase(record.Options.OptionsData, record.Options.OptionsSize,
                                            request, replyBuffer, replySize);
        if (record.Options.OptionsData == nullptr) record.Options.OptionsSize = 0;
    }
    if (fitting == 0 && copied >= sizeof(::ICMP_ECHO_REPLY) && records[0].Status != 0) {
        ::SetLastError(records[0].Status);
    }
    return fitting;
}

}  // namespace

win::FARPROC InterruptibleEcho::EntryFor(HMODULE library, win::FARPROC original) {
    if (original == nullptr) return nullptr;
    const auto sendEcho2 = EntryOf<PFN_IcmpSendEcho2>(library, "IcmpSendEcho2");
    const auto parseReplies = EntryOf<PFN_IcmpParseReplies>(library, "IcmpParseReplies");
    if (sendEcho2 == nullptr || parseReplies == nullptr) return original;
    g_sendEcho2 = sendEcho2;
    g_parseReplies = parseReplies;
    return reinterpret_cast<win::FARPROC>(&InterruptibleEcho::SendEcho);
}

win::DWORD TSY_WINAPI InterruptibleEcho::SendEcho(win::HANDLE echoHandle, win::IPAddr destination,
                                                  win::LPVOID requestData, win::WORD requestSize,
                                                  win::IP_OPTION_INFORMATION* options,
                                                  win::LPVOID replyBuffer, win::DWORD replySize,
                                                  win::DWORD timeout) {
    if (replyBuffer == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (replySize < sizeof(::ICMP_ECHO_REPLY)) {
        ::SetLastError(IP_BUF_TOO_SMALL);
        return 0;
    }
    if (StopSignal::AppliesToThisThread() && StopSignal::IsRequested()) {
        ::SetLastError(ERROR_CANCELLED);
        return 0;
    }

    const PFN_IcmpSendEcho2 sendEcho2 = g_sendEcho2;
    const PFN_IcmpParseReplies parseReplies = g_parseReplies;
    EchoRequest* request = PrepareRequest(sendEcho2, requestData, requestSize, options, replySize);
    DWORD count =
        sendEcho2(echoHandle, request->replied, nullptr, nullptr, destination,
                  request->requestData.empty() ? nullptr : request->requestData.data(), requestSize,
                  options != nullptr ? &request->options : nullptr, request->replies.data(),
                  static_cast<DWORD>(request->replies.size()), timeout);
    if (count == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            delete request;
            ::SetLastError(error);
            return 0;
        }
        const StopSignal::WaitEnd end = StopSignal::WaitFor(request->replied, INFINITE);
        if (end != StopSignal::WaitEnd::Signalled) {
            Abandon(request);
            ::SetLastError(ERROR_CANCELLED);
            return 0;
        }
        count = parseReplies(request->replies.data(), static_cast<DWORD>(request->replies.size()));
    }
    const win::DWORD delivered = DeliverReplies(*request, count, replyBuffer, replySize);
    delete request;
    return delivered;
}

}  // namespace win32
