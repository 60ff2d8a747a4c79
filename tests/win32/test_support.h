// What the back end's tests share: an application object and a wait that keeps messages moving.
#pragma once

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <functional>

#include "afxwin.h"

namespace win32_test {

// The application object that the framework's services expect, routing the help command as the
// program's does.
class TestApp : public CWinApp {
  public:
    TestApp() : CWinApp("TessalyTests") {}
    DECLARE_MESSAGE_MAP()
};

// Delivers this thread's messages until `done` holds or the guard runs out; true when it held.
bool PumpUntil(const std::function<bool()>& done, DWORD guardMilliseconds = 60000);

}  // namespace win32_test
