#include "Screenshot.h"

#include "HarnessEnv.h"

#include <wincodec.h>

#include <cstdio>

namespace wineharness {

namespace {

// Releases a COM interface when it goes.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef()
    {
        if (m_p)
            m_p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* operator->() const { return m_p; }
    T** operator&() { return &m_p; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(hr));
        throw HarnessError(std::string(what) + " failed with " + code);
    }
}

// Creates every missing folder of `folder` (a full Windows path).
void CreateFolders(const std::wstring& folder)
{
    for (size_t pos = folder.find(L'\\', 3); ; pos = folder.find(L'\\', pos + 1)) {
        const std::wstring part = folder.substr(0, pos);
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            ThrowLastError("cannot create the folder " + Narrow(part));
        if (pos == std::wstring::npos)
            break;
    }
}

}  // namespace

ScreenImage::ScreenImage(const RECT& area)
    : m_area(area), m_nWidth(area.right - area.left), m_nHeight(area.bottom - area.top)
{
    if (m_nWidth <= 0 || m_nHeight <= 0)
        throw HarnessError("an empty area cannot be captured");
    m_pixels.resize(static_cast<size_t>(m_nWidth) * m_nHeight);

    HDC hScreen = GetDC(nullptr);
    HDC hMemory = CreateCompatibleDC(hScreen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = m_nWidth;
    info.bmiHeader.biHeight = -m_nHeight;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(hScreen, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    bool copied = false;
    if (hMemory && hBitmap) {
        HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
        copied = BitBlt(hMemory, 0, 0, m_nWidth, m_nHeight, hScreen, area.left, area.top,
                        SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        if (copied) {
            const auto* pSource = static_cast<const uint32_t*>(pBits);
            for (size_t i = 0; i < m_pixels.size(); ++i)
                m_pixels[i] = pSource[i] & 0x00FFFFFF;
        }
        SelectObject(hMemory, hOld);
    }
    if (hBitmap)
        DeleteObject(hBitmap);
    if (hMemory)
        DeleteDC(hMemory);
    ReleaseDC(nullptr, hScreen);
    if (!copied)
        ThrowLastError("cannot copy the screen's pixels");
}

bool ScreenImage::Contains(POINT screenPoint) const
{
    return PtInRect(&m_area, screenPoint) != FALSE;
}

COLORREF ScreenImage::At(POINT screenPoint) const
{
    if (!Contains(screenPoint))
        throw HarnessError("the point " + std::to_string(screenPoint.x) + "," +
                           std::to_string(screenPoint.y) + " is not in the picture");
    const uint32_t pixel = m_pixels[static_cast<size_t>(screenPoint.y - m_area.top) * m_nWidth +
                                    (screenPoint.x - m_area.left)];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

size_t ScreenImage::Count(const RECT& screenArea, COLORREF colour) const
{
    RECT part;
    if (!IntersectRect(&part, &screenArea, &m_area))
        return 0;
    size_t count = 0;
    for (LONG y = part.top; y < part.bottom; ++y)
        for (LONG x = part.left; x < part.right; ++x)
            if (At({x, y}) == colour)
                ++count;
    return count;
}

bool ScreenImage::operator==(const ScreenImage& other) const
{
    return EqualRect(&m_area, &other.m_area) && m_pixels == other.m_pixels;
}

void ScreenImage::SavePng(const std::wstring& path) const
{
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2)
        CreateFolders(path.substr(0, slash));

    // WIC wants its calls on a thread with COM; a thread that has it already
    // keeps its own model.
    const HRESULT hrInit = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    struct ComScope {
        bool initialised;
        ~ComScope()
        {
            if (initialised)
                CoUninitialize();
        }
    } comScope{SUCCEEDED(hrInit)};

    // 24-bit BGR rows, each padded to 4 bytes.
    const UINT stride = (static_cast<UINT>(m_nWidth) * 3 + 3) & ~3u;
    std::vector<BYTE> rows(static_cast<size_t>(stride) * m_nHeight, 0);
    for (int y = 0; y < m_nHeight; ++y) {
        for (int x = 0; x < m_nWidth; ++x) {
            const uint32_t pixel = m_pixels[static_cast<size_t>(y) * m_nWidth + x];
            BYTE* out = &rows[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            out[0] = static_cast<BYTE>(pixel & 0xFF);
            out[1] = static_cast<BYTE>((pixel >> 8) & 0xFF);
            out[2] = static_cast<BYTE>((pixel >> 16) & 0xFF);
        }
    }

    ComRef<IWICImagingFactory> factory;
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)),
          "creating the WIC factory");
    ComRef<IWICStream> stream;
    Check(factory->CreateStream(&stream), "creating a WIC stream");
    Check(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE),
          ("opening " + Narrow(path) + " for writing").c_str());
    ComRef<IWICBitmapEncoder> encoder;
    Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), "creating the PNG encoder");
    Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "starting the PNG encoder");
    ComRef<IWICBitmapFrameEncode> frame;
    Check(encoder->CreateNewFrame(&frame, nullptr), "creating the PNG frame");
    Check(frame->Initialize(nullptr), "starting the PNG frame");
    Check(frame->SetSize(static_cast<UINT>(m_nWidth), static_cast<UINT>(m_nHeight)), "sizing the PNG frame");
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    Check(frame->SetPixelFormat(&format), "choosing the pixel format");
    if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        throw HarnessError("the PNG encoder does not take 24-bit BGR pixels");
    Check(frame->WritePixels(static_cast<UINT>(m_nHeight), stride, static_cast<UINT>(rows.size()), rows.data()),
          "writing the pixels");
    Check(frame->Commit(), "finishing the PNG frame");
    Check(encoder->Commit(), ("finishing " + Narrow(path)).c_str());
}

ScreenImage SteadyScreenImage(const RECT& area, DWORD quietMs, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    ScreenImage last(area);
    for (;;) {
        Sleep(quietMs);
        ScreenImage next(area);
        if (next == last || GetTickCount64() >= deadline)
            return next;
        last = std::move(next);
    }
}

RECT BoundingRect(const RECT& a, const RECT& b)
{
    RECT result;
    UnionRect(&result, &a, &b);
    return result;
}

std::string DescribeColour(COLORREF colour)
{
    return "(" + std::to_string(GetRValue(colour)) + ", " + std::to_string(GetGValue(colour)) + ", " +
           std::to_string(GetBValue(colour)) + ")";
}

}  // namespace wineharness
