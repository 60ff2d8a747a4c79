// The tray icon as the worker sees it: a private copy of the window's icon record, whose icon is
// the state (red: down, green: up), and the alert given when the connection returns.
#pragma once

#include "winapi.h"

class CMonitorDlg;

class CTrayStatus {
public:
    // Copies the window's record and its two icons; the copy starts as the window made it: down.
    void TakeCopy(const CMonitorDlg& dlg);

    bool IsUp() const { return m_record.hIcon == m_hIconUp; }
    bool IsDown() const { return m_record.hIcon == m_hIconDown; }

    void MakeDownTransition();
    // Switches to green, then alerts as the window's alert mode says, on this thread.
    void MakeUpTransition();

private:
    void Show(win::HICON icon, const char* tip);
    static void Alert(int alertMode);
    static void BeepBurst();
    static void ShowRestoredMessage();

    win::NOTIFYICONDATAA m_record{};
    win::HICON m_hIconDown = nullptr;
    win::HICON m_hIconUp = nullptr;
};
