#include "about_dlg.h"

#include "../res/resource.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()

// No parent: the framework makes the main window the owner.
CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::DoDataExchange(CDataExchange* dx) { CDialog::DoDataExchange(dx); }
