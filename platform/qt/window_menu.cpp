#include "window_menu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "gui_thread.h"
#include "window_record.h"

namespace tsyqt {

void ResetWindowMenu(win::HMENU menu) {
    menu->items = {
        {win::MF_STRING, win::SC_MOVE, "&Move"},
        {win::MF_SEPARATOR, 0, ""},
        {win::MF_STRING, win::SC_CLOSE, "&Close\tAlt+F4"},
    };
}

void OpenWindowMenu(win::HWND dialog, const QPoint& where) {
    win::HWND__* record = FindRecord(dialog);
    if (record == nullptr || !record->widget) return;
    QMenu menu(record->widget);
    for (const MenuItem& item : record->systemMenu.items) {
        if ((item.flags & win::MF_SEPARATOR) != 0) {
            menu.addSeparator();
        } else {
            menu.addAction(ToQt(item.text))->setData(QVariant::fromValue<qulonglong>(item.id));
        }
    }
    const QAction* chosen = menu.exec(where);
    if (chosen == nullptr) return;
    const auto command = static_cast<win::WPARAM>(chosen->data().toULongLong());
    // The dialog may have gone while the menu was open.
    if (win::HWND__* still = FindRecord(dialog); still != nullptr && still->object != nullptr) {
        still->object->WindowProc(win::WM_SYSCOMMAND, command, 0);
    }
}

}  // namespace tsyqt

win::BOOL CMenu::AppendMenu(win::UINT flags, std::uintptr_t idNewItem, const char* text) {
    if (m_hMenu == nullptr) return win::FALSE;
    win::HMENU menu = m_hMenu;
    const std::string itemText = text ? text : "";
    return static_cast<win::BOOL>(tsyqt::RunOnGuiThread([=] {
        menu->items.push_back({flags, idNewItem, itemText});
        return static_cast<win::LRESULT>(win::TRUE);
    }));
}
