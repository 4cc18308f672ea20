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
