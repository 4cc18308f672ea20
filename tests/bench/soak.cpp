// soak.exe: the real Tapwire.exe under long use (make soak runs it inside
// tests/wine/with-harness.sh). Prints what it measured; exits non-zero when a
// character was lost, doubled or reordered, when a step hung, or when the
// handles or the private memory of the process grew.
//   1. SOAK_BYTES (default 1,000,000) bytes of barcode traffic at the
//      115200-baud line rate into a started port, no Stop: the typed text must
//      be exactly what was sent.
//   2. SOAK_CYCLES (default 1,000) Stop/Start cycles while traffic flows:
//      no hang, and the handle count and private memory end where they began.
#include "HarnessEnv.h"
#include "PortsDevice.h"
#include "Process.h"
#include "ScannerPort.h"
#include "TapwireApp.h"
#include "TargetWindow.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

using namespace wineharness;

namespace {

constexpr double kLineRateBytesPerSecond = 11520.0;
constexpr int kStartStop = 1017;
const std::wstring kStarted = L"切断";
const std::wstring kStopped = L"接続";

size_t EnvNumber(const char* name, size_t fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? static_cast<size_t>(std::strtoull(text, nullptr, 10)) : fallback;
}

double Now()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Rows of scanned codes: digits, letters and punctuation, Tab between fields,
// CR at the end of each row.
std::string Traffic(size_t bytes)
{
    const char* fields[] = {"4006381333931", "(01)09501101530003(10)ABC123", "SN-7781-22-0093",
                            "https://example.com/p?id=42&q=7", "LOT 2026/12/10"};
    std::string text;
    for (size_t i = 0; text.size() < bytes; ++i) {
        text += fields[i % 5];
        text += (i % 5 == 4) ? '\r' : '\t';
    }
    text.resize(bytes);
    return text;
}

void WriteTextFile(const std::wstring& path, const std::string& text)
{
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        ThrowLastError("cannot write " + Narrow(path));
    DWORD written = 0;
    WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(hFile);
}

// Lost (missing) and extra (doubled or out of place) characters: Myers'
// difference, cheap when the texts are (nearly) equal.
std::pair<size_t, size_t> Difference(const std::wstring& expected, const std::wstring& received)
{
    if (expected == received)
        return {0, 0};
    const long n = static_cast<long>(expected.size());
    const long m = static_cast<long>(received.size());
    const long maxD = std::min<long>(n + m, 20000);
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
                const size_t common = static_cast<size_t>((n + m - d) / 2);
                return {static_cast<size_t>(n) - common, static_cast<size_t>(m) - common};
            }
        }
    }
    return {static_cast<size_t>(-1), static_cast<size_t>(-1)};  // too different to count
}

// The process's handles, from the system's handle table.
size_t HandleCount(DWORD processId)
{
    struct HandleEntry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<LONG>(0xC0000004))
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
    if (status != 0)
        return 0;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
    size_t mine = 0;
    for (ULONG i = 0; i < count; ++i)
        mine += entries[i].ownerPid == processId;
    return mine;
}

size_t PrivateBytes(HANDLE hProcess)
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters)))
        return 0;
    // Wine leaves PrivateUsage at 0; its page-file usage is the same figure
    // (the committed private memory).
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

bool WaitForButton(const Window& dialog, const std::wstring& text)
{
    return WaitUntil([&] { return dialog.Child(kStartStop).Text() == text; }, 10000, 2);
}

}  // namespace

