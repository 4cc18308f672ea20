#include "TTComboBox.h"

#include <commctrl.h>

#include <cstddef>

namespace {

constexpr UINT_PTR kHintTimerId = 1;
constexpr UINT kHintDisplayMs = 9000;
constexpr int kHintMargin = 2;   // pixels around the measured text

// SPI_GETNONCLIENTMETRICS accepts the structure without iPaddedBorderWidth on
// every system, the full one only from Vista on. Same size in both builds.
constexpr UINT kNonClientMetricsSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
static_assert(kNonClientMetricsSize == 500, "NONCLIENTMETRICSW without iPaddedBorderWidth");

// Signed: with the capture, a point left of or above the window is negative.
POINT PointFromLParam(LPARAM lParam)
{
    return { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
}

} // namespace

// The maps are defined before the hint window, so that at exit the window
// (should it still exist) goes while its procedure can still find its way on.
CMap<HWND, HWND, WNDPROC, WNDPROC> CTTComboBox::s_mapOldWndProc;
CMap<HWND, HWND, CTTComboBox*, CTTComboBox*&> CTTComboBox::s_mapOwner;
CFont CTTComboBox::s_fontHint;
CWnd CTTComboBox::s_wndHint;
int CTTComboBox::s_bTracking = 0;
int CTTComboBox::s_nLastListItem = -1;

CTTComboBox::HintFactory CTTComboBox::s_hintFactory = {
    &CTTComboBox::CreateStatusBarFont,
    &CTTComboBox::CreateHintWindow,
};

BEGIN_MESSAGE_MAP(CTTComboBox, CComboBox)
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_MESSAGE(WM_MOUSEHOVER, OnMouseHover)
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
END_MESSAGE_MAP()

CTTComboBox::CTTComboBox()
    : m_rcButton{}, m_cbi{}
{
    // Without its font there is nothing to show: the control stays a plain combo box.
    if (!s_fontHint.GetSafeHandle() && !s_hintFactory.pfnCreateFont(s_fontHint))
        return;
    // The first control is made with its dialog object, before any window of
    // the dialog exists; the hint window is there, hidden, from then on.
    if (::IsWindow(s_wndHint.GetSafeHwnd()) || !s_hintFactory.pfnCreateWindow(s_wndHint))
        return;
    const LONG_PTR lOld = ::SetWindowLongPtrW(s_wndHint, GWLP_WNDPROC,
                                              reinterpret_cast<LONG_PTR>(&HintWndProc));
    if (lOld)
        s_mapOldWndProc[s_wndHint.m_hWnd] = reinterpret_cast<WNDPROC>(lOld);
    else
        s_wndHint.DestroyWindow();
}

CTTComboBox::~CTTComboBox()
{
    ForgetParts();
    // A tracking request made for one of our windows ends without a
    // WM_MOUSELEAVE when the window goes, and the flag would then hold back
    // every later request; the last entry may be of a list that is gone too.
    s_bTracking = 0;
    s_nLastListItem = -1;

    WNDPROC pfnIgnored = nullptr;
    if (s_mapOldWndProc.GetCount() == 1 && s_wndHint.m_hWnd &&
        s_mapOldWndProc.Lookup(s_wndHint.m_hWnd, pfnIgnored)) {
        s_wndHint.DestroyWindow();
        s_mapOldWndProc.RemoveAll();
        s_mapOwner.RemoveAll();
    }
}

BOOL CTTComboBox::CreateStatusBarFont(CFont& font)
{
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = kNonClientMetricsSize;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &ncm, 0))
        return FALSE;
    return font.CreateFontIndirect(&ncm.lfStatusFont);
}

BOOL CTTComboBox::CreateHintWindow(CWnd& wnd)
{
    LPCWSTR lpszClass = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW));
    return lpszClass && wnd.CreateEx(WS_EX_TOOLWINDOW, lpszClass, nullptr, WS_POPUP,
                                     0, 0, 0, 0, nullptr, nullptr);
}

BOOL CTTComboBox::HasHint()
{
    return s_fontHint.GetSafeHandle() && ::IsWindow(s_wndHint.GetSafeHwnd());
}

void CTTComboBox::HideHint()
{
    if (::IsWindow(s_wndHint.GetSafeHwnd()))
        s_wndHint.ShowWindow(SW_HIDE);
}

void CTTComboBox::PreSubclassWindow()
{
    CComboBox::PreSubclassWindow();
    ForgetParts();   // of a window this object had before

    m_cbi = {};
    // The structure's size for this build (52 bytes in the 32-bit one).
    m_cbi.cbSize = sizeof(COMBOBOXINFO);
    if (!GetComboBoxInfo(&m_cbi)) {
        m_cbi = {};
        m_cbi.cbSize = sizeof(COMBOBOXINFO);
    }
    m_rcButton = m_cbi.rcButton;

    if (!HasHint())
        return;
    if (m_cbi.hwndList)
        SubclassPart(m_cbi.hwndList, &ListWndProc);
    // A drop-down list names itself as its item window: the item procedure
    // then sees each of the control's messages before the message map, which
    // runs after it (the framework's procedure is already in place).
    if (m_cbi.hwndItem)
        SubclassPart(m_cbi.hwndItem, &ItemWndProc);
}

