#include "monitor_dlg.h"

#include <cstring>

#include "../app/settings.h"
#include "../monitor/probe_worker.h"
#include "../res/resource.h"
#include "about_dlg.h"
#include "options_dlg.h"

using namespace win;

namespace {
constexpr const char* kTipDown = "Tessaly - Net Down";
constexpr const char* kEchoLibrary = "ICMP.DLL";
constexpr int kTrayIconSize = 16;
}  // namespace

CMonitorDlg* MainMonitorDlg() { return static_cast<CMonitorDlg*>(AfxGetApp()->m_pMainWnd); }

BEGIN_MESSAGE_MAP(CMonitorDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_EN_CHANGE(IDC_ADDRESS, OnChangeAddress)
ON_BN_CLICKED(IDC_HIDE, OnHideMe)
ON_BN_CLICKED(IDC_HELPBTN, OnHelpButton)
ON_BN_CLICKED(IDC_BEEP, OnAlertBeep)
ON_BN_CLICKED(IDC_MESSAGE, OnAlertMessage)
ON_BN_CLICKED(IDC_NONE, OnAlertNone)
ON_BN_CLICKED(IDC_OPTIONS, OnStatOptions)
ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
END_MESSAGE_MAP()

CMonitorDlg::CMonitorDlg(CWnd* parent) : CDialog(IDD_MONITOR_DIALOG, parent) {
    m_hIcon = LoadIconA(AfxGetInstanceHandle(), IDR_MAINFRAME);

    CWinApp* app = AfxGetApp();
    m_nAlertMode = app->GetProfileInt(kSection, kValueAlertRead, kDefaultAlertMode);
    m_strAddress = app->GetProfileString(kSection, kValueAddress, kDefaultTarget);
    m_nStartTray = app->GetProfileInt(kSection, kValueStartTray, kDefaultStartTray);
    m_nRetries = app->GetProfileInt(kSection, kValuePackets, kDefaultRetries);
}

void CMonitorDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_ADDRESS, m_strAddress);
}

BOOL CMonitorDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AddAboutMenuEntry();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // Both loads run before either is tested.
    m_hIconDown = static_cast<HICON>(LoadImageA(AfxGetInstanceHandle(), IDI_NET_DOWN, IMAGE_ICON,
                                                kTrayIconSize, kTrayIconSize, LR_DEFAULTCOLOR));
    m_hIconUp = static_cast<HICON>(LoadImageA(AfxGetInstanceHandle(), IDI_NET_UP, IMAGE_ICON,
                                              kTrayIconSize, kTrayIconSize, LR_DEFAULTCOLOR));
    if (m_hIconDown == nullptr || m_hIconUp == nullptr) {
        AfxMessageBox("Unable to laod Icons", MB_OK);
        return FALSE;
    }

    FillTrayRecord();
    Shell_NotifyIconA(NIM_ADD, &m_nid);

    m_hIcmpLib = LoadLibraryA(kEchoLibrary);
    if (m_hIcmpLib == nullptr) AfxMessageBox("Load Library Failed - Aborting ", MB_OK);

    // The worker starts whether or not the library loaded: without it, it ends the program.
    DWORD threadId = 0;
    m_hThread = CreateThread(nullptr, 0, MonitorThreadProc, nullptr, 0, &threadId);

    if (CWnd* radio = GetDlgItem(m_nAlertMode)) radio->SendMessage(BM_SETCHECK, BST_CHECKED, 0);
    return TRUE;
}

void CMonitorDlg::AddAboutMenuEntry() {
    CMenu* systemMenu = GetSystemMenu(FALSE);
    CString text;
    text.LoadString(IDS_ABOUTBOX);
    if (systemMenu == nullptr || text.IsEmpty()) return;
    systemMenu->AppendMenu(MF_SEPARATOR);
    systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, text);
}

void CMonitorDlg::FillTrayRecord() {
    m_nid.cbSize = sizeof(m_nid);
    m_nid.hWnd = m_hWnd;
    m_nid.uID = 0;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.hIcon = m_hIconDown;
    std::strncpy(m_nid.szTip, kTipDown, sizeof(m_nid.szTip) - 1);
}

BOOL CMonitorDlg::DestroyWindow() {
    // The worker acts on this window, the tray icon, the socket layer and the library: it must
    // be gone before any of them is released.
    StopWorker();

    WSACleanup();
    // The record is filled just before the icon is added, so an empty one means no icon.
    if (m_nid.cbSize != 0) Shell_NotifyIconA(NIM_DELETE, &m_nid);
    if (m_hIcmpLib != nullptr) FreeLibrary(m_hIcmpLib);
    SaveSettings();
    return CDialog::DestroyWindow();
}

void CMonitorDlg::StopWorker() {
    if (m_hThread == nullptr) return;
    AfxRequestStop();
    AfxWaitForThread(m_hThread);
}

void CMonitorDlg::SaveSettings() {
    CWinApp* app = AfxGetApp();
    app->WriteProfileString(kSection, kValueAddress, m_strAddress.Load());
    app->WriteProfileInt(kSectionForIntegerWrites, kValueAlertWrite, m_nAlertMode);
    app->WriteProfileInt(kSectionForIntegerWrites, kValueStartTray, m_nStartTray);
    app->WriteProfileInt(kSectionForIntegerWrites, kValuePackets, m_nRetries);
}

void CMonitorDlg::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialog::OnSysCommand(id, lParam);
    }
}

void CMonitorDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    dc.DrawIcon((rect.Width() - iconWidth + 1) / 2, (rect.Height() - iconHeight + 1) / 2, m_hIcon);
}

HICON CMonitorDlg::OnQueryDragIcon() { return m_hIcon; }

void CMonitorDlg::OnChangeAddress() {
    // The text first, then the flag: the worker clears the flag before it copies the text, so
    // no edit is lost.
    UpdateData(TRUE);
    m_bResolve = 1;
}

void CMonitorDlg::OnHideMe() { ShowWindow(SW_HIDE); }

void CMonitorDlg::OnHelpButton() {
    CAboutDlg about;
    about.DoModal();
}

void CMonitorDlg::SetAlertMode(int mode) { MainMonitorDlg()->m_nAlertMode = mode; }
void CMonitorDlg::OnAlertBeep() { SetAlertMode(IDC_BEEP); }
void CMonitorDlg::OnAlertMessage() { SetAlertMode(IDC_MESSAGE); }
void CMonitorDlg::OnAlertNone() { SetAlertMode(IDC_NONE); }

void CMonitorDlg::OnStatOptions() {
    COptionsDlg options(this);
    options.DoModal();
}

LRESULT CMonitorDlg::OnTrayNotify(WPARAM, LPARAM lParam) {
    switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDOWN:
            ShowWindow(SW_SHOW);
            win::SetForegroundWindow(m_hWnd);
            break;
        case WM_RBUTTONDOWN:
            ShowWindow(SW_HIDE);
            break;
        default:
            break;
    }
    return 0;
}
