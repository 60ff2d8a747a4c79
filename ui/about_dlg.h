// The about box: the product, its notice and what to check when the icon stays red.
#pragma once

#include "afxwin.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override = default;

protected:
    void DoDataExchange(CDataExchange* dx) override;

    DECLARE_MESSAGE_MAP()
};
