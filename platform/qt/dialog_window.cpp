#include "dialog_window.h"

#include <QContextMenuEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QShortcut>

#include "afxwin.h"
#include "window_menu.h"
#include "window_record.h"

namespace tsyqt {

DialogWindow::DialogWindow(QWidget* owner, Qt::WindowFlags flags) : QDialog(owner, flags) {
    // Shortcuts come before the focused control, which might take Alt+Space as a key press.
    auto* menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    QObject::connect(menuKey, &QShortcut::activated, this, [this] { OpenMenuAtCaption(); });
    // A window manager usually turns Alt+F4 into a close request itself; without one, we do.
    auto* closeKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
    QObject::connect(closeKey, &QShortcut::activated, this,
                     [this] { Send(win::WM_SYSCOMMAND, win::SC_CLOSE, 0); });
}

int DialogWindow::RunModal() {
    if (m_ended) return m_result;
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    return m_result;
}

void DialogWindow::EndModal(int result) {
    if (m_ended) return;
    m_ended = true;
    m_result = result;
    if (m_loop) m_loop->exit();
}

void DialogWindow::Send(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    win::HWND__* record = FindRecord(m_handle);
    if (record != nullptr && record->object != nullptr) {
        record->object->WindowProc(message, wParam, lParam);
    }
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        Send(win::WM_COMMAND, win::MAKELONG(win::IDCANCEL, win::BN_CLICKED), 0);
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        Send(win::WM_COMMAND, ID_HELP, 0);
        return;
    }
    // Enter presses the focused push button, else the default one.
    QDialog::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The close box is a window-menu command; the dialog decides what closing means.
    event->ignore();
    Send(win::WM_SYSCOMMAND, win::SC_CLOSE, 0);
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse) {
        OpenWindowMenu(m_handle, event->globalPos());
    } else {
        OpenMenuAtCaption();
    }
}

void DialogWindow::OpenMenuAtCaption() {
    OpenWindowMenu(m_handle, mapToGlobal(QPoint(0, 0)));
}

void DialogWindow::paintEvent(QPaintEvent*) {
    win::HWND__* record = FindRecord(m_handle);
    if (record == nullptr || record->object == nullptr) return;
    record->inPaint = true;
    record->object->WindowProc(win::WM_PAINT, 0, 0);
    if (FindRecord(m_handle) == record) record->inPaint = false;
}

}  // namespace tsyqt
