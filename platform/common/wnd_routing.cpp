// The portable half of windows and dialogs: message routing, data exchange and the dialog's
// standard commands. The window system half is in each back end.
#include "afxwin.h"

using namespace win;

CWnd::~CWnd() = default;

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const CurrentMessage outer = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    m_current = outer;
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
        // Filling controls from members must not look like the user editing them.
        if (lParam != 0 && InDataExchange()) {
            *result = 0;
            return TRUE;
        }
    }
    if (const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, code, id)) {
        *result = entry->pfn(this, wParam, lParam);
        return TRUE;
    }
    // Commands no window handles go to the application (the help command).
    if (message == WM_COMMAND && code == 0 && lParam == 0 && AfxGetApp() != nullptr &&
        AfxGetApp()->OnCmdMsg(id)) {
        *result = 0;
        return TRUE;
    }
    return FALSE;
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnPaint() { Default(); }

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    ++m_nDataExchangeDepth;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    --m_nDataExchangeDepth;
    return TRUE;
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    CWnd* control = dx->m_pDlgWnd->GetDlgItem(id);
    if (control == nullptr) return;
    if (dx->m_bSaveAndValidate) {
        value = control->GetWindowText();
    } else {
        control->SetWindowText(value);
    }
}

void DDX_Text(CDataExchange* dx, int id, CSharedString& value) {
    CString text = value.Load();
    DDX_Text(dx, id, text);
    if (dx->m_bSaveAndValidate) value.Store(text);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd != nullptr) return;
    if (CWnd* item = dx->m_pDlgWnd->GetDlgItem(id)) control.Attach(item->m_hWnd);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_BN_CLICKED(IDOK, OnOK)
ON_BN_CLICKED(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
