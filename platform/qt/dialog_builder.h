// Builds a dialog's window and its controls from the one template description, hidden.
#pragma once

#include <QString>
#include <string>

#include "afxwin.h"
#include "dialog_template.h"

namespace tsyqt {

// The new dialog's handle; `owner` is the window that the dialog blocks while it runs (none
// when null). Positions and sizes are template dialog units in the template font's metrics.
win::HWND BuildDialog(const DialogTemplate& dialog, CDialog* object, win::HWND owner);

// A title as Qt shows it literally: Qt reads "[*]" in a title as a marker, "[*][*]" as "[*]".
QString LiteralWindowTitle(const std::string& caption);

}  // namespace tsyqt
