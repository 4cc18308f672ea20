// Reading and driving the windows of another process from outside, through
// what Wine marshals across processes: window texts, combo box contents,
// state queries, posted and sent messages.
//
// Input is posted, never sent: a handler that opens a modal message box
// would otherwise block the test until someone closes the box. To know that
// the program has handled what was posted, wait for its effect (WaitUntil)
// or use AppProbe::Sync.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace wineharness {

class Window {
public:
    Window() = default;
    explicit Window(HWND hwnd) : m_hWnd(hwnd) {}

    HWND Handle() const { return m_hWnd; }
    explicit operator bool() const { return m_hWnd != nullptr; }
    bool Exists() const { return m_hWnd && IsWindow(m_hWnd); }

    DWORD ProcessId() const;
    DWORD ThreadId() const;
    std::wstring ClassName() const;
    // WM_GETTEXT, which works for controls of other processes too.
    std::wstring Text() const;
    LONG_PTR Style() const { return GetWindowLongPtrW(m_hWnd, GWL_STYLE); }

    bool IsVisible() const { return IsWindowVisible(m_hWnd) != FALSE; }
    bool IsEnabled() const { return IsWindowEnabled(m_hWnd) != FALSE; }
    bool IsMinimized() const { return IsIconic(m_hWnd) != FALSE; }
    // showCmd of GetWindowPlacement: SW_SHOWNORMAL, SW_SHOWMINIMIZED, ...
    UINT ShowCmd() const;
    RECT Rect() const;

    // The control with this dialog id; an empty Window when there is none.
    Window Child(int id) const { return Window(GetDlgItem(m_hWnd, id)); }

    // Combo box: all entries in list order, the selected index (CB_ERR when
    // none) and the selected entry's text (empty when none).
    std::vector<std::wstring> ComboItems() const;
    int ComboSelection() const;
    std::wstring ComboSelectedText() const;
    // Radio button or check box: BST_CHECKED, BST_UNCHECKED, ...
    LRESULT CheckState() const;

    // All of these post and return at once; they throw when the post fails.
    void Click() const;                      // BM_CLICK
    void PostCommand(int id, int notifyCode = 0, HWND control = nullptr) const;  // WM_COMMAND
    void PostSysCommand(WPARAM command) const;  // WM_SYSCOMMAND, e.g. SC_CLOSE
    void PostKeyPress(WORD virtualKey) const;   // WM_KEYDOWN then WM_KEYUP
    void PostClose() const;                     // WM_CLOSE
    void Post(UINT message, WPARAM wParam, LPARAM lParam) const;

    // Shows the window the way ShowWindow does from inside the program.
    void Show(int showCommand) const { ShowWindow(m_hWnd, showCommand); }

private:
    HWND m_hWnd = nullptr;
};

// Visible or not, the top-level windows whose caption is exactly `caption`;
// only those of process `processId` unless it is 0.
std::vector<Window> FindTopLevelWindows(const std::wstring& caption, DWORD processId = 0);
// All top-level windows of a process.
std::vector<Window> TopLevelWindowsOf(DWORD processId);

// A message box of a process: a visible dialog (#32770) whose static
// control 0xFFFF holds the text.
struct MessageBoxInfo {
    Window window;
    std::wstring caption;
    std::wstring text;
};
std::optional<MessageBoxInfo> FindMessageBox(DWORD processId);
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs);
// Presses OK (posts WM_COMMAND IDOK) and waits until the box has gone.
bool PressOk(const MessageBoxInfo& box, DWORD timeoutMs = 5000);

// Delivers a device-interface arrival or removal (DBT_DEVICEARRIVAL,
// DBT_DEVICEREMOVECOMPLETE) to a window of another process, as the system
// does when a USB device comes or goes. These codes cannot be posted; the
// message is sent, with `timeoutMs` for the handler (a handler that shows a
// message box does not return until the box is closed). True when the
// handler returned within the time.
bool SendDeviceInterfaceChange(const Window& window, UINT event, const std::wstring& deviceName,
                               const GUID& interfaceClass, DWORD timeoutMs = 5000);

}  // namespace wineharness
