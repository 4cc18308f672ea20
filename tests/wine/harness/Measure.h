// Figures the long-running checks and benchmarks take of the program under
// test: time, the handles and the private memory of a process, and how far a
// typed text is from the one that was sent.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace wineharness {

// Seconds on the performance counter (for differences only).
double SecondsNow();

// The handles a process holds, from the system's handle table (Wine answers
// this where GetProcessHandleCount gives nothing). Throws HarnessError.
size_t HandleCountOf(DWORD processId);

// The process's committed private memory in bytes; 0 when it cannot be read.
size_t PrivateBytesOf(HANDLE hProcess);

// Linux processes of this machine, seen through /proc on the Z: drive, and
// the CPU time (user and system, in seconds) they have used so far: the Wine
// processes whose command line contains `needle` (for example
// "Tapwire.exe"), or the processes whose name begins with `prefix` (for
// example "wineserver", which runs as wineserver64 here). The set is fixed
// when it is made; a process of it that has ended counts no more.
class LinuxProcesses {
public:
    static LinuxProcesses WithCommandLine(const std::string& needle);
    static LinuxProcesses Named(const std::string& prefix);
    size_t Count() const { return m_folders.size(); }
    double CpuSeconds() const;

private:
    std::vector<std::wstring> m_folders;
};

// Characters missing from what arrived (`lost`), and characters that arrived
// but not at that place (`extra`: doubled or reordered); both 0 when the
// texts are equal. The difference is counted up to `limit` edits; beyond
// that `tooDifferent` is set.
struct TextDifference {
    size_t lost = 0;
    size_t extra = 0;
    bool tooDifferent = false;
};
TextDifference CompareTexts(const std::wstring& expected, const std::wstring& received, size_t limit = 20000);

}  // namespace wineharness
