// GDI wrappers: objects (CGdiObject, CBitmap, CFont) own their handle while
// attached; device contexts (CDC, CPaintDC, CClientDC) own or borrow theirs.
// They live on the stack for the length of one handler.
#pragma once

#include <windows.h>

#include <cstddef>

class CWnd;

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;

    // A wrapper that does not own the object (one per handle, reused until the
    // object is deleted through its owning wrapper), or nullptr.
    static CGdiObject* FromHandle(HGDIOBJ hObject);
    // How many such wrappers exist (they must not pile up).
    static size_t TemporaryWrapperCount();
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
};

class CBitmap : public CGdiObject {
public:
    BOOL LoadBitmap(UINT nIDResource);
    int GetBitmap(BITMAP* pBitmap) const;
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTW* lpLogFont);
};

class CBrush : public CGdiObject {
public:
    BOOL CreateSolidBrush(COLORREF crColor);
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    BOOL Attach(HDC hDC);
    HDC Detach();
    BOOL CreateCompatibleDC(CDC* pDC);
    BOOL DeleteDC();

    // Returns the object that was selected before, to be selected back.
    CGdiObject* SelectObject(CGdiObject* pObject);
    int SetBkMode(int nBkMode);
    BOOL DrawIcon(int x, int y, HICON hIcon);
    int DrawText(LPCWSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat);
    void FillRect(LPCRECT lpRect, CBrush* pBrush);
    void FrameRect(LPCRECT lpRect, CBrush* pBrush);
    BOOL TransparentBlt(int xDest, int yDest, int nDestWidth, int nDestHeight, CDC* pSrcDC,
                        int xSrc, int ySrc, int nSrcWidth, int nSrcHeight, UINT clrTransparent);
};

// BeginPaint/EndPaint around one WM_PAINT.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps = {};
private:
    HWND m_hWnd;
};

// GetDC/ReleaseDC of a window's client area.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;
private:
    HWND m_hWnd;
};
