// The options and statistics dialog: a snapshot of the worker's counts, the failure threshold
// and the start-in-tray flag.
#pragma once

#include <cstdint>

#include "afxwin.h"

class CMonitorDlg;

class COptionsDlg : public CDialog {
public:
    explicit COptionsDlg(CWnd* parent);
    ~COptionsDlg() override = default;

    CSpinButtonCtrl m_spinRetries;
    CString m_strSent;
    CString m_strReceived;
    CString m_strPercent;

    // The texts the dialog shows for a pair of counts.
    struct Snapshot {
        CString sent, received, percent;
    };
    static Snapshot TakeSnapshot(std::uint32_t sent, std::uint32_t received);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    win::BOOL OnInitDialog() override;
    void OnOK() override;

    DECLARE_MESSAGE_MAP()

private:
    // The main window, looked up anew through the owner window at every use.
    CMonitorDlg* Owner() const;
};
