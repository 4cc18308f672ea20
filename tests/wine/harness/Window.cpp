#include "Window.h"

#include "HarnessEnv.h"

#include <dbt.h>

#include <cstring>

namespace wineharness {

namespace {

// Sent queries get a generous time: a program busy in a handler still
// answers within it, a hung one does not hang the test.
constexpr UINT kSendTimeoutMs = 5000;

LRESULT SendQuery(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result))
        ThrowLastError("no answer from the window to message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}

}  // namespace

DWORD Window::ProcessId() const
{
    DWORD id = 0;
    GetWindowThreadProcessId(m_hWnd, &id);
    return id;
}

DWORD Window::ThreadId() const
{
    return GetWindowThreadProcessId(m_hWnd, nullptr);
}

std::wstring Window::ClassName() const
{
    wchar_t name[256];
    const int length = GetClassNameW(m_hWnd, name, 256);
    return std::wstring(name, length > 0 ? length : 0);
}

std::wstring Window::Text() const
{
    const LRESULT length = SendQuery(m_hWnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendQuery(m_hWnd, WM_GETTEXT, text.size(),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

UINT Window::ShowCmd() const
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(m_hWnd, &placement))
        ThrowLastError("GetWindowPlacement failed");
    return placement.showCmd;
}

RECT Window::Rect() const
{
    RECT rect{};
    if (!GetWindowRect(m_hWnd, &rect))
        ThrowLastError("GetWindowRect failed");
    return rect;
}

std::vector<std::wstring> Window::ComboItems() const
{
    // The entries are read one message at a time, and the program may
    // rebuild its list between two of them (an arrival handled meanwhile):
    // an entry gone under the read starts it again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const LRESULT count = SendQuery(m_hWnd, CB_GETCOUNT, 0, 0);
        if (count == CB_ERR)
            throw HarnessError("CB_GETCOUNT failed: not a combo box?");
        std::vector<std::wstring> items;
        for (LRESULT i = 0; i < count; ++i) {
            const LRESULT length = SendQuery(m_hWnd, CB_GETLBTEXTLEN, i, 0);
            if (length == CB_ERR)
                break;
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            const LRESULT copied = SendQuery(m_hWnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            if (copied == CB_ERR)
                break;
            text.resize(static_cast<size_t>(copied));
            items.push_back(text);
        }
        if (items.size() == static_cast<size_t>(count) && SendQuery(m_hWnd, CB_GETCOUNT, 0, 0) == count)
            return items;
        Sleep(10);
    }
    throw HarnessError("the combo box's entries changed under every read");
}

int Window::ComboSelection() const
{
    return static_cast<int>(SendQuery(m_hWnd, CB_GETCURSEL, 0, 0));
}

std::wstring Window::ComboSelectedText() const
{
    const int selection = ComboSelection();
    if (selection == CB_ERR)
        return {};
    const std::vector<std::wstring> items = ComboItems();
    return static_cast<size_t>(selection) < items.size() ? items[selection] : std::wstring();
}

LRESULT Window::CheckState() const
{
    return SendQuery(m_hWnd, BM_GETCHECK, 0, 0);
}

void Window::Post(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!PostMessageW(m_hWnd, message, wParam, lParam))
        ThrowLastError("PostMessageW failed for message " + std::to_string(message));
}

void Window::Click() const
{
    Post(BM_CLICK, 0, 0);
}

void Window::PostCommand(int id, int notifyCode, HWND control) const
{
    Post(WM_COMMAND, MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(control));
}

void Window::PostSysCommand(WPARAM command) const
{
    Post(WM_SYSCOMMAND, command, 0);
}

void Window::PostKeyPress(WORD virtualKey) const
{
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
    const LPARAM up = down | (1 << 30) | (1u << 31);
    Post(WM_KEYDOWN, virtualKey, down);
    Post(WM_KEYUP, virtualKey, up);
}

void Window::PostClose() const
{
    Post(WM_CLOSE, 0, 0);
}

namespace {

struct EnumRequest {
    const std::wstring* caption;
    DWORD processId;
    std::vector<Window>* found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam)
{
    auto* request = reinterpret_cast<EnumRequest*>(lParam);
    Window window(hwnd);
    if (request->processId && window.ProcessId() != request->processId)
        return TRUE;
    if (request->caption) {
        // GetWindowTextW asks no message of the other process for a
        // top-level window: it reads the caption the system keeps.
        wchar_t text[512];
        const int length = GetWindowTextW(hwnd, text, 512);
        if (*request->caption != std::wstring(text, length > 0 ? length : 0))
            return TRUE;
    }
    request->found->push_back(window);
    return TRUE;
}

std::vector<Window> EnumerateTopLevel(const std::wstring* caption, DWORD processId)
{
    std::vector<Window> found;
    EnumRequest request{caption, processId, &found};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&request));
    return found;
}

}  // namespace

std::vector<Window> FindTopLevelWindows(const std::wstring& caption, DWORD processId)
{
    return EnumerateTopLevel(&caption, processId);
}

std::vector<Window> TopLevelWindowsOf(DWORD processId)
{
    return EnumerateTopLevel(nullptr, processId);
}

std::optional<MessageBoxInfo> FindMessageBox(DWORD processId)
{
    for (const Window& window : TopLevelWindowsOf(processId)) {
        if (!window.IsVisible() || window.ClassName() != L"#32770")
            continue;
        const Window text = window.Child(0xFFFF);
        if (!text)
            continue;
        return MessageBoxInfo{window, window.Text(), text.Text()};
    }
    return std::nullopt;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs)
{
    std::optional<MessageBoxInfo> box;
    WaitUntil([&] { return (box = FindMessageBox(processId)).has_value(); }, timeoutMs);
    return box;
}

bool PressOk(const MessageBoxInfo& box, DWORD timeoutMs)
{
    box.window.PostCommand(IDOK);
    return WaitUntil([&] { return !box.window.Exists() || !box.window.IsVisible(); }, timeoutMs);
}

bool SendDeviceInterfaceChange(const Window& window, UINT event, const std::wstring& deviceName,
                               const GUID& interfaceClass, DWORD timeoutMs)
{
    // Wine copies exactly dbch_size bytes to the other process: the size
    // must cover the whole name with its terminator.
    const size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                        (deviceName.size() + 1) * sizeof(wchar_t);
    std::vector<BYTE> buffer(size, 0);
    auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    header->dbcc_size = static_cast<DWORD>(size);
    header->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header->dbcc_classguid = interfaceClass;
    std::memcpy(header->dbcc_name, deviceName.c_str(), (deviceName.size() + 1) * sizeof(wchar_t));
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window.Handle(), WM_DEVICECHANGE, event,
                               reinterpret_cast<LPARAM>(header), SMTO_NORMAL, timeoutMs,
                               &result) != 0;
}

}  // namespace wineharness
