// Windows Sockets 1.1 over wsock32. Lookups run through HostLookup so that a stop request can
// abandon them.
#include <cstring>

#include "host_lookup.h"
#include "native_layout.h"

namespace win {

int WSAStartup(WORD versionRequested, WSADATA* data) {
    ::WSADATA native{};
    const int result = ::WSAStartup(versionRequested, &native);
    if (data != nullptr) {
        // Field by field: the 64-bit record puts the texts last.
        data->wVersion = native.wVersion;
        data->wHighVersion = native.wHighVersion;
        std::memcpy(data->szDescription, native.szDescription, sizeof(data->szDescription));
        std::memcpy(data->szSystemStatus, native.szSystemStatus, sizeof(data->szSystemStatus));
        data->iMaxSockets = native.iMaxSockets;
        data->iMaxUdpDg = native.iMaxUdpDg;
        data->lpVendorInfo = native.lpVendorInfo;
    }
    return result;
}

int WSACleanup() {
    return ::WSACleanup();
}

ULONG inet_addr(const char* text) {
    return ::inet_addr(text);
}

hostent* gethostbyname(const char* name) {
    return win32::HostLookup::ByName(name);
}

char* inet_ntoa(in_addr address) {
    ::in_addr native{};
    native.S_un.S_addr = address.s_addr;
    return ::inet_ntoa(native);
}

hostent* gethostbyaddr(const char* address, int length, int type) {
    return win32::HostLookup::ByAddress(address, length, type);
}

}  // namespace win
