// app_probe.dll: loaded into the program under test by the WH_GETMESSAGE
// hook that AppProbe installs on the program's interface thread. It answers
// the probe requests of ProbeProtocol.h from inside the program, where the
// program's menus can be read (Wine keeps menus per process).
//
// The DLL is built without the C and C++ runtime (no std::wstring, no
// start-up code): the runtime's start-up gives a DLL a TLS directory, and
// Wine's loader, when it loads such a DLL into a running program, walks the
// list of the program's threads, which the short-lived threads behind an
// overlapped WaitCommEvent keep changing. A program with a started serial
// port then hung for good in that walk, its port thread blocked in a
// SendMessage to it. Without a TLS directory the walk does not happen.
#include "ProbeProtocol.h"

#include <windows.h>

namespace {

using namespace wineharness;

// Appends to a fixed buffer and drops whatever does not fit.
class TextOut {
public:
    TextOut(wchar_t* buffer, DWORD capacity) : m_pBuffer(buffer), m_nCapacity(capacity) {}

    void Put(const wchar_t* text)
    {
        for (; *text; ++text)
            Put(*text);
    }
    void Put(wchar_t c)
    {
        if (m_nLength < m_nCapacity)
            m_pBuffer[m_nLength++] = c;
    }
    void PutNumber(unsigned long long value)
    {
        wchar_t digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
            value /= 10;
        } while (value);
        while (count)
            Put(digits[--count]);
    }
    DWORD Length() const { return m_nLength; }

private:
    wchar_t* m_pBuffer;
    DWORD m_nCapacity;
    DWORD m_nLength = 0;
};

void AppendMenu(HMENU menu, int depth, TextOut& out)
{
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[512];
        text[0] = L'\0';
        MENUITEMINFOW item;
        ZeroMemory(&item, sizeof(item));
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 511;
        if (!GetMenuItemInfoW(menu, i, TRUE, &item))
            continue;
        out.PutNumber(static_cast<unsigned>(depth));
        out.Put(kProbeFieldEnd);
        out.PutNumber(item.wID);
        out.Put(kProbeFieldEnd);
        out.PutNumber(item.fState);
        out.Put(kProbeFieldEnd);
        out.PutNumber(item.fType);
        out.Put(kProbeFieldEnd);
        out.Put(item.hSubMenu ? L'1' : L'0');
        out.Put(kProbeFieldEnd);
        out.Put(text);
        out.Put(kProbeRecordEnd);
        if (item.hSubMenu)
            AppendMenu(item.hSubMenu, depth + 1, out);
    }
}

// A pop-up menu on show is a visible window of the menu class (#32768) of
// the tracking thread; it tells its menu when asked.
HMENU ShownPopupMenu()
{
    HMENU menu = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(hwnd, name, 16);
            if (lstrcmpW(name, L"#32768") != 0 || !IsWindowVisible(hwnd))
                return TRUE;
            *reinterpret_cast<HMENU*>(lParam) = reinterpret_cast<HMENU>(SendMessageW(hwnd, MN_GETHMENU, 0, 0));
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&menu));
    return menu;
}

// SendInput as the program's own import table leads to it: taken over on the
// first refusal request, so that the program's calls (on this thread, the
// interface thread) come here.
using SendInputFn = UINT(WINAPI*)(UINT, LPINPUT, int);
SendInputFn g_pfnRealSendInput = nullptr;
bool g_bRefusing = false;
unsigned long long g_nRefusedCalls = 0;

UINT WINAPI ProbeSendInput(UINT cInputs, LPINPUT pInputs, int cbSize)
{
    if (g_bRefusing) {
        ++g_nRefusedCalls;
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return g_pfnRealSendInput(cInputs, pInputs, cbSize);
}

bool TakeOverSendInput()
{
    if (g_pfnRealSendInput)
        return true;
    const auto real = reinterpret_cast<ULONG_PTR>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SendInput"));
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!real || !imports.VirtualAddress)
        return false;
    for (auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name; ++module) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk); slot->u1.Function; ++slot) {
            if (slot->u1.Function != real)
                continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &protection))
                return false;
            g_pfnRealSendInput = reinterpret_cast<SendInputFn>(real);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(&ProbeSendInput);
            VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), protection, &protection);
            return true;
        }
    }
    return false;
}

// The test's named object: prefix and process id.
void ObjectName(const wchar_t* prefix, DWORD testProcessId, wchar_t (&name)[64])
{
    TextOut out(name, 63);
    out.Put(prefix);
    out.PutNumber(testProcessId);
    name[out.Length()] = L'\0';
}

void Answer(const MSG& msg)
{
    const WPARAM request = msg.wParam & kProbeRequestMask;
    const LONG sequence = static_cast<LONG>(msg.wParam >> kProbeSequenceShift);
    const DWORD testProcessId = static_cast<DWORD>(msg.lParam);

    wchar_t name[64];
    ObjectName(kProbeBlockNamePrefix, testProcessId, name);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
    if (!mapping)
        return;
    if (auto* block = static_cast<ProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))) {
        // The answer goes straight into the block; a menu too big for it is cut.
        TextOut out(block->text, sizeof(block->text) / sizeof(wchar_t));
        if (request == kProbeMenuBar) {
            if (HMENU menu = GetMenu(msg.hwnd))
                AppendMenu(menu, 0, out);
        } else if (request == kProbeSystemMenu) {
            if (HMENU menu = GetSystemMenu(msg.hwnd, FALSE))
                AppendMenu(menu, 0, out);
        } else if (request == kProbePopupMenu) {
            if (HMENU menu = ShownPopupMenu())
                AppendMenu(menu, 0, out);
        } else if (request == kProbeRefuseInput) {
            const bool taken = TakeOverSendInput();
            g_bRefusing = taken;
            g_nRefusedCalls = 0;
            out.Put(taken ? L'1' : L'0');
        } else if (request == kProbeAcceptInput) {
            g_bRefusing = false;
            out.PutNumber(g_nRefusedCalls);
        }
        block->textUnits = out.Length();
        InterlockedExchange(&block->replySequence, sequence);
        UnmapViewOfFile(block);
    }
    CloseHandle(mapping);
    ObjectName(kProbeEventNamePrefix, testProcessId, name);
    if (HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, name)) {
        SetEvent(done);
        CloseHandle(done);
    }
}

// Registered on first use; two threads registering at once get the same value.
UINT g_uProbeMessage = 0;

}  // namespace

extern "C" BOOL WINAPI AppProbeEntry(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK AppProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (!g_uProbeMessage)
        g_uProbeMessage = RegisterWindowMessageW(kProbeMessageName);
    if (code == HC_ACTION && (wParam & PM_REMOVE)) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->message == g_uProbeMessage) {
            Answer(*msg);
            // The program itself never sees the request.
            msg->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
