// Host lookups that a stop request can abandon.
//
// The lookup runs on a pool thread; the caller waits for it together with the stop signal. Its
// answer is copied into storage of the calling thread, valid until that thread's next lookup, as
// Windows Sockets promises for its own results.
#pragma once

#include "native_windows.h"
#include "winapi.h"

namespace win32 {

class HostLookup {
  public:
    static win::hostent* ByName(const char* name);
    static win::hostent* ByAddress(const char* address, int length, int type);
};

}  // namespace win32
