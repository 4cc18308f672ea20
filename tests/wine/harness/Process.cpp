#include "Process.h"

#include "HarnessEnv.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <utility>

namespace wineharness {

Process::~Process()
{
    if (m_hProcess)
        CloseHandle(m_hProcess);
}

Process::Process(Process&& other) noexcept
    : m_hProcess(std::exchange(other.m_hProcess, nullptr)),
      m_dwProcessId(std::exchange(other.m_dwProcessId, 0)),
      m_dwThreadId(std::exchange(other.m_dwThreadId, 0))
{
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        if (m_hProcess)
            CloseHandle(m_hProcess);
        m_hProcess = std::exchange(other.m_hProcess, nullptr);
        m_dwProcessId = std::exchange(other.m_dwProcessId, 0);
        m_dwThreadId = std::exchange(other.m_dwThreadId, 0);
    }
    return *this;
}

Process Process::Launch(const std::wstring& exePath, const std::wstring& arguments,
                        const std::wstring& workDir)
{
    // CreateProcessW may write into the command line: keep it in a vector.
    std::wstring line = L"\"" + exePath + L"\"";
    if (!arguments.empty())
        line += L" " + arguments;
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &startup, &info))
        ThrowLastError("CreateProcessW failed for " + Narrow(exePath));
    CloseHandle(info.hThread);

    Process process;
    process.m_hProcess = info.hProcess;
    process.m_dwProcessId = info.dwProcessId;
    process.m_dwThreadId = info.dwThreadId;
    return process;
}

bool Process::IsRunning() const
{
    return m_hProcess && WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs) const
{
    return m_hProcess && WaitForSingleObject(m_hProcess, timeoutMs) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const
{
    if (!m_hProcess || IsRunning())
        return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(m_hProcess, &code))
        return std::nullopt;
    return code;
}

void Process::Terminate()
{
    if (IsRunning()) {
        TerminateProcess(m_hProcess, 1);
        WaitForSingleObject(m_hProcess, 5000);
    }
}

bool IsCrashExitCode(DWORD exitCode)
{
    return (exitCode & 0xF0000000u) == 0xC0000000u;
}

std::vector<DWORD> FindProcessesByName(const std::wstring& exeName)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        ThrowLastError("CreateToolhelp32Snapshot failed");
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

size_t TerminateProcessesByName(const std::wstring& exeName, DWORD timeoutMs)
{
    const std::vector<DWORD> ids = FindProcessesByName(exeName);
    for (DWORD id : ids) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process)
            continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, timeoutMs);
        CloseHandle(process);
    }
    return ids.size();
}

namespace {

// The ids of the process's threads now.
std::vector<DWORD> ThreadIdsOf(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        ThrowLastError("CreateToolhelp32Snapshot failed");
    std::vector<DWORD> ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == processId)
            ids.push_back(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return ids;
}

// Where a thread started (NtQueryInformationThread's
// ThreadQuerySetWin32StartAddress); 0 when it cannot be told.
ULONG_PTR StartAddressOf(DWORD threadId)
{
    using QueryFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto pfnQuery = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    constexpr ULONG kThreadQuerySetWin32StartAddress = 9;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (!thread)
        return 0;
    ULONG_PTR address = 0;
    if (!pfnQuery || pfnQuery(thread, kThreadQuerySetWin32StartAddress, &address, sizeof address, nullptr) < 0)
        address = 0;
    CloseHandle(thread);
    return address;
}

}  // namespace

size_t ProgramThreadCountOf(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        ThrowLastError("OpenProcess failed");
    // The executable is the first module; the C runtime is msvcrt.dll.
    std::vector<std::pair<ULONG_PTR, ULONG_PTR>> ranges;
    HMODULE modules[512];
    DWORD needed = 0;
    if (EnumProcessModules(process, modules, sizeof modules, &needed)) {
        for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; ++i) {
            wchar_t name[MAX_PATH] = {};
            GetModuleBaseNameW(process, modules[i], name, MAX_PATH);
            MODULEINFO info{};
            if ((i == 0 || _wcsicmp(name, L"msvcrt.dll") == 0) &&
                GetModuleInformation(process, modules[i], &info, sizeof info)) {
                const auto base = reinterpret_cast<ULONG_PTR>(info.lpBaseOfDll);
                ranges.emplace_back(base, base + info.SizeOfImage);
            }
        }
    }
    CloseHandle(process);
    if (ranges.size() < 2)
        throw HarnessError("the executable and the C runtime of process " + std::to_string(processId) +
                           " are not among its modules");

    size_t count = 0;
    for (DWORD threadId : ThreadIdsOf(processId)) {
        const ULONG_PTR start = StartAddressOf(threadId);
        for (const auto& [low, high] : ranges)
            count += start >= low && start < high;
    }
    return count;
}

}  // namespace wineharness

namespace wineharness {

size_t ThreadCountOf(DWORD processId)
{
    return ThreadIdsOf(processId).size();
}

}  // namespace wineharness
