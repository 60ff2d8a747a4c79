// Notification-area icons over QSystemTrayIcon (StatusNotifierItem or XEmbed, as the desktop
// offers). An icon is named by its window and identifier, as the shell names it.
#include <QCoreApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <cstring>
#include <map>
#include <utility>

#include "gui_thread.h"
#include "icons.h"
#include "tray_icons.h"
#include "window_record.h"

using namespace win;

namespace tsyqt {
namespace {

constexpr UINT kMiddleButtonDown = 0x0207;  // WM_MBUTTONDOWN

struct TrayEntry {
    QPointer<QSystemTrayIcon> icon;
    bool notifies = false;
    UINT callbackMessage = 0;
};

using TrayKey = std::pair<HWND, UINT>;

std::map<TrayKey, TrayEntry>& Trays() {
    static std::map<TrayKey, TrayEntry> trays;
    return trays;
}

// The mouse message the shell reports for what Qt saw. A double click arrives after the
// button-down of its first click, and that one already acted.
UINT MouseMessageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return WM_LBUTTONDOWN;
        case QSystemTrayIcon::Context:
            return WM_RBUTTONDOWN;
        case QSystemTrayIcon::DoubleClick:
            return WM_LBUTTONDBLCLK;
        case QSystemTrayIcon::MiddleClick:
            return kMiddleButtonDown;
        default:
            return 0;
    }
}

void DeliverActivation(const TrayKey& key, QSystemTrayIcon::ActivationReason reason) {
    const auto found = Trays().find(key);
    if (found == Trays().end() || !found->second.notifies) return;
    const UINT mouse = MouseMessageFor(reason);
    HWND__* window = FindRecord(key.first);
    if (mouse == 0 || window == nullptr || window->object == nullptr) return;
    window->object->WindowProc(found->second.callbackMessage, key.second, mouse);
}

void Apply(TrayEntry& entry, const NOTIFYICONDATAA& data) {
    if ((data.uFlags & NIF_ICON) != 0) entry.icon->setIcon(QtIcon(data.hIcon));
    if ((data.uFlags & NIF_TIP) != 0) {
        const std::size_t length = strnlen(data.szTip, sizeof(data.szTip) - 1);
        entry.icon->setToolTip(ToQt(std::string(data.szTip, length)));
    }
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        entry.notifies = true;
        entry.callbackMessage = data.uCallbackMessage;
    }
}

BOOL Add(const NOTIFYICONDATAA& data) {
    const TrayKey key{data.hWnd, data.uID};
    if (FindRecord(data.hWnd) == nullptr || Trays().contains(key)) return FALSE;
    TrayEntry& entry = Trays()[key];
    entry.icon = new QSystemTrayIcon(QCoreApplication::instance());
    QObject::connect(
        entry.icon, &QSystemTrayIcon::activated, entry.icon,
        [key](QSystemTrayIcon::ActivationReason reason) { DeliverActivation(key, reason); });
    Apply(entry, data);
    entry.icon->show();
    // Without a notification area now the icon is kept all the same, and shows as soon as a
    // tray host starts; the caller learns that nobody sees it yet.
    return QSystemTrayIcon::isSystemTrayAvailable() ? TRUE : FALSE;
}

BOOL Modify(const NOTIFYICONDATAA& data) {
    const auto found = Trays().find({data.hWnd, data.uID});
    if (found == Trays().end() || !found->second.icon) return FALSE;
    Apply(found->second, data);
    return TRUE;
}

BOOL Delete(const NOTIFYICONDATAA& data) {
    const auto found = Trays().find({data.hWnd, data.uID});
    if (found == Trays().end()) return FALSE;
    if (QSystemTrayIcon* icon = found->second.icon) {
        icon->hide();
        delete icon;
    }
    Trays().erase(found);
    return TRUE;
}

}  // namespace

QSystemTrayIcon* TrayIconOf(HWND window, UINT id) {
    const auto found = Trays().find({window, id});
    return found != Trays().end() ? found->second.icon.data() : nullptr;
}

}  // namespace tsyqt

BOOL win::Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) {
    if (data == nullptr) return FALSE;
    const NOTIFYICONDATAA record = *data;
    return static_cast<BOOL>(tsyqt::RunOnGuiThread([message, record]() -> LRESULT {
        switch (message) {
            case NIM_ADD:
                return tsyqt::Add(record);
            case NIM_MODIFY:
                return tsyqt::Modify(record);
            case NIM_DELETE:
                return tsyqt::Delete(record);
            default:
                return FALSE;
        }
    }));
}
