// A fake window: a dialog made from its template, or one of its controls, with the state the
// real window system would keep for it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "afxwin.h"

namespace fake {

struct MenuItem {
    win::UINT flags;
    std::uintptr_t id;
    std::string text;
};

struct Window {
    win::HWND handle = nullptr;
    // A dialog's owner; a control's dialog.
    win::HWND parent = nullptr;
    bool isDialog = false;
    win::UINT templateId = 0;
    // The framework object: the dialog object, or for a control the framework's own object.
    CWnd* object = nullptr;
    std::unique_ptr<CWnd> controlObject;

    int id = 0;
    std::string windowClass;
    win::DWORD style = 0;
    win::DWORD exStyle = 0;
    std::string text;
    std::vector<win::HWND> children;  // template order

    bool visible = false;
    bool enabled = true;
    bool iconic = false;
    bool destroyed = false;
    bool ended = false;
    std::intptr_t endResult = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    win::HICON bigIcon = nullptr;
    win::HICON smallIcon = nullptr;
    win::HMENU systemMenuHandle = nullptr;
    std::vector<MenuItem> systemMenu;
    CMenu systemMenuObject;

    int check = win::BST_UNCHECKED;  // buttons
    int rangeMin = 0;                // up-down controls
    int rangeMax = 100;
    int position = 0;
    win::HWND buddy = nullptr;

    bool IsButton() const { return windowClass == "BUTTON"; }
    win::DWORD ButtonType() const { return style & win::BS_TYPEMASK; }
    // Check boxes and radio buttons keep a check state; push buttons and group boxes do not.
    bool IsCheckable() const {
        const win::DWORD type = ButtonType();
        return IsButton() && ((type >= 2 && type <= 6) || type == win::BS_AUTORADIOBUTTON);
    }
    bool IsAutoRadio() const { return IsButton() && ButtonType() == win::BS_AUTORADIOBUTTON; }
};

}  // namespace fake
