#include "Wnd.h"

#include "DataExchange.h"
#include "Menu.h"
#include "WinApp.h"

#include <map>
#include <memory>

namespace {

// Window objects belong to the interface thread; the maps are touched only there.
std::map<HWND, CWnd*>& PermanentMap()
{
    static std::map<HWND, CWnd*> s_map;
    return s_map;
}

std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap()
{
    static std::map<HWND, std::unique_ptr<CWnd>> s_map;
    return s_map;
}

// The message that AfxWndProc is dispatching, for Default().
thread_local MSG t_currentMsg = {};

} // namespace

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        DestroyWindow();
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    auto& map = PermanentMap();
    auto it = map.find(hWnd);
    return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    // A wrapper holds nothing but the handle, so one per handle can be reused for
    // as long as the process runs; the number of distinct controls is small.
    auto& slot = TemporaryMap()[hWnd];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hWnd;
    }
    return slot.get();
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd))
        return FALSE;
    m_hWnd = hWnd;
    PermanentMap()[hWnd] = this;
    TemporaryMap().erase(hWnd);
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd) {
        auto& map = PermanentMap();
        auto it = map.find(hWnd);
        if (it != map.end() && it->second == this)
            map.erase(it);
    }
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    // A procedure that PreSubclassWindow installs on the window itself comes in
    // front of the framework's and sees each message before the message map.
    PreSubclassWindow();
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hControl = pParent ? ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)) : nullptr;
    return hControl ? SubclassWindow(hControl) : FALSE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName,
                    DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                    HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam)
{
    if (m_hWnd)
        return FALSE;
    HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClassName, lpszWindowName, dwStyle,
                                  x, y, nWidth, nHeight, hWndParent, nIDorHMenu,
                                  ::GetModuleHandleW(nullptr), lpParam);
    if (!hWnd)
        return FALSE;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    HWND hWnd = m_hWnd;
    const BOOL bResult = ::DestroyWindow(hWnd);
    // A window of our procedure is detached in WM_NCDESTROY; one that is not
    // (a wrapper) is let go here.
    if (m_hWnd == hWnd && !::IsWindow(hWnd))
        Detach();
    return bResult;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

BOOL CWnd::DispatchEntry(CWnd* pWnd, const AFX_MSGMAP_ENTRY* pEntry,
                         WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const AfxHandler& h = pEntry->handler;
    *pResult = 0;
    switch (pEntry->nSig) {
    case AfxSig_vv:
        (pWnd->*h.pfn_vv)();
        return TRUE;
    case AfxSig_vwl:
        (pWnd->*h.pfn_vwl)(static_cast<UINT>(wParam), lParam);
        return TRUE;
    case AfxSig_hv:
        *pResult = reinterpret_cast<LRESULT>((pWnd->*h.pfn_hv)());
        return TRUE;
    case AfxSig_lwl:
        *pResult = (pWnd->*h.pfn_lwl)(wParam, lParam);
        return TRUE;
    case AfxSig_vup:
        (pWnd->*h.pfn_vup)(static_cast<UINT_PTR>(wParam));
        return TRUE;
    case AfxSig_vwp:
        // Signed: left of or above the client area (with the capture) is negative.
        (pWnd->*h.pfn_vwp)(static_cast<UINT>(wParam),
                           CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))));
        return TRUE;
    case AfxSig_end:
        break;
    }
    return FALSE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 1;
        return TRUE;
    }
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry) {
            if (pEntry->nMessage == message)
                return DispatchEntry(this, pEntry, wParam, lParam, pResult);
        }
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // Without a control it is a command (menu or accelerator), whatever the code.
    const UINT nCode = lParam ? HIWORD(wParam) : 0;
    return OnCmdMsg(LOWORD(wParam), nCode);
}

BOOL CWnd::OnCmdMsg(UINT nID, UINT nCode)
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry) {
            if (pEntry->nMessage == WM_COMMAND && pEntry->nID == nID && pEntry->nCode == nCode) {
                LRESULT lIgnored = 0;
                return DispatchEntry(this, pEntry, 0, 0, &lIgnored);
            }
        }
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(t_currentMsg.message, t_currentMsg.wParam, t_currentMsg.lParam);
}