void CTTComboBox::SubclassPart(HWND hPart, WNDPROC pfnWndProc)
{
    const LONG_PTR lOld = ::SetWindowLongPtrW(hPart, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnWndProc));
    if (!lOld)
        return;   // left alone: this part gets no hints
    s_mapOldWndProc[hPart] = reinterpret_cast<WNDPROC>(lOld);
    s_mapOwner[hPart] = this;
}

void CTTComboBox::ForgetParts()
{
    const struct {
        HWND hPart;
        WNDPROC pfnOurs;
    } parts[] = { { m_cbi.hwndList, &ListWndProc }, { m_cbi.hwndItem, &ItemWndProc } };
    for (const auto& part : parts) {
        CTTComboBox* pOwner = nullptr;
        WNDPROC pfnOld = nullptr;
        if (!part.hPart || !s_mapOwner.Lookup(part.hPart, pOwner) || pOwner != this ||
            !s_mapOldWndProc.Lookup(part.hPart, pfnOld))
            continue;
        // A part that outlives the control (the control let go of its window)
        // gets its own procedure back, as long as nobody subclassed it after us;
        // a control that is its own item window gets the framework's back.
        if (::IsWindow(part.hPart) &&
            ::GetWindowLongPtrW(part.hPart, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(part.pfnOurs))
            ::SetWindowLongPtrW(part.hPart, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnOld));
        s_mapOldWndProc.RemoveKey(part.hPart);
        s_mapOwner.RemoveKey(part.hPart);
    }
}

LRESULT CTTComboBox::CallOldWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC pfnOld = nullptr;
    if (s_mapOldWndProc.Lookup(hWnd, pfnOld) && pfnOld)
        return ::CallWindowProcW(pfnOld, hWnd, message, wParam, lParam);
    // Only a window whose control is gone and that was subclassed again on
    // top of us comes here.
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

BOOL CTTComboBox::LeaveIfOutside(HWND hWnd, POINT point)
{
    CRect rcClient;
    ::GetClientRect(hWnd, rcClient);
    if (rcClient.PtInRect(point))
        return TRUE;
    ::SendMessageW(hWnd, WM_MOUSELEAVE, 0, 0);
    return FALSE;
}

void CTTComboBox::RequestTracking(HWND hWnd)
{
    // One request for the whole process: a window gets at most one
    // WM_MOUSEHOVER between entering and leaving.
    if (s_bTracking)
        return;
    TRACKMOUSEEVENT tme = {};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_HOVER | TME_LEAVE;
    tme.hwndTrack = hWnd;
    tme.dwHoverTime = HOVER_DEFAULT;
    if (::_TrackMouseEvent(&tme))
        s_bTracking = 1;
}

void CTTComboBox::LeavePart()
{
    s_nLastListItem = -1;
    s_bTracking = 0;
    HideHint();
}

