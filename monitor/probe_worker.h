// The probe worker: the program's second thread. Once a pass it sends one echo request to the
// target and counts a success when a reply came back and its sender has a reverse name.
#pragma once

#include "tray_status.h"
#include "winapi.h"

// The thread function. Its argument is unused; it returns only when no echo handle could be made,
// or when the window asked it to stop.
win::DWORD TSY_WINAPI MonitorThreadProc(win::LPVOID parameter);

class CProbeWorker {
public:
    // Start steps and the loop; returns the thread result.
    win::DWORD Run();

private:
    bool Start();
    bool ResolveEchoEntryPoints();
    void StartSocketLayer();
    static void ShowFatalMessage(const char* message);
    void Pass();
    bool ProbeTarget();

    win::PFN_IcmpCreateFile m_pfnCreate = nullptr;
    win::PFN_IcmpCloseHandle m_pfnClose = nullptr;
    win::PFN_IcmpSendEcho m_pfnSend = nullptr;
    win::HANDLE m_hEcho = nullptr;

    int m_nFailures = 0;  // signed: compared with a threshold that a hand-edited store may make negative
    win::IPAddr m_probeAddress = 0;
    win::DWORD m_nPause = 0;
    win::DWORD m_nCycles = 0;
    win::DWORD m_nSuccesses = 0;
    CTrayStatus m_tray;
};
