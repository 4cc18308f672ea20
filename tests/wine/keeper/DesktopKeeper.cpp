// DesktopKeeper.exe: holds one hidden top-level window for as long as it runs.
//
// Wine's desktop process ends a few seconds after the last top-level window
// of the session goes, and the next program that opens a window then waits
// many seconds for a new one. The harness runs this for the whole test run so
// that the desktop stays up between test programs.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = hInstance;
    wc.lpszClassName = L"TapwireHarnessDesktopKeeper";
    if (!::RegisterClassW(&wc))
        return 1;
    if (!::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           hInstance, nullptr))
        return 1;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    return 0;
}
