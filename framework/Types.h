// CPoint and CRect: POINT and RECT with the few MFC operations the app uses.
// They add no data, so a CRect* is a RECT* for any API call.
#pragma once

#include <windows.h>

class CPoint : public POINT {
public:
    CPoint() : POINT{ 0, 0 } {}
    CPoint(int initX, int initY) : POINT{ initX, initY } {}
};

class CRect : public RECT {
public:
    CRect() : RECT{ 0, 0, 0, 0 } {}
    CRect(int l, int t, int r, int b) : RECT{ l, t, r, b } {}
    CRect(const RECT& rc) : RECT(rc) {}

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    BOOL PtInRect(POINT point) const { return ::PtInRect(this, point); }
    void InflateRect(int x, int y) { ::InflateRect(this, x, y); }
    void DeflateRect(int x, int y) { ::InflateRect(this, -x, -y); }
};
