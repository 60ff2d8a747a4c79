// The echo module's entry points, as ICMP.DLL offers them; reached through GetProcAddress.
#pragma once

#include "winapi.h"

namespace linuxsvc {

win::HANDLE TSY_WINAPI IcmpCreateFile();
win::BOOL TSY_WINAPI IcmpCloseHandle(win::HANDLE handle);
win::DWORD TSY_WINAPI IcmpSendEcho(win::HANDLE handle, win::IPAddr destination,
                                   win::LPVOID requestData, win::WORD requestSize,
                                   win::IP_OPTION_INFORMATION* options, win::LPVOID replyBuffer,
                                   win::DWORD replySize, win::DWORD timeout);

// How an echo handle reaches the network; for tests that must know which path they exercised.
enum class EchoSocketKind { kNone, kDatagram, kRaw };
EchoSocketKind EchoSocketKindOf(win::HANDLE handle);

}  // namespace linuxsvc
