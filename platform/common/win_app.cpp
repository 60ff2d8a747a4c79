// The portable half of the application object. The settings store and the message box belong to
// each back end.
#include "afx_startup.h"
#include "afxwin.h"

using namespace win;

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char* appName) : m_strAppName(appName) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }

BOOL CWinApp::OnCmdMsg(UINT id) {
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, 0, id);
    if (entry == nullptr) return FALSE;
    entry->pfn(this, 0, 0);
    return TRUE;
}

void CWinApp::SetRegistryKey(const char* company) { m_strRegistryKey = company; }

int AfxMessageBox(UINT stringId, UINT type, UINT helpId) {
    CString text;
    text.LoadString(stringId);
    return AfxMessageBox(text, type, helpId);
}

BOOL AfxSocketInit(WSADATA* data) {
    WSADATA local{};
    if (data == nullptr) data = &local;
    if (WSAStartup(0x0101, data) != 0) return FALSE;
    if ((data->wVersion & 0xFF) != 1 || (data->wVersion >> 8) != 1) {
        WSACleanup();
        return FALSE;
    }
    return TRUE;
}

std::string AfxApplicationNameFromPath(const std::string& programPath) {
    const std::size_t slash = programPath.find_last_of("/\\");
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0) name.erase(dot);
    return name;
}

int AfxRunApplication(const std::string& programPath) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    if (app->m_strAppName.IsEmpty()) app->m_strAppName = CString(AfxApplicationNameFromPath(programPath));
    // Like the framework this models: a false InitInstance means the run is over.
    if (app->InitInstance()) {
        // No main loop of its own: every window here is modal.
    }
    return app->ExitInstance();
}
