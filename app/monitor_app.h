// The application object: start-up and the end of the program.
#pragma once

#include "afxwin.h"

class CMonitorApp : public CWinApp {
public:
    CMonitorApp() = default;
    ~CMonitorApp() override = default;

    win::BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

// The name under "Software" where every Dovrel program keeps its settings.
inline constexpr const char* kRegistryCompany = "Dovrel";
