// The up-down control ("msctls_updown32"): a pair of arrows that step a position within a range
// and keep it in a buddy edit box as decimal text.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include "winapi.h"

class QToolButton;

namespace tsyqt {

class UpDownControl : public QWidget {
  public:
    UpDownControl(win::DWORD style, QWidget* parent);

    // Attaches the buddy; with UDS_ALIGNRIGHT the control takes the buddy's right end.
    void SetBuddy(QLineEdit* buddy);
    QLineEdit* Buddy() const { return m_buddy; }

    // The window messages, with their Windows meaning.
    win::LRESULT SetRange(win::LPARAM range);        // UDM_SETRANGE: upper in the low word
    win::LRESULT SetPosition(win::LPARAM position);  // UDM_SETPOS: returns the old position
    win::LRESULT GetPosition();                      // UDM_GETPOS: high word set on a bad buddy

    // One arrow step: +1 toward the upper limit, -1 toward the lower; stops at the limits.
    void Step(int direction);

    QToolButton* UpArrow() const { return m_up; }
    QToolButton* DownArrow() const { return m_down; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int Clamp(int value) const;
    // The buddy's text as a position in range, if it is one.
    bool ReadBuddy(int* position) const;
    void WriteBuddy();

    win::DWORD m_style;
    // Windows' defaults: the upper limit below the lower one, so the up arrow counts down.
    int m_lower = 100;
    int m_upper = 0;
    int m_position = 0;
    QPointer<QLineEdit> m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
};

}  // namespace tsyqt
