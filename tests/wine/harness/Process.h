// Programs under test as child processes: start, wait, end.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace wineharness {

class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts `exePath` with the arguments (already quoted as needed) in
    // `workDir` (the caller's own when empty). Throws HarnessError when it
    // cannot be started.
    static Process Launch(const std::wstring& exePath, const std::wstring& arguments = L"",
                          const std::wstring& workDir = L"");

    bool IsValid() const { return m_hProcess != nullptr; }
    DWORD Id() const { return m_dwProcessId; }
    DWORD MainThreadId() const { return m_dwThreadId; }
    HANDLE Handle() const { return m_hProcess; }

    bool IsRunning() const;
    // True when the process has ended within the time.
    bool WaitForExit(DWORD timeoutMs) const;
    // The exit code once the process has ended, nothing while it runs.
    std::optional<DWORD> ExitCode() const;
    // Ends the process at once (if it still runs) and waits for its end.
    void Terminate();

private:
    HANDLE m_hProcess = nullptr;
    DWORD m_dwProcessId = 0;
    DWORD m_dwThreadId = 0;
};

// An exit code that is an exception status (access violation, stack
// overflow, ...): the process crashed instead of ending.
bool IsCrashExitCode(DWORD exitCode);

// Ids of the running processes whose executable has this file name
// (case-insensitive, e.g. L"Tapwire.exe").
std::vector<DWORD> FindProcessesByName(const std::wstring& exeName);
// How many threads the process has now (0 when it has ended).
size_t ThreadCountOf(DWORD processId);
// How many of them the program started itself: those whose start lies in
// its executable (the interface thread) or in its C runtime (threads of
// _beginthreadex), not the threads Wine runs in every program (its thread
// pool keeps an idle worker for 5 s, and more come and go around serial
// I/O). Throws HarnessError when the threads cannot be looked at.
size_t ProgramThreadCountOf(DWORD processId);
// Terminates all of them and waits for their end; returns how many there were.
size_t TerminateProcessesByName(const std::wstring& exeName, DWORD timeoutMs = 5000);

}  // namespace wineharness
