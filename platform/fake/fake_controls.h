// What the window system's own controls do with their messages and with the user's input.
#pragma once

#include <string>

#include "fake_window.h"

namespace fake {

class Platform;

class FakeControls {
  public:
    // The window procedure of a control: text, check state, up-down range and position.
    static win::LRESULT Handle(Platform& platform, Window& control, win::UINT message,
                               win::WPARAM wParam, win::LPARAM lParam);
    // Replaces a control's text; an edit box then tells its dialog (EN_CHANGE), as a real one does
    // whenever its text is set.
    static void SetText(Platform& platform, Window& control, const std::string& text);
    // What a click does to a button's check before the dialog hears of it.
    static void ApplyClick(Platform& platform, Window& button);
    // The arrow keys on an up-down control: it takes its buddy's number, then steps, no wrap.
    static void Step(Platform& platform, Window& upDown, int delta);
    static void Notify(Platform& platform, Window& control, win::UINT code);

  private:
    static bool TakeBuddyPosition(Platform& platform, Window& upDown);
    static void SetPosition(Platform& platform, Window& upDown, int position);
};

}  // namespace fake
