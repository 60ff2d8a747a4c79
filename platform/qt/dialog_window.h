// The Qt window of a template dialog. It turns Qt's events into the window messages the
// framework routes: Escape, the close box, F1, the window menu and painting.
#pragma once

#include <QDialog>
#include <QPointer>

#include "winapi.h"

class QEventLoop;

namespace tsyqt {

class DialogWindow : public QDialog {
  public:
    DialogWindow(QWidget* owner, Qt::WindowFlags flags);

    void SetHandle(win::HWND handle) { m_handle = handle; }

    // The modal run: returns the result given to EndModal. A dialog ended before its run does
    // not run at all.
    int RunModal();
    void EndModal(int result);
    bool Ended() const { return m_ended; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void Send(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
    void OpenMenuAtCaption();

    win::HWND m_handle = nullptr;
    // Not QDialog::exec: that loop ends whenever the dialog is hidden, and the main window
    // hides into the tray for as long as the user likes.
    QPointer<QEventLoop> m_loop;
    bool m_ended = false;
    int m_result = -1;
};

}  // namespace tsyqt
