#include "worker_message_boxes.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "stop_signal.h"
#include "winapi.h"

namespace win32 {
namespace {

std::mutex g_mutex;
std::vector<HWND> g_openBoxes;  // guarded by g_mutex

// The hook that sees the box's window being made, on the thread that shows it.
thread_local HHOOK t_hook = nullptr;
thread_local HWND t_box = nullptr;

void Register(HWND box) {
    const std::lock_guard lock(g_mutex);
    g_openBoxes.push_back(box);
    // A stop requested while the box was being made found nothing to close: close it here.
    if (StopSignal::IsRequested()) ::PostMessageA(box, win::WM_CLOSE, 0, 0);
}

void Unregister(HWND box) {
    const std::lock_guard lock(g_mutex);
    g_openBoxes.erase(std::remove(g_openBoxes.begin(), g_openBoxes.end(), box), g_openBoxes.end());
}

LRESULT CALLBACK NoticeBoxCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_box == nullptr) {
        const auto* creation = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        // The box is the first top-level window of the call; its buttons and text are children.
        if ((creation->lpcs->style & win::WS_CHILD) == 0) {
            t_box = reinterpret_cast<HWND>(wParam);
            Register(t_box);
        }
    }
    return ::CallNextHookEx(t_hook, code, wParam, lParam);
}

}  // namespace

int WorkerMessageBoxes::Show(HWND owner, const char* text, const char* caption, UINT type) {
    if (!StopSignal::AppliesToThisThread()) return ::MessageBoxA(owner, text, caption, type);
    if (StopSignal::IsRequested()) return 0;

    t_box = nullptr;
    t_hook = ::SetWindowsHookExA(WH_CBT, NoticeBoxCreation, nullptr, ::GetCurrentThreadId());
    const int result = ::MessageBoxA(owner, text, caption, type);
    if (t_hook != nullptr) ::UnhookWindowsHookEx(t_hook);
    t_hook = nullptr;
    if (t_box != nullptr) Unregister(t_box);
    t_box = nullptr;
    return result;
}

void WorkerMessageBoxes::CloseAll() {
    const std::lock_guard lock(g_mutex);
    for (HWND box : g_openBoxes) ::PostMessageA(box, win::WM_CLOSE, 0, 0);
}

}  // namespace win32