int main()
{
    const size_t totalBytes = EnvNumber("SOAK_BYTES", 1000000);
    const size_t cycles = EnvNumber("SOAK_CYCLES", 1000);
    bool ok = true;
    try {
        const ComPair pair = ComPairs().at(0);
        FakePortsDevice scannerDevice({L"USB\\VID_2E9B&PID_0002\\5&SOAK&0&1",
                                       L"USB Serial Device (COM" + std::to_wstring(pair.appPort) + L")",
                                       {L"USB\\VID_2E9B&PID_0002&REV_0100"}});
        TargetWindow target;
        TapwireApp app;
        WriteTextFile(app.Folder() + L"\\Config.ini",
                      "[Encoding Setting]\r\nEncoding=0\r\n[Start Setting]\r\nBootRun=0\r\nRunMini=0\r\nRunStart=1\r\n"
                      "[Language Setting]\r\nLanguage=3\r\n"
                      "[Uart Setting]\r\nComPort=0\r\nBaudRate=9\r\nParityBit=0\r\nDataBit=1\r\nStopBit=0\r\n");
        const Window dialog = app.Start();
        if (!WaitForButton(dialog, kStarted))
            throw HarnessError("the port did not start");
        target.Activate();
        Sleep(300);

        // --- 1. a long run at the line rate ---------------------------------------
        const std::string traffic = Traffic(totalBytes);
        std::printf("soak: %zu bytes at %.0f bytes/s into COM%d, no Stop\n", totalBytes, kLineRateBytesPerSecond,
                    pair.appPort);
        std::fflush(stdout);
        ScannerPort scanner(pair.scannerPort);
        const double start = Now();
        std::thread writer([&] {
            size_t sent = 0;
            while (sent < traffic.size()) {
                const size_t due = std::min(traffic.size(),
                                            static_cast<size_t>((Now() - start) * kLineRateBytesPerSecond) + 1);
                if (due > sent) {
                    scanner.Write(traffic.substr(sent, due - sent));
                    sent = due;
                }
                Sleep(5);
            }
        });
        size_t received = 0;
        double lastProgress = Now();
        double nextReport = Now() + 30;
        while (received < traffic.size() && Now() - lastProgress < 30) {
            Sleep(1000);
            const size_t now = target.Events().size() / 3;  // key down, character, key up
            if (now != received) {
                received = now;
                lastProgress = Now();
            }
            if (Now() > nextReport) {
                std::printf("soak:   %zu characters typed after %.0f s\n", received, Now() - start);
                std::fflush(stdout);
                nextReport += 30;
            }
        }
        writer.join();
        const double seconds = lastProgress - start;
        const std::wstring text = target.Text();
        const std::wstring expected(traffic.begin(), traffic.end());
        const auto [lost, extra] = Difference(expected, text);
        std::printf("soak: %zu of %zu characters typed in %.1f s (%.0f characters/s); lost %zu, doubled or "
                    "reordered %zu\n",
                    text.size(), expected.size(), seconds, text.size() / seconds, lost, extra);
        ok = ok && lost == 0 && extra == 0;

        // --- 2. Stop/Start cycles with traffic flowing ------------------------------
        std::atomic<bool> stop{false};
        std::thread streamer([&] {
            for (size_t i = 0; !stop; ++i) {
                scanner.Write(std::string("0123456789\r"));
                Sleep(20);
            }
        });
        const size_t handlesBefore = HandleCount(app.GetProcess().Id());
        const size_t memoryBefore = PrivateBytes(app.GetProcess().Handle());
        const double cyclesStart = Now();
        size_t done = 0;
        for (; done < cycles; ++done) {
            dialog.PostCommand(kStartStop, BN_CLICKED, dialog.Child(kStartStop).Handle());
            if (!WaitForButton(dialog, kStopped))
                break;
            dialog.PostCommand(kStartStop, BN_CLICKED, dialog.Child(kStartStop).Handle());
            if (!WaitForButton(dialog, kStarted))
                break;
            if (done % 100 == 99) {
                std::printf("soak:   %zu cycles, handles %zu, private memory %zu KiB\n", done + 1,
                            HandleCount(app.GetProcess().Id()), PrivateBytes(app.GetProcess().Handle()) / 1024);
                std::fflush(stdout);
            }
        }
        stop = true;
        streamer.join();
        Sleep(1000);
        const size_t handlesAfter = HandleCount(app.GetProcess().Id());
        const size_t memoryAfter = PrivateBytes(app.GetProcess().Handle());
        std::printf("soak: %zu of %zu Stop/Start cycles in %.1f s%s\n", done, cycles, Now() - cyclesStart,
                    done == cycles ? "" : " (a step hung)");
        std::printf("soak: handles %zu -> %zu, private memory %zu KiB -> %zu KiB\n", handlesBefore, handlesAfter,
                    memoryBefore / 1024, memoryAfter / 1024);
        ok = ok && done == cycles && handlesAfter <= handlesBefore + 3 && memoryAfter <= memoryBefore + 1024 * 1024;
        if (!app.Close())
            throw HarnessError("Tapwire did not end after WM_CLOSE");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "soak: %s\n", error.what());
        return 2;
    }
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
