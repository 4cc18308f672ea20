// The tray icon, hiding the window, and the painting of the status lamp.
#include "TapwireDlg.h"

#include "Messages.h"

namespace {

constexpr UINT kTrayCloseCommand = IDCANCEL;   // the dialog's cancel command: closes the program

// Draws bitmap nIDBitmap into control nIDControl with white keyed out:
// stretched to the control, or at its own size.
void DrawBitmapInto(CWnd* pDialog, int nIDControl, UINT nIDBitmap, bool bStretch)
{
    CWnd* pControl = pDialog->GetDlgItem(nIDControl);
    if (!pControl)
        return;
    // The picture control paints its own background after the dialog has
    // painted, over whatever was drawn into it: let it paint first, so that
    // the bitmap goes on top.
    pControl->UpdateWindow();
    RECT rcClient;
    pControl->GetClientRect(&rcClient);
    CClientDC dc(pControl);
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(nIDBitmap))
        return;
    BITMAP info = {};
    bitmap.GetBitmap(&info);
    CDC memDC;
    if (!memDC.CreateCompatibleDC(&dc))
        return;
    CGdiObject* pOld = memDC.SelectObject(&bitmap);
    const int nWidth = bStretch ? rcClient.right - rcClient.left : info.bmWidth;
    const int nHeight = bStretch ? rcClient.bottom - rcClient.top : info.bmHeight;
    dc.TransparentBlt(0, 0, nWidth, nHeight, &memDC, 0, 0, info.bmWidth, info.bmHeight, RGB(255, 255, 255));
    memDC.SelectObject(pOld);
}

} // namespace

void CTapwireDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX)
        ShowAboutBox();
    else
        CDialog::OnSysCommand(nID, lParam);
    // Minimised, the window goes to the notification area, taskbar button included.
    if (nID == SC_MINIMIZE) {
        ::Shell_NotifyIconW(NIM_ADD, &m_nid);
        ShowWindow(SW_HIDE);
    }
}

LRESULT CTapwireDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    // The notification area sends its clicks: one may come while the port
    // waits for its thread, and its menu would run a message loop there.
    if (PutOffWhileThePortWaits(WM_TRAYNOTIFY, wParam, lParam))
        return 0;
    switch (lParam) {
    case WM_LBUTTONDOWN:
        ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
        SetForegroundWindow();
        ShowWindow(SW_SHOWNORMAL);
        break;
    case WM_RBUTTONDOWN: {
        POINT pt = {};
        ::GetCursorPos(&pt);
        CMenu menu;
        if (menu.CreatePopupMenu()) {
            menu.AppendMenu(MF_STRING, kTrayCloseCommand, L"閉じる");
            // A choice arrives afterwards as WM_COMMAND 2, which closes the program.
            menu.TrackPopupMenu(0, pt.x, pt.y, this);
        }
        ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
        break;
    }
    default:
        break;
    }
    return 0;
}

void CTapwireDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kPutOffTimer)
        HandlePutOffNotifications();
    if (nIDEvent == kScanEndTimer)
        OnScanEndTimer();
    if (nIDEvent == kHideToTrayTimer) {
        ::Shell_NotifyIconW(NIM_ADD, &m_nid);
        ShowWindow(SW_HIDE);
        KillTimer(kHideToTrayTimer);
    }
    CDialog::OnTimer(nIDEvent);
}

HCURSOR CTapwireDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CTapwireDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        RECT rc;
        GetClientRect(&rc);
        const int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
        return;
    }
    CPaintDC dc(this);
    DrawLogo();
    if (m_bPortOpen == TRUE)
        DrawStatusLamp(m_bTypingWarning ? 2 : 1);
    else if (m_bPortOpen == FALSE)
        DrawStatusLamp(0);
    CDialog::OnPaint();
}

void CTapwireDlg::DrawStatusLamp(int nState)
{
    if (nState == 1)
        DrawBitmapInto(this, IDC_STATUS_LAMP, IDB_LAMP_GREEN, true);
    else if (nState == 0)
        DrawBitmapInto(this, IDC_STATUS_LAMP, IDB_LAMP_GREY, true);
    else if (nState == 2)   // started, and a scan could not be typed
        DrawBitmapInto(this, IDC_STATUS_LAMP, IDB_LAMP_AMBER, true);
}

void CTapwireDlg::DrawLogo()
{
    DrawBitmapInto(this, IDC_LOGO, IDB_LOGO, false);
}