void CWnd::OnNcDestroyed()
{
    HWND hWnd = m_hWnd;
    if (m_pfnSuper &&
        ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AfxWndProc))
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Detach();
    PostNcDestroy();
}

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY s_entries[] = { { 0, 0, 0, AfxSig_end, {} } };
    static const AFX_MSGMAP s_map = { nullptr, &s_entries[0] };
    return &s_map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

void CWnd::SetDlgItemText(int nID, LPCWSTR lpszString)
{
    ::SetDlgItemTextW(m_hWnd, nID, lpszString);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const
{
    rString.Empty();
    HWND hItem = ::GetDlgItem(m_hWnd, nID);
    if (!hItem)
        return 0;
    FromHandle(hItem)->GetWindowText(rString);
    return rString.GetLength();
}

void CWnd::SetWindowText(LPCWSTR lpszString)
{
    ::SetWindowTextW(m_hWnd, lpszString);
}

void CWnd::GetWindowText(CString& rString) const
{
    const int nLength = ::GetWindowTextLengthW(m_hWnd);
    ::GetWindowTextW(m_hWnd, rString.GetBuffer(nLength + 1), nLength + 1);
    rString.ReleaseBuffer();
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsWindowVisible() const
{
    return ::IsWindowVisible(m_hWnd);
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowEnabled() const
{
    return ::IsWindowEnabled(m_hWnd);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

DWORD CWnd::GetStyle() const
{
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
}

CWnd* CWnd::GetParent() const
{
    return FromHandle(::GetParent(m_hWnd));
}

BOOL CWnd::SetForegroundWindow()
{
    return ::SetForegroundWindow(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::GetWindowRect(LPRECT lpRect) const
{
    ::GetWindowRect(m_hWnd, lpRect);
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const
{
    ::ClientToScreen(m_hWnd, lpPoint);
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->left));
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->right));
}

CWnd* CWnd::SetCapture()
{
    return FromHandle(::SetCapture(m_hWnd));
}

void CWnd::Invalidate(BOOL bErase)
{
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase)
{
    ::InvalidateRect(m_hWnd, lpRect, bErase);
}

void CWnd::UpdateWindow()
{
    ::UpdateWindow(m_hWnd);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                  reinterpret_cast<LPARAM>(hIcon)));
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    return ::KillTimer(m_hWnd, nIDEvent);
}

int CWnd::MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType)
{
    // As in MFC, the program's name is the caption unless one is given.
    CWinApp* pApp = AfxGetApp();
    if (!lpszCaption)
        lpszCaption = pApp ? pApp->m_strAppName.GetString() : L"";
    return ::MessageBoxW(m_hWnd, lpszText, lpszCaption, nType);
}

CMenu* CWnd::GetMenu() const
{
    return CMenu::FromHandle(::GetMenu(m_hWnd));
}

BOOL CWnd::SetMenu(CMenu* pMenu)
{
    return ::SetMenu(m_hWnd, pMenu ? pMenu->m_hMenu : nullptr);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

void CWnd::DrawMenuBar()
{
    ::DrawMenuBar(m_hWnd);
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);

    const MSG saved = t_currentMsg;
    t_currentMsg.hwnd = hWnd;
    t_currentMsg.message = message;
    t_currentMsg.wParam = wParam;
    t_currentMsg.lParam = lParam;
    LRESULT lResult;
    if (message == WM_NCDESTROY) {
        lResult = pWnd->Default();
        pWnd->OnNcDestroyed();
    } else {
        lResult = pWnd->WindowProc(message, wParam, lParam);
    }
    t_currentMsg = saved;
    return lResult;
}

BOOL AfxPreTranslateMessage(MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd;) {
        if (CWnd* pWnd = CWnd::FromHandlePermanent(hWnd)) {
            if (pWnd->PreTranslateMessage(pMsg))
                return TRUE;
        }
        // Stop at the top-level window: an owned dialog's owner is not its parent.
        if (!(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD))
            break;
        hWnd = ::GetParent(hWnd);
    }
    return FALSE;
}
