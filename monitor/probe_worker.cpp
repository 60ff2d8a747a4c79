#include "probe_worker.h"

#include "../ui/monitor_dlg.h"
#include "target_resolver.h"
#include "worker_stop.h"

using namespace win;

namespace {
constexpr DWORD kStartPause = 100;
constexpr DWORD kPauseAfterFailure = 50;
constexpr DWORD kPauseAfterSuccess = 10000;
constexpr DWORD kEchoTimeout = 5000;
constexpr BYTE kEchoTimeToLive = 6;
constexpr WORD kSocketsVersion = 0x0101;
constexpr UINT kExitNoEchoLibrary = 4;
constexpr UINT kExitBadSocketsVersion = 0;
}  // namespace

DWORD TSY_WINAPI MonitorThreadProc(LPVOID) {
    CProbeWorker worker;
    return worker.Run();
}

DWORD CProbeWorker::Run() {
    try {
        if (!Start()) return 0;
        for (;;) Pass();
    } catch (const WorkerStopped&) {
        return 0;
    }
}

bool CProbeWorker::Start() {
    Sleep(kStartPause);
    ThrowIfStopRequested();
    CMonitorDlg* dlg = MainMonitorDlg();
    if (dlg->m_nStartTray == 1) {
        dlg->ShowWindow(SW_HIDE);
        ThrowIfStopRequested();
    }
    if (!ResolveEchoEntryPoints()) {
        ShowFatalMessage("Internal Error - Restart Program");
        WSACleanup();
        ExitProcess(kExitNoEchoLibrary);
    }

    m_hEcho = m_pfnCreate();
    if (m_hEcho == INVALID_HANDLE_VALUE) {
        // The window stays usable; only probing is over for this run.
        AfxMessageBox("Invalid handle value", MB_OK);
        return false;
    }
    StartSocketLayer();
    m_tray.TakeCopy(*dlg);
    return true;
}

bool CProbeWorker::ResolveEchoEntryPoints() {
    const HMODULE library = MainMonitorDlg()->m_hIcmpLib;
    if (library == nullptr) return false;
    m_pfnCreate = reinterpret_cast<PFN_IcmpCreateFile>(GetProcAddress(library, "IcmpCreateFile"));
    m_pfnClose = reinterpret_cast<PFN_IcmpCloseHandle>(GetProcAddress(library, "IcmpCloseHandle"));
    m_pfnSend = reinterpret_cast<PFN_IcmpSendEcho>(GetProcAddress(library, "IcmpSendEcho"));
    return m_pfnCreate != nullptr && m_pfnClose != nullptr && m_pfnSend != nullptr;
}

void CProbeWorker::StartSocketLayer() {
    WSADATA data{};
    switch (WSAStartup(kSocketsVersion, &data)) {
        case WSAEINVAL:
        case WSAVERNOTSUPPORTED:
            WSACleanup();
            ShowFatalMessage("Improper Socket Version- Unable to Run");
            ExitProcess(kExitBadSocketsVersion);
        case WSASYSNOTREADY:
            CTargetResolver::ShowNotReady();
            break;
        default:
            break;
    }
}

void CProbeWorker::ShowFatalMessage(const char* message) {
    AfxMessageBox(message, MB_ICONHAND);
    // A stop while the box was open means the window is closing: leave the end to it.
    ThrowIfStopRequested();
}

void CProbeWorker::Pass() {
    Sleep(m_nPause);
    ThrowIfStopRequested();
    CMonitorDlg* dlg = MainMonitorDlg();
    dlg->m_nSent = ++m_nCycles;
    m_nPause = kPauseAfterFailure;

    if (dlg->m_nRetries < m_nFailures && m_tray.IsUp()) m_tray.MakeDownTransition();
    if (dlg->m_bResolve == 1 &&
        !CTargetResolver::Resolve(m_tray, m_probeAddress, m_nFailures)) {
        return;
    }
    if (!ProbeTarget()) {
        ++m_nFailures;
        return;
    }
    m_nFailures = 0;
    m_nPause = kPauseAfterSuccess;
    dlg->m_nReceived = ++m_nSuccesses;
    if (m_tray.IsDown()) m_tray.MakeUpTransition();
}

bool CProbeWorker::ProbeTarget() {
    IP_OPTION_INFORMATION options{};
    options.Ttl = kEchoTimeToLive;
    ICMP_ECHO_REPLY reply{};
    const DWORD replies = m_pfnSend(m_hEcho, m_probeAddress, nullptr, 0, &options, &reply,
                                    sizeof(reply), kEchoTimeout);
    ThrowIfStopRequested();
    if (replies == 0) return false;
    const hostent* host =
        gethostbyaddr(reinterpret_cast<const char*>(&reply.Address), sizeof(reply.Address), AF_INET);
    ThrowIfStopRequested();
    return host != nullptr;
}
