// Which framework object stands for which window handle.
//
// A dialog's object is entered when its window is made and removed when the window is gone; its
// messages reach the object through the window procedure it was given, and their default handling
// is the procedure it had before. Any other window (a control, say) gets a temporary object of
// the framework's own on first request, dropped once the window is gone.
#pragma once

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include "afxwin.h"

namespace win32 {

class WindowMap {
  public:
    static WindowMap& Instance();

    // `opening`: a dialog being made, not shown yet (see WaitUntilOpened).
    void Attach(HWND window, CWnd* object, WNDPROC superProc, bool opening);
    void Detach(HWND window);
    // The dialog has been shown for the first time.
    void MarkOpened(HWND window);
    // Waits until a dialog being opened has been shown for the first time, or is gone; at once
    // for any other window. Ends early at a stop request on the threads the stop applies to.
    // Another thread's show command, sent while the dialog is still being made, would otherwise
    // be undone by that first showing.
    void WaitUntilOpened(HWND window);
    // The object entered for the window, or null.
    CWnd* Permanent(HWND window) const;
    // The procedure the window had before the framework's, or null.
    WNDPROC SuperProc(HWND window) const;
    // The entered object, else a temporary one for an existing window; null for anything else.
    CWnd* FromHandle(HWND window);
    // The framework object of a menu, made on first request.
    CMenu* MenuFromHandle(HMENU menu);
    // Forgets the temporary objects of windows and menus that no longer exist.
    void DropDeadTemporaries();

  private:
    // Set once the dialog has been shown, or is gone; shared with the threads that wait for it.
    class OpenedEvent {
      public:
        OpenedEvent();
        ~OpenedEvent();
        OpenedEvent(const OpenedEvent&) = delete;
        OpenedEvent& operator=(const OpenedEvent&) = delete;
        HANDLE handle() const { return m_event; }

      private:
        HANDLE m_event;
    };

    struct Entry {
        CWnd* object;
        WNDPROC superProc;
        std::shared_ptr<OpenedEvent> opened;  // null once shown, and for other windows
    };

    mutable std::mutex m_mutex;
    std::unordered_map<HWND, Entry> m_permanent;
    std::unordered_map<HWND, std::unique_ptr<CWnd>> m_temporary;
    std::unordered_map<HMENU, std::unique_ptr<CMenu>> m_menus;
};

}  // namespace win32
