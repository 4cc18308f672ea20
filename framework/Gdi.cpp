#include "Gdi.h"

#include "Wnd.h"

#include <map>
#include <memory>

namespace {

// The wrappers FromHandle hands out, one per handle, for the interface thread.
// An entry goes when the object is deleted through its owning wrapper, so
// that painting with fresh objects again and again does not pile them up.
struct TemporaryWrapper : CGdiObject {
    ~TemporaryWrapper() override { Detach(); }
};

// Never destroyed: objects with static storage (a control class's shared
// font) are deleted at exit, after a map of this file would be gone.
std::map<HGDIOBJ, std::unique_ptr<TemporaryWrapper>>& TemporaryWrappers()
{
    static auto* s_pWrappers = new std::map<HGDIOBJ, std::unique_ptr<TemporaryWrapper>>;
    return *s_pWrappers;
}

} // namespace

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject)
{
    if (!hObject)
        return nullptr;
    auto& slot = TemporaryWrappers()[hObject];
    if (!slot) {
        slot = std::make_unique<TemporaryWrapper>();
        slot->m_hObject = hObject;
    }
    return slot.get();
}

size_t CGdiObject::TemporaryWrapperCount()
{
    return TemporaryWrappers().size();
}

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (!hObject || m_hObject)
        return FALSE;
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ hObject = m_hObject;
    m_hObject = nullptr;
    return hObject;
}

BOOL CGdiObject::DeleteObject()
{
    HGDIOBJ hObject = Detach();
    if (!hObject)
        return FALSE;
    TemporaryWrappers().erase(hObject);
    return ::DeleteObject(hObject);
}

BOOL CBitmap::LoadBitmap(UINT nIDResource)
{
    return Attach(::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nIDResource)));
}

int CBitmap::GetBitmap(BITMAP* pBitmap) const
{
    return ::GetObjectW(m_hObject, sizeof(BITMAP), pBitmap);
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* lpLogFont)
{
    return Attach(::CreateFontIndirectW(lpLogFont));
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor)
{
    return Attach(::CreateSolidBrush(crColor));
}

CDC::~CDC()
{
    DeleteDC();
}

BOOL CDC::Attach(HDC hDC)
{
    if (!hDC || m_hDC)
        return FALSE;
    m_hDC = hDC;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC hDC = m_hDC;
    m_hDC = nullptr;
    return hDC;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC)
{
    return Attach(::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr));
}

BOOL CDC::DeleteDC()
{
    HDC hDC = Detach();
    return hDC ? ::DeleteDC(hDC) : FALSE;
}

CGdiObject* CDC::SelectObject(CGdiObject* pObject)
{
    if (!pObject || !m_hDC)
        return nullptr;
    return CGdiObject::FromHandle(::SelectObject(m_hDC, pObject->m_hObject));
}

int CDC::SetBkMode(int nBkMode)
{
    return ::SetBkMode(m_hDC, nBkMode);
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon)
{
    return ::DrawIcon(m_hDC, x, y, hIcon);
}

int CDC::DrawText(LPCWSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat)
{
    return ::DrawTextW(m_hDC, lpszString, nCount, lpRect, nFormat);
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush)
{
    ::FillRect(m_hDC, lpRect, static_cast<HBRUSH>(pBrush->m_hObject));
}

void CDC::FrameRect(LPCRECT lpRect, CBrush* pBrush)
{
    ::FrameRect(m_hDC, lpRect, static_cast<HBRUSH>(pBrush->m_hObject));
}

BOOL CDC::TransparentBlt(int xDest, int yDest, int nDestWidth, int nDestHeight, CDC* pSrcDC,
                         int xSrc, int ySrc, int nSrcWidth, int nSrcHeight, UINT clrTransparent)
{
    return ::TransparentBlt(m_hDC, xDest, yDest, nDestWidth, nDestHeight, pSrcDC->m_hDC,
                            xSrc, ySrc, nSrcWidth, nSrcHeight, clrTransparent);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    HDC hDC = Detach();
    if (hDC)
        ::ReleaseDC(m_hWnd, hDC);
}
