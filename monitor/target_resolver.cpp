#include "target_resolver.h"

#include <cstring>

#include "../ui/monitor_dlg.h"
#include "tray_status.h"
#include "worker_stop.h"

using namespace win;

namespace {
constexpr const char* kCaptionTarget = "DovRel Tessaly -";
constexpr const char* kCaptionResolving = "DovRel Tessaly - Trying to Resolve Addr";
constexpr const char* kCaptionBadTarget = "DovRel Tessaly - Bad IP/Host";
constexpr const char* kCaptionPrefix = "DovRel's Tessaly : ";
constexpr const char* kCaptionNotReady = "DovRel's Tessaly:Network Not Ready";
// A failed lookup counts as more failures than the default threshold, so the icon stays red.
constexpr int kFailuresAfterBadTarget = 4;
}  // namespace

void CTargetResolver::ShowNotReady() { SetCaption(kCaptionNotReady); }

void CTargetResolver::SetCaption(const char* caption) {
    MainMonitorDlg()->SetWindowText(caption);
    ThrowIfStopRequested();
}

bool CTargetResolver::Resolve(CTrayStatus& tray, IPAddr& probeAddress, int& failures) {
    CMonitorDlg* dlg = MainMonitorDlg();
    // Clear, then copy: an edit that lands after the clear sets the flag again.
    dlg->m_bResolve = 0;
    const CString target = dlg->m_strAddress.Load();

    SetCaption(CString(kCaptionTarget) + target);
    probeAddress = inet_addr(target);
    if (probeAddress != INADDR_NONE) return true;

    if (tray.IsUp()) tray.MakeDownTransition();
    SetCaption(kCaptionResolving);
    const hostent* host = gethostbyname(target);
    ThrowIfStopRequested();
    const char* dotted = nullptr;
    if (host != nullptr && host->h_addr_list != nullptr && host->h_addr_list[0] != nullptr) {
        in_addr address{};
        std::memcpy(&address.s_addr, host->h_addr_list[0], sizeof(address.s_addr));
        probeAddress = address.s_addr;
        dotted = inet_ntoa(address);
    }
    if (dotted == nullptr) {
        SetCaption(kCaptionBadTarget);
        failures = kFailuresAfterBadTarget;
        probeAddress = 0;
        dlg->m_bResolve = 1;
        return false;
    }
    SetCaption(CString(kCaptionPrefix) + dotted);
    return true;
}
