#include "Process.h"

#include "HarnessEnv.h"

#include <tlhelp32.h>

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

}  // namespace wineharness

namespace wineharness {

size_t ThreadCountOf(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        ThrowLastError("CreateToolhelp32Snapshot failed");
    size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == processId;
    CloseHandle(snapshot);
    return count;
}

}  // namespace wineharness
