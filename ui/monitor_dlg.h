// The main window: the target box, the alert choice, the tray icon and the monitor state that the
// window, the options dialog and the probe worker share.
#pragma once

#include <atomic>
#include <cstdint>

#include "afxwin.h"

class CMonitorDlg : public CDialog {
public:
    explicit CMonitorDlg(CWnd* parent = nullptr);
    ~CMonitorDlg() override = default;

    win::BOOL DestroyWindow() override;

    // ---- Monitor state, first part. Shared with the worker: every integer is atomic, and the
    // target text is swapped whole, so a copy is never torn.
    CSharedString m_strAddress;
    std::atomic<std::int32_t> m_nAlertMode{0};

    // ---- The window's own resources, all in place before the worker starts and unchanged after.
    win::HICON m_hIcon = nullptr;
    win::HINSTANCE m_hIcmpLib = nullptr;
    win::HICON m_hIconDown = nullptr;
    win::HICON m_hIconUp = nullptr;
    win::NOTIFYICONDATAA m_nid{};
    win::HANDLE m_hThread = nullptr;

    // ---- Monitor state, second part.
    std::atomic<std::int32_t> m_bResolve{1};
    std::atomic<std::int32_t> m_nStartTray{0};
    std::atomic<std::uint32_t> m_nSent{0};
    std::atomic<std::uint32_t> m_nReceived{0};
    std::atomic<std::int32_t> m_nRetries{0};

protected:
    void DoDataExchange(CDataExchange* dx) override;
    win::BOOL OnInitDialog() override;

    void OnSysCommand(win::UINT id, win::LPARAM lParam);
    void OnPaint();
    win::HICON OnQueryDragIcon();
    void OnChangeAddress();
    void OnHideMe();
    void OnHelpButton();
    void OnAlertBeep();
    void OnAlertMessage();
    void OnAlertNone();
    void OnStatOptions();
    win::LRESULT OnTrayNotify(win::WPARAM wParam, win::LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void AddAboutMenuEntry();
    void FillTrayRecord();
    void StopWorker();
    void SaveSettings();
    static void SetAlertMode(int mode);
};

// The main window of the running program, as the worker and the dialogs reach it.
CMonitorDlg* MainMonitorDlg();
