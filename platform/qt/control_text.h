// The text of a window as the framework reads and writes it (WM_GETTEXT, WM_SETTEXT).
#pragma once

#include <QString>
#include <string>

#include "window_record.h"

namespace tsyqt {

std::string TextOf(const win::HWND__& window);
// Setting an edit box's text notifies the dialog of the change, as the classic edit box does.
void SetTextOf(win::HWND__& window, const std::string& text);

// What a static control shows for its text: "&" marks the next letter as the shortcut, "&&"
// stands for one "&".
QString StaticText(const char* text);

}  // namespace tsyqt
