// CWnd: a window object bound to one HWND. The framework keeps a map from
// handles to the objects that own them ("permanent" objects); FromHandle hands
// out a small wrapper for windows nobody owns (controls reached by id).
#pragma once

#include "MessageMap.h"
#include "String.h"

#include <windows.h>

class CDataExchange;
class CMenu;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object that owns the handle, or a wrapper that lives as long as the
    // process (one per handle, reused), or nullptr for a null handle.
    static CWnd* FromHandle(HWND hWnd);
    // The owning object only; nullptr for windows no CWnd owns.
    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Takes over an existing window: Attach, the framework's window procedure
    // in front of the window's own, then PreSubclassWindow.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    virtual void PreSubclassWindow() {}

    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName,
                  DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                  HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();

    // Messages
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default processing of the message being handled right now.
    LRESULT Default();

    // Data exchange with the controls
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Window state and texts
    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCWSTR lpszString);
    int GetDlgItemText(int nID, CString& rString) const;
    void SetWindowText(LPCWSTR lpszString);
    void GetWindowText(CString& rString) const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsIconic() const;
    DWORD GetStyle() const;
    CWnd* GetParent() const;
    BOOL SetForegroundWindow();
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    // Returns the window that had the capture before, or nullptr.
    CWnd* SetCapture();
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    void UpdateWindow();
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    int MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nType = MB_OK);

    // Menus
    CMenu* GetMenu() const;
    BOOL SetMenu(CMenu* pMenu);
    CMenu* GetSystemMenu(BOOL bRevert) const;
    void DrawMenuBar();

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    virtual void PostNcDestroy() {}

    // Handlers whose default is the window's own processing.
    void OnPaint() { Default(); }
    void OnDestroy() { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    void OnTimer(UINT_PTR) { Default(); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnLButtonDown(UINT, CPoint) { Default(); }

    // Searches the message maps for a WM_COMMAND entry of this code and id.
    BOOL OnCmdMsg(UINT nID, UINT nCode);

    // The window procedure replaced by SubclassWindow, or nullptr.
    WNDPROC m_pfnSuper = nullptr;

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    void OnNcDestroyed();
    static BOOL DispatchEntry(CWnd* pWnd, const AFX_MSGMAP_ENTRY* pEntry,
                              WPARAM wParam, LPARAM lParam, LRESULT* pResult);
};

// The framework's window procedure, installed by SubclassWindow.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs PreTranslateMessage of every framework window from the message's target
// up to its top-level window; TRUE when one of them took the message.
BOOL AfxPreTranslateMessage(MSG* pMsg);
