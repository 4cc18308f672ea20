// A look from inside the program under test, for what Wine does not show
// across processes. Menus are per process under Wine: GetMenu and
// GetMenuState called from the test see nothing of the program's menus. The
// probe installs a WH_GETMESSAGE hook on the program's interface thread; the
// hook DLL (app_probe.dll) runs inside the program and answers there.
#pragma once

#include "Window.h"

#include <optional>
#include <string>
#include <vector>

namespace wineharness {

struct ProbeBlock;

struct MenuItem {
    UINT id = 0;       // command id (for a submenu: what the menu reports)
    UINT state = 0;    // MFS_CHECKED, MFS_GRAYED, ...
    UINT type = 0;     // MFT_SEPARATOR, MFT_RADIOCHECK, ...
    bool hasSubmenu = false;
    std::wstring text;
    std::vector<MenuItem> items;  // the submenu's entries

    bool IsChecked() const { return (state & MFS_CHECKED) != 0; }
    bool IsGrayed() const { return (state & MFS_GRAYED) != 0; }
    bool IsSeparator() const { return (type & MFT_SEPARATOR) != 0; }
};

// Depth first: the first entry with this command id, or nullptr.
const MenuItem* FindMenuItem(const std::vector<MenuItem>& menu, UINT id);
// Follows positions, e.g. {0, 1, 3} = 4th entry of the 2nd submenu of the
// 1st menu; nullptr when a position does not exist.
const MenuItem* MenuItemAt(const std::vector<MenuItem>& menu, const std::vector<size_t>& positions);

class AppProbe {
public:
    // Hooks the thread that owns `window` (a window of the program under
    // test; requests are posted to it). Throws HarnessError on failure.
    explicit AppProbe(const Window& window);
    ~AppProbe();
    AppProbe(const AppProbe&) = delete;
    AppProbe& operator=(const AppProbe&) = delete;

    // True once the program's thread has taken and dispatched everything
    // posted to it before this call; false when it did not answer in time
    // or ended.
    bool Sync(DWORD timeoutMs = 5000);
    // The window's menu bar and system menu as the program sees them.
    // Throw HarnessError when the program does not answer.
    std::vector<MenuItem> MenuBar(DWORD timeoutMs = 5000);
    std::vector<MenuItem> SystemMenu(DWORD timeoutMs = 5000);
    // The pop-up menu that the program's thread shows at the moment
    // (TrackPopupMenu); empty when none shows. Wine loads the hook DLL into
    // the program only outside the menu's loop: make one request (Sync)
    // before the menu opens.
    std::vector<MenuItem> PopupMenu(DWORD timeoutMs = 5000);
    // The program's SendInput inserts nothing from now on, as when the
    // window in front runs as administrator or the workstation is locked;
    // throws HarnessError when the program's import cannot be taken over.
    void RefuseInput(DWORD timeoutMs = 5000);
    // It inserts again; the number of SendInput calls it refused meanwhile.
    unsigned long long AcceptInput(DWORD timeoutMs = 5000);

private:
    std::optional<std::wstring> Ask(WPARAM request, DWORD timeoutMs);

    Window m_window;
    HMODULE m_hDll = nullptr;
    HHOOK m_hHook = nullptr;
    HANDLE m_hMapping = nullptr;
    ProbeBlock* m_pBlock = nullptr;
    HANDLE m_hDone = nullptr;
    HANDLE m_hProcess = nullptr;
    UINT m_uMessage = 0;
    LONG m_nSequence = 0;
};

}  // namespace wineharness
