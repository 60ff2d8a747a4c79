#include "fake_controls.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "fake_platform.h"

using namespace win;

namespace fake {

LRESULT FakeControls::Handle(Platform& platform, Window& control, UINT message, WPARAM wParam,
                             LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT:
            SetText(platform, control, lParam ? reinterpret_cast<const char*>(lParam) : "");
            return TRUE;
        case WM_GETTEXT: {
            if (wParam == 0 || lParam == 0) return 0;
            const std::size_t length = std::min<std::size_t>(control.text.size(), wParam - 1);
            std::memcpy(reinterpret_cast<char*>(lParam), control.text.data(), length);
            reinterpret_cast<char*>(lParam)[length] = '\0';
            return static_cast<LRESULT>(length);
        }
        case BM_SETCHECK:
            if (control.IsCheckable()) control.check = static_cast<int>(wParam);
            return 0;
        case BM_GETCHECK:
            return control.IsCheckable() ? control.check : BST_UNCHECKED;
        case UDM_SETRANGE:
            control.rangeMax = static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam)));
            control.rangeMin = static_cast<short>(HIWORD(static_cast<std::uintptr_t>(lParam)));
            return 0;
        case UDM_SETPOS: {
            const int previous = control.position;
            SetPosition(platform, control,
                        static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam))));
            return previous;
        }
        case UDM_GETPOS: {
            const bool accepted = TakeBuddyPosition(platform, control);
            return MAKELONG(static_cast<WORD>(control.position), accepted ? 0 : 1);
        }
        default:
            return 0;
    }
}

void FakeControls::SetText(Platform& platform, Window& control, const std::string& text) {
    control.text = text;
    if (control.windowClass == "EDIT") Notify(platform, control, EN_CHANGE);
}

void FakeControls::Notify(Platform& platform, Window& control, UINT code) {
    Window* dialog = platform.FindWindow(control.parent);
    if (dialog == nullptr || dialog->object == nullptr) return;
    dialog->object->WindowProc(WM_COMMAND,
                               MAKELONG(static_cast<WORD>(control.id), static_cast<WORD>(code)),
                               reinterpret_cast<LPARAM>(control.handle));
}

void FakeControls::ApplyClick(Platform& platform, Window& button) {
    if (button.IsAutoRadio()) {
        Window* dialog = platform.FindWindow(button.parent);
        if (dialog == nullptr) return;
        // The group runs from the last control with WS_GROUP up to the button, to the next one.
        const auto& items = dialog->children;
        const auto at = std::find(items.begin(), items.end(), button.handle);
        auto first = at;
        while (first != items.begin() && !(platform.FindWindow(*first)->style & WS_GROUP)) --first;
        auto last = at + 1;
        while (last != items.end() && !(platform.FindWindow(*last)->style & WS_GROUP)) ++last;
        for (auto item = first; item != last; ++item) {
            Window* other = platform.FindWindow(*item);
            if (other->IsAutoRadio()) other->check = BST_UNCHECKED;
        }
        button.check = BST_CHECKED;
    } else if (button.IsButton() && button.ButtonType() == BS_AUTOCHECKBOX) {
        button.check = button.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    }
}

void FakeControls::Step(Platform& platform, Window& upDown, int delta) {
    TakeBuddyPosition(platform, upDown);
    SetPosition(platform, upDown, upDown.position + delta);
}

bool FakeControls::TakeBuddyPosition(Platform& platform, Window& upDown) {
    Window* buddy = (upDown.style & UDS_SETBUDDYINT) ? platform.FindWindow(upDown.buddy) : nullptr;
    if (buddy == nullptr) return true;
    const std::string& text = buddy->text;
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    const bool negative = begin < end && text[begin] == '-';
    if (negative) ++begin;
    if (begin == end || end - begin > 6) return false;
    int value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    if (negative) value = -value;
    const int low = std::min(upDown.rangeMin, upDown.rangeMax);
    const int high = std::max(upDown.rangeMin, upDown.rangeMax);
    if (value < low || value > high) return false;
    upDown.position = value;
    return true;
}

void FakeControls::SetPosition(Platform& platform, Window& upDown, int position) {
    const int low = std::min(upDown.rangeMin, upDown.rangeMax);
    const int high = std::max(upDown.rangeMin, upDown.rangeMax);
    upDown.position = std::clamp(position, low, high);
    Window* buddy = (upDown.style & UDS_SETBUDDYINT) ? platform.FindWindow(upDown.buddy) : nullptr;
    if (buddy != nullptr) SetText(platform, *buddy, std::to_string(upDown.position));
}

}  // namespace fake