void CTTComboBox::DecideHint(CWnd* pWnd, const CString& strText, const CRect& rcReference,
                             HintHeight height, HintCorner corner)
{
    if (!HasHint())
        return;

    // The text's width and one line's height in the hint font, from the
    // reference's top-left corner. Measured without DT_VCENTER: Wine moves
    // the calculated bottom down by the centring offset.
    CRect rcMeasured = rcReference;
    {
        CClientDC dc(&s_wndHint);
        CGdiObject* pOldFont = dc.SelectObject(&s_fontHint);
        CRect rcText = rcReference;
        dc.DrawText(strText, -1, rcText, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
        dc.SelectObject(pOldFont);
        rcMeasured.right = rcMeasured.left + rcText.Width();
        rcMeasured.bottom = rcMeasured.top + rcText.Height();
    }
    if (rcMeasured.right <= rcReference.right) {
        HideHint();   // it fits (an empty text too)
        return;
    }

    CRect rcHint = rcMeasured;
    if (height == HintHeight::Reference)
        rcHint.bottom = rcReference.bottom;
    rcHint.InflateRect(kHintMargin, kHintMargin);
    pWnd->ClientToScreen(rcHint);

    // Hidden and shown again, so that it paints the new text; hiding gives
    // the capture back, which is then taken for the window under the hint.
    s_wndHint.SetWindowText(strText);
    HideHint();
    if (::GetCapture() != pWnd->m_hWnd)
        pWnd->SetCapture();
    const int y = corner == HintCorner::BelowRectangle ? rcHint.bottom : rcHint.top;
    ::SetWindowPos(s_wndHint, HWND_TOPMOST, rcHint.left, y, rcHint.Width(), rcHint.Height(),
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    s_wndHint.SetTimer(kHintTimerId, kHintDisplayMs);   // a new hint restarts it
}

void CTTComboBox::DecideListItemHint(HWND hList, POINT point)
{
    const LRESULT lHit = ::SendMessageW(hList, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    if (HIWORD(lHit) != 0)
        return;   // below the last entry
    const int nItem = LOWORD(lHit);
    if (nItem >= ::SendMessageW(hList, LB_GETCOUNT, 0, 0) || nItem == s_nLastListItem)
        return;
    s_nLastListItem = nItem;

    CString strText;
    const LRESULT lLength = ::SendMessageW(hList, LB_GETTEXTLEN, nItem, 0);
    if (lLength > 0) {
        ::SendMessageW(hList, LB_GETTEXT, nItem,
                       reinterpret_cast<LPARAM>(strText.GetBuffer(static_cast<int>(lLength) + 1)));
        strText.ReleaseBuffer();
    }
    CRect rcItem;
    if (::SendMessageW(hList, LB_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(static_cast<LPRECT>(rcItem))) == LB_ERR)
        return;
    DecideHint(CWnd::FromHandle(hList), strText, rcItem, HintHeight::OneLine, HintCorner::BelowRectangle);
}

void CTTComboBox::PaintHint()
{
    CPaintDC dc(&s_wndHint);
    CRect rcClient;
    s_wndHint.GetClientRect(rcClient);
    CBrush brBackground;
    brBackground.CreateSolidBrush(::GetSysColor(COLOR_INFOBK));
    dc.FillRect(rcClient, &brBackground);
    CBrush brFrame;
    brFrame.CreateSolidBrush(RGB(0, 0, 0));
    dc.FrameRect(rcClient, &brFrame);

    dc.SetBkMode(TRANSPARENT);
    CGdiObject* pOldFont = dc.SelectObject(&s_fontHint);
    CString strText;
    s_wndHint.GetWindowText(strText);
    dc.DrawText(strText, -1, rcClient, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    dc.SelectObject(pOldFont);
}

LRESULT CALLBACK CTTComboBox::HintWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        PaintHint();
        break;
    case WM_TIMER:
        ::KillTimer(hWnd, wParam);
        HideHint();
        break;
    case WM_SHOWWINDOW:
        if (!wParam)   // being hidden
            ::ReleaseCapture();
        break;
    }
    return CallOldWndProc(hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CTTComboBox::ItemWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CTTComboBox* pOwner = nullptr;
    if (s_mapOwner.Lookup(hWnd, pOwner)) {
        switch (message) {
        case WM_MOUSEMOVE:
            LeaveIfOutside(hWnd, PointFromLParam(lParam));
            RequestTracking(hWnd);
            break;
        case WM_MOUSEHOVER: {
            CWnd* pItem = CWnd::FromHandle(hWnd);
            CString strText;
            pItem->GetWindowText(strText);
            CRect rcClient;
            pItem->GetClientRect(rcClient);
            DecideHint(pItem, strText, rcClient, HintHeight::Reference, HintCorner::OverRectangle);
            break;
        }
        case WM_MOUSELEAVE:
            LeavePart();
            break;
        }
    }
    return CallOldWndProc(hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CTTComboBox::ListWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CTTComboBox* pOwner = nullptr;
    if (s_mapOwner.Lookup(hWnd, pOwner)) {
        switch (message) {
        case WM_MOUSEMOVE: {
            const POINT point = PointFromLParam(lParam);
            if (LeaveIfOutside(hWnd, point))
                DecideListItemHint(hWnd, point);
            RequestTracking(hWnd);
            break;
        }
        case WM_MOUSELEAVE:
            LeavePart();
            break;
        case WM_CAPTURECHANGED:
            // Hiding the hint gives the capture back, also when the list held
            // it for its drop-down; the list must not take that for the end
            // of its drop-down.
            return 1;
        }
    }
    return CallOldWndProc(hWnd, message, wParam, lParam);
}

void CTTComboBox::OnMouseMove(UINT, CPoint point)
{
    if (HasHint()) {
        LeaveIfOutside(m_hWnd, point);
        RequestTracking(m_hWnd);
    }
    Default();
}

void CTTComboBox::OnLButtonDown(UINT, CPoint)
{
    // Give back the capture the hint took, so that the click opens the list as usual.
    if (HasHint() && s_wndHint.IsWindowVisible())
        ::ReleaseCapture();
    Default();
}

LRESULT CTTComboBox::OnMouseHover(WPARAM, LPARAM)
{
    // The text area: inside the border, left of the button.
    CRect rcReference;
    GetClientRect(rcReference);
    rcReference.DeflateRect(kHintMargin, kHintMargin);
    rcReference.right -= m_rcButton.right - m_rcButton.left;
    CString strText;
    GetWindowText(strText);   // a drop-down list: the selected entry's text
    DecideHint(this, strText, rcReference, HintHeight::Reference, HintCorner::BelowRectangle);
    return 0;
}

LRESULT CTTComboBox::OnMouseLeave(WPARAM, LPARAM)
{
    s_bTracking = 0;
    HideHint();
    return 0;
}
