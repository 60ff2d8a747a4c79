// Where the framework's Windows-shaped types meet the real ones: handle conversions, and proof
// that the records handed to the system through a cast have the system's layout.
// Include after native_windows.h and winapi.h.
#pragma once

#include <cstddef>

#include "native_windows.h"
#include "winapi.h"

namespace native_value {
#define TSY_CHECK_NATIVE(name)                                  \
    static_assert(name##_ == static_cast<long long>(win::name), \
                  "namespace win disagrees with the Windows headers on " #name);
TSY_NATIVE_CONSTANTS(TSY_CHECK_NATIVE)
#undef TSY_CHECK_NATIVE
}  // namespace native_value

namespace win32 {

inline ::HWND Native(win::HWND window) {
    return reinterpret_cast<::HWND>(window);
}
inline ::HICON Native(win::HICON icon) {
    return reinterpret_cast<::HICON>(icon);
}
inline ::HMENU Native(win::HMENU menu) {
    return reinterpret_cast<::HMENU>(menu);
}
inline ::HINSTANCE Native(win::HINSTANCE instance) {
    return reinterpret_cast<::HINSTANCE>(instance);
}
inline ::HDC Native(win::HDC dc) {
    return reinterpret_cast<::HDC>(dc);
}

inline win::HWND Framework(::HWND window) {
    return reinterpret_cast<win::HWND>(window);
}
inline win::HICON Framework(::HICON icon) {
    return reinterpret_cast<win::HICON>(icon);
}
inline win::HMENU Framework(::HMENU menu) {
    return reinterpret_cast<win::HMENU>(menu);
}
inline win::HINSTANCE Framework(::HINSTANCE instance) {
    return reinterpret_cast<win::HINSTANCE>(instance);
}
inline win::HDC Framework(::HDC dc) {
    return reinterpret_cast<win::HDC>(dc);
}

// The shell reads the first-version record, whose size it finds in cbSize.
static_assert(sizeof(win::NOTIFYICONDATAA) == NOTIFYICONDATAA_V1_SIZE);
static_assert(offsetof(win::NOTIFYICONDATAA, cbSize) == offsetof(::NOTIFYICONDATAA, cbSize));
static_assert(offsetof(win::NOTIFYICONDATAA, hWnd) == offsetof(::NOTIFYICONDATAA, hWnd));
static_assert(offsetof(win::NOTIFYICONDATAA, uID) == offsetof(::NOTIFYICONDATAA, uID));
static_assert(offsetof(win::NOTIFYICONDATAA, uFlags) == offsetof(::NOTIFYICONDATAA, uFlags));
static_assert(offsetof(win::NOTIFYICONDATAA, uCallbackMessage) ==
              offsetof(::NOTIFYICONDATAA, uCallbackMessage));
static_assert(offsetof(win::NOTIFYICONDATAA, hIcon) == offsetof(::NOTIFYICONDATAA, hIcon));
static_assert(offsetof(win::NOTIFYICONDATAA, szTip) == offsetof(::NOTIFYICONDATAA, szTip));
static_assert(sizeof(win::NOTIFYICONDATAA::szTip) == 64);

// The echo library fills and reads these in place.
static_assert(sizeof(win::IP_OPTION_INFORMATION) == sizeof(::IP_OPTION_INFORMATION));
static_assert(offsetof(win::IP_OPTION_INFORMATION, Ttl) == offsetof(::IP_OPTION_INFORMATION, Ttl));
static_assert(offsetof(win::IP_OPTION_INFORMATION, Tos) == offsetof(::IP_OPTION_INFORMATION, Tos));
static_assert(offsetof(win::IP_OPTION_INFORMATION, Flags) ==
              offsetof(::IP_OPTION_INFORMATION, Flags));
static_assert(offsetof(win::IP_OPTION_INFORMATION, OptionsSize) ==
              offsetof(::IP_OPTION_INFORMATION, OptionsSize));
static_assert(offsetof(win::IP_OPTION_INFORMATION, OptionsData) ==
              offsetof(::IP_OPTION_INFORMATION, OptionsData));
static_assert(sizeof(win::ICMP_ECHO_REPLY) == sizeof(::ICMP_ECHO_REPLY));
static_assert(offsetof(win::ICMP_ECHO_REPLY, Address) == offsetof(::ICMP_ECHO_REPLY, Address));
static_assert(offsetof(win::ICMP_ECHO_REPLY, Status) == offsetof(::ICMP_ECHO_REPLY, Status));
static_assert(offsetof(win::ICMP_ECHO_REPLY, RoundTripTime) ==
              offsetof(::ICMP_ECHO_REPLY, RoundTripTime));
static_assert(offsetof(win::ICMP_ECHO_REPLY, DataSize) == offsetof(::ICMP_ECHO_REPLY, DataSize));
static_assert(offsetof(win::ICMP_ECHO_REPLY, Data) == offsetof(::ICMP_ECHO_REPLY, Data));
static_assert(offsetof(win::ICMP_ECHO_REPLY, Options) == offsetof(::ICMP_ECHO_REPLY, Options));

// The socket records are copied field by field (64-bit WSADATA orders its fields differently),
// but their parts must match in size.
static_assert(sizeof(win::WSADATA::szDescription) == sizeof(::WSADATA::szDescription));
static_assert(sizeof(win::WSADATA::szSystemStatus) == sizeof(::WSADATA::szSystemStatus));
static_assert(sizeof(win::in_addr) == sizeof(::in_addr));
static_assert(sizeof(win::IPAddr) == sizeof(::IPAddr));

}  // namespace win32
