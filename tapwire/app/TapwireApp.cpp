#include "TapwireApp.h"

#include "InstallLocation.h"
#include "TapwireDlg.h"
#include "Utf16.h"

CTapwireApp theApp;

namespace {
const wchar_t kMutexName[] = L"TapwireMutex";
const wchar_t kMainWindowCaption[] = L"Tapwire_V2.5.9 JP";
const wchar_t kInstallKey[] = L"SOFTWARE\\TAPWIRE";
const wchar_t kInstallPathValue[] = L"InstallPath";

// The folder from HKCU\SOFTWARE\TAPWIRE "InstallPath"; the key is created when
// missing. Empty when the value is missing, unreadable or too long.
CString ReadInstallDir()
{
    CString strDir;
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kInstallKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return strDir;
    BYTE data[tapwire::kInstallPathBufferBytes] = {};
    DWORD cbData = sizeof(data);
    if (::RegQueryValueExW(hKey, kInstallPathValue, nullptr, nullptr, data, &cbData) == ERROR_SUCCESS)
        strDir = ToCString(tapwire::InstallDirFromRegistryData(data, cbData));
    ::RegCloseKey(hKey);
    return strDir;
}
} // namespace

CTapwireApp::CTapwireApp()
    : CWinApp(L"Tapwire")
{
}

BOOL CTapwireApp::InitInstance()
{
    // The mutex lives in the logon session's namespace; its handle is kept until
    // exit, which is what ends it. A failure to create it is not fatal.
    m_hMutex = ::CreateMutexW(nullptr, TRUE, kMutexName);
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        // Bring the running copy's window back (also from the tray) and leave.
        if (HWND hWnd = ::FindWindowW(nullptr, kMainWindowCaption))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        return FALSE;
    }

    g_strInstallDir = ReadInstallDir();

    AfxEnableControlContainer();

    CTapwireDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int CTapwireApp::ExitInstance()
{
    if (m_hMutex) {
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    return CWinApp::ExitInstance();
}
