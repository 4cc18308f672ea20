#include "NotificationArea.h"

#include "HarnessEnv.h"

namespace wineharness {

namespace {

// Class names of Wine's X11 driver for its stand-alone tray.
constexpr wchar_t kStandaloneTrayClass[] = L"__winex11_standalone_tray";
constexpr wchar_t kTrayIconClass[] = L"__winex11_tray_icon";

}  // namespace

Window VisibleTrayWindow()
{
    for (HWND hwnd = FindWindowExW(nullptr, nullptr, kStandaloneTrayClass, nullptr); hwnd;
         hwnd = FindWindowExW(nullptr, hwnd, kStandaloneTrayClass, nullptr)) {
        if (IsWindowVisible(hwnd))
            return Window(hwnd);
    }
    return Window();
}

std::vector<Window> TrayIcons()
{
    std::vector<Window> icons;
    const Window tray = VisibleTrayWindow();
    if (!tray)
        return icons;
    for (HWND hwnd = FindWindowExW(tray.Handle(), nullptr, kTrayIconClass, nullptr); hwnd;
         hwnd = FindWindowExW(tray.Handle(), hwnd, kTrayIconClass, nullptr)) {
        if (IsWindowVisible(hwnd))
            icons.emplace_back(hwnd);
    }
    return icons;
}

void ClickAt(POINT screenPoint, MouseButton button)
{
    if (!SetCursorPos(screenPoint.x, screenPoint.y))
        ThrowLastError("SetCursorPos failed");
    INPUT inputs[2]{};
    inputs[0].type = INPUT_MOUSE;
    inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = button == MouseButton::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    inputs[1].mi.dwFlags = button == MouseButton::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    if (SendInput(2, inputs, sizeof(INPUT)) != 2)
        ThrowLastError("SendInput of a mouse click failed");
}

POINT CentreOf(const Window& window)
{
    const RECT rect = window.Rect();
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

}  // namespace wineharness
