#include "Measure.h"

#include "HarnessEnv.h"

#include <psapi.h>

#include <algorithm>
#include <vector>

namespace wineharness {

double SecondsNow()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

size_t HandleCountOf(DWORD processId)
{
    struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    struct HandleTable {  // SYSTEM_HANDLE_INFORMATION
        ULONG count;
        HandleEntry entries[1];
    };
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        throw HarnessError("ntdll has no NtQuerySystemInformation");
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == kInfoLengthMismatch)
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
    if (status != 0)
        throw HarnessError("the system's handle table cannot be read");
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    size_t count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        count += table->entries[i].ownerPid == processId;
    return count;
}

namespace {

// The whole of a small file of /proc ("" when it cannot be read).
std::string ReadProcFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

// utime + stime of /proc/<pid>/stat, in seconds (the kernel's clock ticks
// are 100 a second on Linux for user space).
double CpuSecondsOfStat(const std::string& stat)
{
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    // Fields after the command name: state is the 3rd field, utime the 14th.
    std::vector<std::string> fields;
    size_t pos = close + 2;
    while (pos < stat.size() && fields.size() < 13) {
        const size_t end = stat.find(' ', pos);
        fields.push_back(stat.substr(pos, end - pos));
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    if (fields.size() < 13)
        return 0;
    constexpr double kTicksPerSecond = 100.0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / kTicksPerSecond;
}

template <typename Match>
std::vector<std::wstring> LinuxProcessFolders(Match matches)
{
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return folders;
    do {
        const std::wstring name = entry.cFileName;
        if (name.empty() || name.find_first_not_of(L"0123456789") != std::wstring::npos)
            continue;
        const std::wstring folder = L"Z:\\proc\\" + name + L"\\";
        if (matches(folder))
            folders.push_back(folder);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return folders;
}

}  // namespace

LinuxProcesses LinuxProcesses::WithCommandLine(const std::string& needle)
{
    LinuxProcesses processes;
    processes.m_folders = LinuxProcessFolders([&](const std::wstring& folder) {
        return ReadProcFile(folder + L"cmdline").find(needle) != std::string::npos;
    });
    return processes;
}

LinuxProcesses LinuxProcesses::Named(const std::string& prefix)
{
    LinuxProcesses processes;
    processes.m_folders = LinuxProcessFolders([&](const std::wstring& folder) {
        return ReadProcFile(folder + L"comm").compare(0, prefix.size(), prefix) == 0;
    });
    return processes;
}

double LinuxProcesses::CpuSeconds() const
{
    double seconds = 0;
    for (const std::wstring& folder : m_folders)
        seconds += CpuSecondsOfStat(ReadProcFile(folder + L"stat"));
    return seconds;
}

size_t PrivateBytesOf(HANDLE hProcess)
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters)))
        return 0;
    // Wine leaves PrivateUsage at 0; its page-file usage is the same figure.
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

// Myers' O((N+M)D) difference: cheap when the texts are nearly equal.
TextDifference CompareTexts(const std::wstring& expected, const std::wstring& received, size_t limit)
{
    if (expected == received)
        return {};
    const long n = static_cast<long>(expected.size());
    const long m = static_cast<long>(received.size());
    const long maxD = static_cast<long>(std::min<size_t>(expected.size() + received.size(), limit));
    std::vector<long> v(2 * static_cast<size_t>(maxD) + 3, 0);
    const long offset = maxD + 1;
    for (long d = 0; d <= maxD; ++d) {
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1])) ? v[offset + k + 1]
                                                                                    : v[offset + k - 1] + 1;
            long y = x - k;
            while (x < n && y < m && expected[x] == received[y]) {
                ++x;
                ++y;
            }
            v[offset + k] = x;
            if (x >= n && y >= m) {
                // d edits: what the two texts do not have in common.
                const size_t common = static_cast<size_t>((n + m - d) / 2);
                return {expected.size() - common, received.size() - common, false};
            }
        }
    }
    return {0, 0, true};
}

}  // namespace wineharness
