#include "tray_status.h"

#include <cstring>

#include "../res/resource.h"
#include "../ui/monitor_dlg.h"
#include "worker_stop.h"

using namespace win;

namespace {
constexpr const char* kTipDown = "Tessaly - Net Down";
constexpr const char* kTipUp = "Tessaly - Net Up";
constexpr int kBurstBeeps = 36;
constexpr DWORD kBeepHertz = 10000;
constexpr DWORD kBeepMilliseconds = 10;
constexpr DWORD kBeepGapMilliseconds = 5;
}  // namespace

void CTrayStatus::TakeCopy(const CMonitorDlg& dlg) {
    m_record = dlg.m_nid;
    m_hIconDown = dlg.m_hIconDown;
    m_hIconUp = dlg.m_hIconUp;
}

void CTrayStatus::MakeDownTransition() { Show(m_hIconDown, kTipDown); }

void CTrayStatus::MakeUpTransition() {
    Show(m_hIconUp, kTipUp);
    Alert(MainMonitorDlg()->m_nAlertMode);
}

void CTrayStatus::Show(HICON icon, const char* tip) {
    m_record.hIcon = icon;
    std::strncpy(m_record.szTip, tip, sizeof(m_record.szTip) - 1);
    m_record.szTip[sizeof(m_record.szTip) - 1] = '\0';
    // A failed change is not noticed: the state is the copy's icon either way.
    Shell_NotifyIconA(NIM_MODIFY, &m_record);
}

void CTrayStatus::Alert(int alertMode) {
    switch (alertMode) {
        case IDC_BEEP:
            BeepBurst();
            break;
        case IDC_MESSAGE:
            ShowRestoredMessage();
            break;
        default:  // IDC_NONE, and any value a damaged store may hold
            break;
    }
}

void CTrayStatus::BeepBurst() {
    for (int beep = 0; beep < kBurstBeeps; ++beep) {
        Beep(kBeepHertz, kBeepMilliseconds);
        ThrowIfStopRequested();
        Sleep(kBeepGapMilliseconds);
        ThrowIfStopRequested();
    }
}

void CTrayStatus::ShowRestoredMessage() {
    CMonitorDlg* dlg = MainMonitorDlg();
    dlg->ShowWindow(SW_RESTORE);
    ThrowIfStopRequested();
    win::SetForegroundWindow(dlg->m_hWnd);
    ThrowIfStopRequested();
    dlg->MessageBox("Connection restored", "Dovrel's Tessaly", MB_ICONINFORMATION);
    ThrowIfStopRequested();
}
