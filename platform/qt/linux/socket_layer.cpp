// The Windows Sockets 1.1 start-up and address text, over glibc. Linux needs no start-up: the
// stand-in only reports the version the program asks for.

// The Windows-shaped names first: the system headers below define some of them as macros.
#include "winapi.h"

#include <arpa/inet.h>

#include <cstring>

namespace win {
namespace {
constexpr WORD kVersion11 = 0x0101;
constexpr int kWsaeFault = 10014;
}  // namespace

int WSAStartup(WORD, WSADATA* data) {
    if (data == nullptr) return kWsaeFault;
    *data = WSADATA{};
    data->wVersion = kVersion11;
    data->wHighVersion = kVersion11;
    std::strcpy(data->szDescription, "Tessaly sockets over Linux");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 0xFFFF;
    data->iMaxUdpDg = 0xFFFF;
    return 0;
}

int WSACleanup() {
    return 0;
}

ULONG inet_addr(const char* text) {
    if (text == nullptr) return INADDR_NONE;
    return ::inet_addr(text);
}

char* inet_ntoa(in_addr address) {
    thread_local char text[INET_ADDRSTRLEN];
    ::in_addr native{};
    native.s_addr = address.s_addr;
    return ::inet_ntop(AF_INET, &native, text, sizeof(text)) != nullptr ? text : nullptr;
}

}  // namespace win
