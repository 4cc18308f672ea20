// Pictures of the screen as a user sees it: the pixels that the display
// shows, read through the screen's device context (under Wine that reads the
// X display, so a program's drawing counts only once it reached the screen).
// For pixel checks, and saved as PNG files for people to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wineharness {

class ScreenImage {
public:
    // The screen's pixels inside `area` (screen coordinates; the part off
    // the screen reads black). Throws HarnessError when nothing can be read.
    explicit ScreenImage(const RECT& area);

    const RECT& Area() const { return m_area; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool Contains(POINT screenPoint) const;
    // The colour at a point of the screen inside Area() (RGB macro values);
    // throws HarnessError for a point outside.
    COLORREF At(POINT screenPoint) const;
    // How many pixels inside `screenArea` (clipped to Area()) have the colour.
    size_t Count(const RECT& screenArea, COLORREF colour) const;
    // The same area with the same pixels.
    bool operator==(const ScreenImage& other) const;

    // Writes the picture as a PNG file, creating the file's folder if needed.
    // Throws HarnessError.
    void SavePng(const std::wstring& path) const;

private:
    RECT m_area;
    int m_nWidth;
    int m_nHeight;
    std::vector<uint32_t> m_pixels;  // top-down rows, 0x00RRGGBB
};

// A window that changed is repainted in several steps (the dialog, then
// each control): waits until the pixels of `area` stay the same for
// `quietMs` and returns them; after `timeoutMs`, the last picture taken.
ScreenImage SteadyScreenImage(const RECT& area, DWORD quietMs = 150, DWORD timeoutMs = 3000);

// The smallest rectangle that holds both.
RECT BoundingRect(const RECT& a, const RECT& b);

// "(r, g, b)", for test failure messages.
std::string DescribeColour(COLORREF colour);

}  // namespace wineharness
