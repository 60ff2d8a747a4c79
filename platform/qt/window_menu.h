// A dialog's window menu (the system menu): Move and Close, then what the program appends.
// Alt+Space or a right click in the dialog opens it; a chosen item reaches the dialog as
// WM_SYSCOMMAND with the item's identifier.
#pragma once

#include <QPoint>

#include "winapi.h"

namespace tsyqt {

// Puts the menu a dialog starts with into `menu`.
void ResetWindowMenu(win::HMENU menu);

// Shows the dialog's window menu at `where` (global coordinates) and sends the chosen command.
void OpenWindowMenu(win::HWND dialog, const QPoint& where);

}  // namespace tsyqt
