// CTTComboBox: a combo box that shows the whole text of an entry that does not
// fit. A small hint window of its own shows the text below the closed control
// when the mouse rests on it, and below an entry of the dropped-down list as
// soon as the mouse moves onto that entry.
//
// All controls of the process share one hint window, one font, one tracking
// flag and one last-entry index; everything runs on the interface thread, so
// the statics need no lock.
#pragma once

#include "Afx.h"

class CTTComboBox : public CComboBox {
public:
    CTTComboBox();
    ~CTTComboBox() override;

    // How the shared hint font and window come into being. Tests put in steps
    // that fail, to see the control work as a plain combo box without a hint.
    struct HintFactory {
        BOOL (*pfnCreateFont)(CFont& font);
        BOOL (*pfnCreateWindow)(CWnd& wnd);
    };
    static HintFactory s_hintFactory;

protected:
    void PreSubclassWindow() override;

    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    LRESULT OnMouseHover(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    RECT m_rcButton;      // drop-down button, client coordinates; zero until attached
    COMBOBOXINFO m_cbi;   // the control's parts as reported when it was attached

    static CMap<HWND, HWND, WNDPROC, WNDPROC> s_mapOldWndProc;   // procedure each subclassed window had
    static CMap<HWND, HWND, CTTComboBox*, CTTComboBox*&> s_mapOwner;   // list and item windows → control
    static CFont s_fontHint;      // the status-bar font: hints are measured and drawn in it
    static CWnd s_wndHint;        // the hint window, hidden when there is nothing to show
    static int s_bTracking;       // 1 while a mouse-tracking request of ours is outstanding
    static int s_nLastListItem;   // the list entry whose hint was last decided, -1 for none

private:
    static LRESULT CALLBACK HintWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ItemWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    static BOOL CreateStatusBarFont(CFont& font);
    static BOOL CreateHintWindow(CWnd& wnd);
    static BOOL HasHint();
    static void HideHint();
    static void PaintHint();

    // A mouse move at `point` (client coordinates of hWnd): a point outside
    // the client area is a leave (FALSE); the hover and leave request is made
    // once until the next leave.
    static BOOL LeaveIfOutside(HWND hWnd, POINT point);
    static void RequestTracking(HWND hWnd);
    static void LeavePart();   // WM_MOUSELEAVE of a list or item window

    enum class HintHeight { Reference, OneLine };
    enum class HintCorner { BelowRectangle, OverRectangle };
    // Shows `strText` in the hint when it is wider than rcReference (client
    // coordinates of pWnd), placed as the caller says; hides the hint when the
    // text fits.
    static void DecideHint(CWnd* pWnd, const CString& strText, const CRect& rcReference,
                           HintHeight height, HintCorner corner);
    static void DecideListItemHint(HWND hList, POINT point);

    static LRESULT CallOldWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void SubclassPart(HWND hPart, WNDPROC pfnWndProc);
    void ForgetParts();
};
