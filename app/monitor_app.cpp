#include "monitor_app.h"

#include "../res/resource.h"
#include "../ui/monitor_dlg.h"

BEGIN_MESSAGE_MAP(CMonitorApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

// The one application object. Its constructor names no application, so the framework takes the
// program file's name: a renamed copy of the program keeps its settings apart.
CMonitorApp theApp;

win::BOOL CMonitorApp::InitInstance() {
    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED);
        return win::FALSE;
    }
    Enable3dControlsStatic();
    // Before the window object exists: its constructor reads the settings.
    SetRegistryKey(kRegistryCompany);

    CMonitorDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The window is gone: its destroy step has saved the settings. The program ends here.
    return win::FALSE;
}
