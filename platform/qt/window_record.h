// What a window handle points to in the Qt back end: the widget, the framework object that
// receives the window's messages, and the little state Qt does not keep for us.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "afxwin.h"
#include "dialog_template.h"

namespace tsyqt {

enum class ControlKind {
    kDialog,
    kPushButton,
    kCheckBox,
    kRadioButton,
    kGroupBox,
    kEdit,
    kStatic,
    kIcon,
    kUpDown,
};

struct MenuItem {
    win::UINT flags;
    std::uintptr_t id;
    std::string text;
};

}  // namespace tsyqt

struct win::HMENU__ {
    std::vector<tsyqt::MenuItem> items;
};

struct win::HWND__ {
    tsyqt::ControlKind kind = tsyqt::ControlKind::kDialog;
    int id = 0;
    win::DWORD style = 0;
    win::DWORD exStyle = 0;
    QPointer<QWidget> widget;
    // The object whose WindowProc gets the window's messages: the dialog object, or for a
    // control the framework's own object below.
    CWnd* object = nullptr;
    std::unique_ptr<CWnd> controlObject;
    // A control's dialog, or a dialog's owner.
    win::HWND parent = nullptr;

    // Dialogs only, but for the text.
    const DialogTemplate* dialogTemplate = nullptr;
    std::vector<win::HWND> children;  // template order
    // The text as last set: a dialog's caption (Qt reads "[*]" in titles as a marker), a
    // static's text before its "&" marks are taken out.
    std::string text;
    win::HICON bigIcon = nullptr;
    win::HICON smallIcon = nullptr;
    win::HMENU__ systemMenu;
    CMenu systemMenuObject;
    bool inPaint = false;  // while the window handles a paint event: a paint DC may draw
};

namespace tsyqt {

// The handle's record when the handle names a live window; null otherwise. Any thread.
win::HWND__* FindRecord(win::HWND handle);
// Takes ownership of a new record and makes its handle known.
win::HWND RegisterWindow(std::unique_ptr<win::HWND__> record);
// Forgets the handle and frees its record.
void UnregisterWindow(win::HWND handle);
// The handle of the window a widget belongs to (the widget itself or a template control).
win::HWND HandleOfWidget(const QWidget* widget);

// Text passes between the framework's 8-bit strings and Qt as UTF-8, the desktop's encoding.
QString ToQt(const char* text);
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);

}  // namespace tsyqt
