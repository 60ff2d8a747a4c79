// The echo request that the worker sends through the echo library, made to end at a stop
// request instead of blocking for its whole timeout.
//
// What GetProcAddress hands out for "IcmpSendEcho": the library's asynchronous entry with an
// event, waited on together with the stop signal. An abandoned request keeps its buffers and a
// reference to the library until the library has finished with them.
#pragma once

#include "native_windows.h"
#include "winapi.h"

namespace win32 {

class InterruptibleEcho {
  public:
    // The entry for "IcmpSendEcho" of `library`, whose own entry is `original`: the wrapper when
    // the library has the asynchronous entry points it needs, else `original`.
    static win::FARPROC EntryFor(HMODULE library, win::FARPROC original);

    static win::DWORD TSY_WINAPI SendEcho(win::HANDLE echoHandle, win::IPAddr destination,
                                          win::LPVOID requestData, win::WORD requestSize,
                                          win::IP_OPTION_INFORMATION* options,
                                          win::LPVOID replyBuffer, win::DWORD replySize,
                                          win::DWORD timeout);
};

}  // namespace win32
