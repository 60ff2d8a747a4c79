#include "test_support.h"

namespace win32_test {

BEGIN_MESSAGE_MAP(TestApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

bool PumpUntil(const std::function<bool()>& done, DWORD guardMilliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + guardMilliseconds;
    while (!done()) {
        if (::GetTickCount64() >= deadline) return false;
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, win::FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

}  // namespace win32_test
