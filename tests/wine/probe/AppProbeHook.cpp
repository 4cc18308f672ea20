// app_probe.dll: loaded into the program under test by the WH_GETMESSAGE
// hook that AppProbe installs on the program's interface thread. It answers
// the probe requests of ProbeProtocol.h from inside the program, where the
// program's menus can be read (Wine keeps menus per process).
#include "ProbeProtocol.h"

#include <windows.h>

#include <string>

namespace {

using namespace wineharness;

void AppendMenu(HMENU menu, int depth, std::wstring& out)
{
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 511;
        if (!GetMenuItemInfoW(menu, i, TRUE, &item))
            continue;
        out += std::to_wstring(depth) + kProbeFieldEnd + std::to_wstring(item.wID) + kProbeFieldEnd +
               std::to_wstring(item.fState) + kProbeFieldEnd + std::to_wstring(item.fType) +
               kProbeFieldEnd + (item.hSubMenu ? L"1" : L"0") + kProbeFieldEnd + text +
               kProbeRecordEnd;
        if (item.hSubMenu)
            AppendMenu(item.hSubMenu, depth + 1, out);
    }
}

void Answer(const MSG& msg)
{
    const WPARAM request = msg.wParam & kProbeRequestMask;
    const LONG sequence = static_cast<LONG>(msg.wParam >> kProbeSequenceShift);
    const DWORD testProcessId = static_cast<DWORD>(msg.lParam);

    std::wstring text;
    if (request == kProbeMenuBar) {
        if (HMENU menu = GetMenu(msg.hwnd))
            AppendMenu(menu, 0, text);
    } else if (request == kProbeSystemMenu) {
        if (HMENU menu = GetSystemMenu(msg.hwnd, FALSE))
            AppendMenu(menu, 0, text);
    }

    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, ProbeBlockName(testProcessId).c_str());
    if (!mapping)
        return;
    if (auto* block = static_cast<ProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))) {
        const size_t capacity = sizeof(block->text) / sizeof(wchar_t);
        const size_t units = text.size() < capacity ? text.size() : capacity;
        text.copy(block->text, units);
        block->textUnits = static_cast<DWORD>(units);
        InterlockedExchange(&block->replySequence, sequence);
        UnmapViewOfFile(block);
    }
    CloseHandle(mapping);
    if (HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, ProbeEventName(testProcessId).c_str())) {
        SetEvent(done);
        CloseHandle(done);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK AppProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    static const UINT s_uProbeMessage = RegisterWindowMessageW(kProbeMessageName);
    if (code == HC_ACTION && (wParam & PM_REMOVE)) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->message == s_uProbeMessage) {
            Answer(*msg);
            // The program itself never sees the request.
            msg->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
