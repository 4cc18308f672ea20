// The application object: single instance per logon session, the installation
// folder, and the main dialog run modally for the life of the process.
#pragma once

#include "Afx.h"

class CTapwireApp : public CWinApp {
public:
    CTapwireApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    HANDLE m_hMutex = nullptr;
};

// The installation folder without a trailing backslash; empty when unknown.
// Filled from the registry at start-up, else from the executable's path.
extern CString g_strInstallDir;
