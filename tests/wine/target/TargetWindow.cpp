// TargetWindow.exe <record file>
//
// A plain top-level window that takes the foreground and the keyboard focus
// and records every character and key it receives, so tests can see what a
// program typed into "whatever window has the focus". It is deliberately
// not an EDIT control: an EDIT re-lays out its line on every character and
// soon measures itself instead of the sender.
//
// Each WM_CHAR (one UTF-16 unit), WM_KEYDOWN and WM_KEYUP is appended to the
// record file as it arrives (format in TargetRecord.h); the received text is
// painted so that a screenshot shows it. Painting is throttled to a timer and
// draws only the latest characters: a repaint of the whole text on every
// character would cost the typing program's CPU time in benchmarks.
#include "TargetRecord.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

using wineharness::TargetEvent;

constexpr UINT_PTR kPaintTimer = 1;
constexpr UINT kPaintIntervalMs = 50;
constexpr size_t kShownCharacters = 600;  // about what the window holds

struct TargetState {
    HANDLE hRecord = INVALID_HANDLE_VALUE;
    std::wstring strShown;  // what WM_PAINT draws (its tail)
    bool bChanged = false;  // since the last paint request
    HFONT hFont = nullptr;
};

TargetState g_state;

void Record(uint16_t kind, uint16_t value)
{
    const TargetEvent event{kind, value, static_cast<uint32_t>(GetMessageTime())};
    DWORD written = 0;
    // Unbuffered: the reader in the test process sees each event at once.
    WriteFile(g_state.hRecord, &event, sizeof(event), &written, nullptr);
}

void ShowCharacter(wchar_t c)
{
    if (c == L'\r')
        g_state.strShown += L"\r\n";
    else if (c == L'\t' || c >= 0x20)
        g_state.strShown += c;
    else
        g_state.strShown += L'\x00B7';  // other control characters as a middle dot
}

LRESULT CALLBACK TargetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CHAR:
        Record(wineharness::kTargetChar, static_cast<uint16_t>(wParam));
        ShowCharacter(static_cast<wchar_t>(wParam));
        g_state.bChanged = true;
        return 0;
    case WM_TIMER:
        if (wParam == kPaintTimer && g_state.bChanged) {
            g_state.bChanged = false;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        Record(wineharness::kTargetKeyDown, static_cast<uint16_t>(wParam));
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        Record(wineharness::kTargetKeyUp, static_cast<uint16_t>(wParam));
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT area;
        GetClientRect(hwnd, &area);
        InflateRect(&area, -8, -8);
        HGDIOBJ oldFont = SelectObject(dc, g_state.hFont);
        const size_t shown = std::min(g_state.strShown.size(), kShownCharacters);
        const wchar_t* tail = g_state.strShown.c_str() + g_state.strShown.size() - shown;
        DrawTextW(dc, tail, static_cast<int>(shown), &area,
                  DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
        SelectObject(dc, oldFont);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 2)
        return 2;
    g_state.hRecord = CreateFileW(argv[1], FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(argv);
    if (g_state.hRecord == INVALID_HANDLE_VALUE)
        return 3;

    // Tahoma has the CJK font linked behind it in the harness's prefix.
    g_state.hFont = CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH, L"Tahoma");

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = wineharness::kTargetWindowClass;
    if (!RegisterClassW(&windowClass))
        return 4;
    // Below where dialogs centre themselves, so a screenshot shows both.
    HWND hwnd = CreateWindowExW(0, wineharness::kTargetWindowClass, L"Typing target",
                                WS_OVERLAPPEDWINDOW, 20, 560, 700, 300, nullptr, nullptr, instance,
                                nullptr);
    if (!hwnd)
        return 5;
    SetTimer(hwnd, kPaintTimer, kPaintIntervalMs, nullptr);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CloseHandle(g_state.hRecord);
    DeleteObject(g_state.hFont);
    return 0;
}
