// CWinApp: the one application object. The framework's entry point calls its
// InitInstance; when that returns FALSE (a dialog application whose dialog has
// ended) the program goes straight to ExitInstance and ends.
#pragma once

#include "String.h"

#include <windows.h>

class CWnd;

class CWinApp {
public:
    // lpszAppName: the program's name for message box captions; by default the
    // executable's file name without its extension.
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    CString m_strAppName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// A message box owned by the main window (when there is one), with the
// program's name as caption.
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// Registers (once) and returns a window class with DefWindowProcW for the
// given style, cursor, background and icon.
LPCWSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr,
                            HBRUSH hbrBackground = nullptr, HICON hIcon = nullptr);

// This layer hosts no ActiveX controls, so there is nothing to switch on; the
// call is kept so that start-up reads the same as in any other dialog program.
inline void AfxEnableControlContainer() {}

// The program's entry, called by wWinMain.
int AfxWinMain(HINSTANCE hInstance, int nCmdShow);
