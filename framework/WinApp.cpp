#include "WinApp.h"

#include "Wnd.h"

#include <set>
#include <string>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(LPCWSTR lpszAppName)
{
    g_pApp = this;
    if (lpszAppName)
        m_strAppName = lpszAppName;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return FALSE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWnd* AfxGetMainWnd()
{
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT)
{
    CWnd* pMainWnd = AfxGetMainWnd();
    HWND hOwner = pMainWnd ? pMainWnd->m_hWnd : nullptr;
    LPCWSTR lpszCaption = g_pApp ? g_pApp->m_strAppName.GetString() : L"";
    return ::MessageBoxW(hOwner, lpszText, lpszCaption, nType);
}

LPCWSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    CString strName;
    strName.Format(L"Afx:%p:%x:%p:%p:%p", hInstance, nClassStyle, hCursor, hbrBackground, hIcon);

    // The names live as long as the process, so the returned pointer stays valid.
    static std::set<std::wstring> s_registered;
    auto [it, bNew] = s_registered.insert(std::wstring(strName.GetString()));
    if (bNew) {
        WNDCLASSW wc = {};
        wc.style = nClassStyle;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = hInstance;
        wc.hIcon = hIcon;
        wc.hCursor = hCursor;
        wc.hbrBackground = hbrBackground;
        wc.lpszClassName = it->c_str();
        if (!::RegisterClassW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            s_registered.erase(it);
            return nullptr;
        }
    }
    return it->c_str();
}

int AfxWinMain(HINSTANCE hInstance, int)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    if (pApp->m_strAppName.IsEmpty()) {
        wchar_t szPath[MAX_PATH] = {};
        // A path that fills the buffer comes back without a terminator on
        // older systems: take only the length reported.
        const DWORD nLength = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
        CString strPath(szPath, static_cast<int>(nLength < MAX_PATH ? nLength : MAX_PATH));
        CString strName = strPath.Mid(strPath.ReverseFind(L'\\') + 1);
        const int nDot = strName.ReverseFind(L'.');
        pApp->m_strAppName = nDot > 0 ? strName.Left(nDot) : strName;
    }
    // No application message loop: a dialog program's InitInstance runs its
    // dialog modally and returns FALSE.
    pApp->InitInstance();
    return pApp->ExitInstance();
}

extern "C" int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nCmdShow)
{
    return AfxWinMain(hInstance, nCmdShow);
}
