// Message boxes over QMessageBox, for the GUI thread and for worker threads alike.
#pragma once

#include <string>

#include "winapi.h"

namespace tsyqt {

enum class DefaultIcon { kNone, kExclamation };

struct MessageBoxRequest {
    win::HWND owner = nullptr;
    bool ownedByMainWindow = false;  // the application's main window, looked up on the GUI thread
    std::string text;
    std::string caption;
    win::UINT type = win::MB_OK;
    DefaultIcon whenNoIcon = DefaultIcon::kNone;
};

// Shows a modal box with one OK button and returns IDOK once it is dismissed. From a worker
// thread the box runs on the GUI thread while the worker waits; a stop request closes it, and
// the call returns 0.
int ShowMessageBox(const MessageBoxRequest& request);

// Closes the boxes that worker threads wait on; on the GUI thread.
void CloseWorkerMessageBoxes();

}  // namespace tsyqt
