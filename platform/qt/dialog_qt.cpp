// Modal dialogs: created hidden from their template, initialised, centred, shown, run, ended.
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <algorithm>

#include "afxwin.h"
#include "dialog_builder.h"
#include "dialog_window.h"
#include "gui_thread.h"
#include "modal_dialogs.h"
#include "stop_listener.h"
#include "window_record.h"

using namespace win;

namespace tsyqt {
namespace {

std::vector<HWND>& RunningDialogList() {
    static std::vector<HWND> running;
    return running;
}

HWND FirstTabStop(const HWND__& dialog) {
    for (HWND control : dialog.children) {
        const HWND__* record = FindRecord(control);
        if (record != nullptr && (record->style & WS_TABSTOP) != 0 && record->widget &&
            !record->widget->isHidden() && record->widget->isEnabled()) {
            return control;
        }
    }
    return nullptr;
}

void FocusControl(HWND control) {
    HWND__* record = FindRecord(control);
    if (record == nullptr || !record->widget) return;
    record->widget->setFocus(Qt::OtherFocusReason);
    // The dialog manager selects an edit box's text when it gives it the focus, so typing
    // replaces it.
    if (auto* edit = qobject_cast<QLineEdit*>(record->widget)) edit->selectAll();
}

void CentreInWorkArea(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    // The frame is what gets centred, as far as the platform knows it before the first show.
    window.winId();
    const QSize frame = window.frameGeometry().size();
    window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

CWnd* OwnerOf(CDialog& dialog) {
    if (CWnd* parent = dialog.ParentWindow()) return parent;
    // Without a parent the main window owns a dialog, unless the dialog is the main window.
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != &dialog) return app->m_pMainWnd;
    return nullptr;
}

std::intptr_t RunDialog(CDialog& dialog) {
    const DialogTemplate* description = AfxFindDialogTemplate(dialog.TemplateId());
    if (description == nullptr) return -1;
    CWnd* owner = OwnerOf(dialog);
    const HWND handle =
        BuildDialog(*description, &dialog, owner != nullptr ? owner->m_hWnd : nullptr);
    dialog.Attach(handle);
    QPointer<DialogWindow> window = static_cast<DialogWindow*>(FindRecord(handle)->widget.data());

    const HWND firstTabStop = FirstTabStop(*FindRecord(handle));
    const LRESULT focusFirst =
        dialog.WindowProc(WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), 0);
    std::intptr_t result = -1;
    if (window && FindRecord(handle) != nullptr) {
        if (focusFirst) FocusControl(firstTabStop);
        if (FindRecord(handle)->parent == nullptr) CentreInWorkArea(*window);
        // A template without WS_VISIBLE is shown as its run begins, as the classic modal loop
        // does once it is idle: either way the user sees the dialog it runs.
        window->show();
        RunningDialogList().push_back(handle);
        result = window->RunModal();
        std::erase(RunningDialogList(), handle);
    }
    if (window) window->hide();
    dialog.DestroyWindow();
    return result;
}

}  // namespace

std::vector<HWND> RunningDialogs() {
    return RunningDialogList();
}

}  // namespace tsyqt

std::intptr_t CDialog::DoModal() {
    tsyqt::InstallStopListener();
    return tsyqt::RunDialog(*this);
}

void CDialog::EndDialog(int result) {
    const HWND handle = m_hWnd;
    tsyqt::RunOnGuiThread([handle, result]() -> LRESULT {
        HWND__* window = tsyqt::FindRecord(handle);
        if (window == nullptr) return 0;
        if (auto* dialog = dynamic_cast<tsyqt::DialogWindow*>(window->widget.data())) {
            dialog->EndModal(result);
        }
        return 0;
    });
}
