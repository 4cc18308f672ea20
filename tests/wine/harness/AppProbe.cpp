#include "AppProbe.h"

#include "HarnessEnv.h"
#include "ProbeProtocol.h"

#include <cwchar>
#include <sstream>

namespace wineharness {

namespace {

std::vector<MenuItem> ParseMenu(const std::wstring& text)
{
    // Records come depth first; a stack of open submenus rebuilds the tree.
    std::vector<MenuItem> root;
    std::vector<std::vector<MenuItem>*> open{&root};
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(kProbeRecordEnd, start);
        if (end == std::wstring::npos)
            end = text.size();
        std::vector<std::wstring> fields;
        size_t field = start;
        for (int i = 0; i < 5; ++i) {
            const size_t next = text.find(kProbeFieldEnd, field);
            if (next == std::wstring::npos || next > end)
                throw HarnessError("malformed menu answer from the probe");
            fields.push_back(text.substr(field, next - field));
            field = next + 1;
        }
        const size_t depth = std::stoul(fields[0]);
        MenuItem item;
        item.id = static_cast<UINT>(std::stoul(fields[1]));
        item.state = static_cast<UINT>(std::stoul(fields[2]));
        item.type = static_cast<UINT>(std::stoul(fields[3]));
        item.hasSubmenu = fields[4] == L"1";
        item.text = text.substr(field, end - field);
        if (depth + 1 > open.size())
            throw HarnessError("malformed menu nesting in the probe's answer");
        open.resize(depth + 1);
        open.back()->push_back(std::move(item));
        if (open.back()->back().hasSubmenu)
            open.push_back(&open.back()->back().items);
        start = end + 1;
    }
    return root;
}

}  // namespace

const MenuItem* FindMenuItem(const std::vector<MenuItem>& menu, UINT id)
{
    for (const MenuItem& item : menu) {
        if (!item.hasSubmenu && !item.IsSeparator() && item.id == id)
            return &item;
        if (const MenuItem* found = FindMenuItem(item.items, id))
            return found;
    }
    return nullptr;
}

const MenuItem* MenuItemAt(const std::vector<MenuItem>& menu, const std::vector<size_t>& positions)
{
    const std::vector<MenuItem>* level = &menu;
    const MenuItem* item = nullptr;
    for (size_t position : positions) {
        if (position >= level->size())
            return nullptr;
        item = &(*level)[position];
        level = &item->items;
    }
    return item;
}

AppProbe::AppProbe(const Window& window) : m_window(window)
{
    const DWORD threadId = window.ThreadId();
    if (!threadId)
        throw HarnessError("the probe's window does not exist");
    m_uMessage = RegisterWindowMessageW(kProbeMessageName);
    const DWORD self = GetCurrentProcessId();
    m_hMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kProbeBlockSize,
                                    ProbeBlockName(self).c_str());
    if (!m_hMapping)
        ThrowLastError("cannot create the probe's answer block");
    m_pBlock = static_cast<ProbeBlock*>(MapViewOfFile(m_hMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!m_pBlock)
        ThrowLastError("cannot map the probe's answer block");
    m_hDone = CreateEventW(nullptr, FALSE, FALSE, ProbeEventName(self).c_str());
    if (!m_hDone)
        ThrowLastError("cannot create the probe's event");
    m_hProcess = OpenProcess(SYNCHRONIZE, FALSE, window.ProcessId());
    m_hDll = LoadLibraryW(AppProbeDllPath().c_str());
    if (!m_hDll)
        ThrowLastError("cannot load " + Narrow(AppProbeDllPath()));
    const auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(m_hDll, "AppProbeHook")));
    if (!hook)
        throw HarnessError("app_probe.dll exports no AppProbeHook");
    m_hHook = SetWindowsHookExW(WH_GETMESSAGE, hook, m_hDll, threadId);
    if (!m_hHook)
        ThrowLastError("SetWindowsHookExW failed");
}

AppProbe::~AppProbe()
{
    if (m_hHook)
        UnhookWindowsHookEx(m_hHook);
    if (m_hDll)
        FreeLibrary(m_hDll);
    if (m_hProcess)
        CloseHandle(m_hProcess);
    if (m_hDone)
        CloseHandle(m_hDone);
    if (m_pBlock)
        UnmapViewOfFile(m_pBlock);
    if (m_hMapping)
        CloseHandle(m_hMapping);
}

std::optional<std::wstring> AppProbe::Ask(WPARAM request, DWORD timeoutMs)
{
    const LONG sequence = ++m_nSequence;
    ResetEvent(m_hDone);
    if (!PostMessageW(m_window.Handle(), m_uMessage,
                      request | (static_cast<WPARAM>(sequence) << kProbeSequenceShift),
                      static_cast<LPARAM>(GetCurrentProcessId())))
        return std::nullopt;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        // An answer to an earlier request that timed out may still come in:
        // only this request's sequence number counts.
        if (m_pBlock->replySequence == sequence)
            return std::wstring(m_pBlock->text, m_pBlock->textUnits);
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return std::nullopt;
        HANDLE waits[2] = {m_hDone, m_hProcess};
        const DWORD result = WaitForMultipleObjects(m_hProcess ? 2 : 1, waits, FALSE,
                                                    static_cast<DWORD>(deadline - now));
        if (result == WAIT_OBJECT_0 + 1)
            return m_pBlock->replySequence == sequence
                       ? std::optional<std::wstring>(std::wstring(m_pBlock->text, m_pBlock->textUnits))
                       : std::nullopt;
    }
}

bool AppProbe::Sync(DWORD timeoutMs)
{
    return Ask(kProbeSync, timeoutMs).has_value();
}

std::vector<MenuItem> AppProbe::MenuBar(DWORD timeoutMs)
{
    const std::optional<std::wstring> answer = Ask(kProbeMenuBar, timeoutMs);
    if (!answer)
        throw HarnessError("the program did not answer the menu probe");
    return ParseMenu(*answer);
}

std::vector<MenuItem> AppProbe::SystemMenu(DWORD timeoutMs)
{
    const std::optional<std::wstring> answer = Ask(kProbeSystemMenu, timeoutMs);
    if (!answer)
        throw HarnessError("the program did not answer the menu probe");
    return ParseMenu(*answer);
}

std::vector<MenuItem> AppProbe::PopupMenu(DWORD timeoutMs)
{
    const std::optional<std::wstring> answer = Ask(kProbePopupMenu, timeoutMs);
    if (!answer)
        throw HarnessError("the program did not answer the menu probe");
    return ParseMenu(*answer);
}

void AppProbe::RefuseInput(DWORD timeoutMs)
{
    const std::optional<std::wstring> answer = Ask(kProbeRefuseInput, timeoutMs);
    if (!answer)
        throw HarnessError("the program did not answer the request to refuse input");
    if (*answer != L"1")
        throw HarnessError("the program's SendInput import could not be taken over");
}

unsigned long long AppProbe::AcceptInput(DWORD timeoutMs)
{
    const std::optional<std::wstring> answer = Ask(kProbeAcceptInput, timeoutMs);
    if (!answer)
        throw HarnessError("the program did not answer the request to accept input");
    return std::wcstoull(answer->c_str(), nullptr, 10);
}

}  // namespace wineharness
