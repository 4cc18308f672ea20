// port_wait_probe.exe: what makes a wait for a port event return while nothing
// arrives. For a few seconds per variant it opens the app side of a harness
// port pair (nobody writes to it) and waits the way a monitor thread would:
// WaitCommEvent with several event masks, event characters and timeouts, and
// a one-byte overlapped ReadFile. It prints, per variant, how often the wait
// returned per second, how (at once, or pending and then signalled), what it
// reported, and the CPU time this process used. Run inside with-harness.sh;
// `port_wait_probe.exe COM<n>` probes another port (a real device linked as
// COM<n>).
#include "HarnessEnv.h"
#include "Measure.h"

#include <windows.h>

#include <cstdio>
#include <string>

using namespace wineharness;

namespace {

constexpr double kSecondsPerVariant = 4.0;

struct Variant {
    const char* name;
    DWORD mask;           // 0: no WaitCommEvent, a one-byte read instead
    char eventChar;
    COMMTIMEOUTS timeouts;
};

struct Counts {
    unsigned returns = 0;        // waits that ended
    unsigned atOnce = 0;         // WaitCommEvent or ReadFile returned TRUE
    unsigned pending = 0;        // ERROR_IO_PENDING, later signalled
    unsigned failed = 0;         // any other error, or a failed completion
    unsigned noEvent = 0;        // completed with an empty event word
    unsigned queuedNothing = 0;  // ClearCommError: nothing queued
    DWORD lastError = 0;
    DWORD lastEvent = 0;
    double cancelMs = 0;         // a wait still pending at the end: how long its cancel took; -1: never
};

constexpr DWORD kCancelTimeoutMs = 3000;

double CpuSecondsOfThisProcess()
{
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

Counts Probe(HANDLE hPort, const Variant& variant)
{
    Counts counts;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    COMMTIMEOUTS timeouts = variant.timeouts;
    SetCommTimeouts(hPort, &timeouts);
    SetCommMask(hPort, variant.mask);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(hPort, &dcb);
    dcb.EvtChar = variant.eventChar;
    SetCommState(hPort, &dcb);
    PurgeComm(hPort, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);

    const double start = SecondsNow();
    while (SecondsNow() - start < kSecondsPerVariant) {
        DWORD event = 0;
        DWORD count = 0;
        BYTE byte = 0;
        ResetEvent(overlapped.hEvent);
        const BOOL done = variant.mask ? WaitCommEvent(hPort, &event, &overlapped)
                                       : ReadFile(hPort, &byte, 1, &count, &overlapped);
        if (done) {
            ++counts.atOnce;
        } else if (GetLastError() == ERROR_IO_PENDING) {
            ++counts.pending;
            // Bounded, so that a wait that never ends still ends the variant.
            const double left = kSecondsPerVariant - (SecondsNow() - start);
            if (WaitForSingleObject(overlapped.hEvent, left > 0 ? static_cast<DWORD>(left * 1000) + 1 : 1) !=
                WAIT_OBJECT_0) {
                // Still pending at the end: cancelled, and the cancel is
                // given a bounded time to complete.
                CancelIo(hPort);
                const double cancelled = SecondsNow();
                if (WaitForSingleObject(overlapped.hEvent, kCancelTimeoutMs) == WAIT_OBJECT_0)
                    counts.cancelMs = (SecondsNow() - cancelled) * 1000.0;
                else
                    counts.cancelMs = -1;
                break;
            }
            if (!GetOverlappedResult(hPort, &overlapped, &count, FALSE)) {
                ++counts.failed;
                counts.lastError = GetLastError();
            }
        } else {
            ++counts.failed;
            counts.lastError = GetLastError();
            Sleep(1);   // an error returned at once would spin
        }
        ++counts.returns;
        if (variant.mask && event == 0)
            ++counts.noEvent;
        counts.lastEvent = event;
        DWORD errors = 0;
        COMSTAT comstat{};
        if (ClearCommError(hPort, &errors, &comstat) && comstat.cbInQue == 0)
            ++counts.queuedNothing;
    }
    CloseHandle(overlapped.hEvent);
    return counts;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        std::wstring path;
        if (argc > 1)
            path = L"\\\\.\\" + Widen(argv[1]);
        else
            path = L"\\\\.\\COM" + std::to_wstring(ComPairs().at(0).appPort);
        HANDLE hPort = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr);
        if (hPort == INVALID_HANDLE_VALUE)
            ThrowLastError("cannot open " + Narrow(path));

        const COMMTIMEOUTS tapwire{1000, 1000, 1000, 1000, 1000};
        const COMMTIMEOUTS none{0, 0, 0, 0, 0};
        const COMMTIMEOUTS returnAtOnce{MAXDWORD, 0, 0, 0, 0};
        const Variant variants[] = {
            {"WaitCommEvent RXCHAR|RXFLAG, 'q', Tapwire's timeouts", EV_RXCHAR | EV_RXFLAG, 'q', tapwire},
            {"WaitCommEvent RXCHAR, no event char, Tapwire's timeouts", EV_RXCHAR, 0, tapwire},
            {"WaitCommEvent RXCHAR|RXFLAG, 'q', no timeouts", EV_RXCHAR | EV_RXFLAG, 'q', none},
            {"WaitCommEvent RXCHAR, read returns at once", EV_RXCHAR, 0, returnAtOnce},
            {"WaitCommEvent RXFLAG only, 'q'", EV_RXFLAG, 'q', tapwire},
            {"WaitCommEvent CTS|DSR (modem lines)", EV_CTS | EV_DSR, 0, tapwire},
            {"one-byte ReadFile, Tapwire's timeouts", 0, 0, tapwire},
            {"one-byte ReadFile, no timeouts", 0, 0, none},
        };
        std::printf("port wait probe on %s, nothing written, %.0f s per variant\n", Narrow(path).c_str(),
                    kSecondsPerVariant);
        std::fflush(stdout);
        for (const Variant& variant : variants) {
            const double cpuBefore = CpuSecondsOfThisProcess();
            const double before = SecondsNow();
            const Counts c = Probe(hPort, variant);
            const double seconds = SecondsNow() - before;
            const double cpu = CpuSecondsOfThisProcess() - cpuBefore;
            std::printf("  %-58s %7.1f returns/s (at once %u, pending %u, failed %u, last error %lu, "
                        "empty event word %u, nothing queued %u)  CPU %4.1f%% of a core",
                        variant.name, c.returns / seconds, c.atOnce, c.pending, c.failed, c.lastError,
                        c.noEvent, c.queuedNothing, 100.0 * cpu / seconds);
            if (c.cancelMs < 0)
                std::printf("  the cancel of the pending wait did not complete within %lu ms", kCancelTimeoutMs);
            else if (c.cancelMs > 0)
                std::printf("  cancelled in %.1f ms", c.cancelMs);
            std::printf("\n");
            std::fflush(stdout);
        }
        // How a pending wait can be ended: by CancelIo, or by setting the
        // event mask again (which ends a pending wait on Windows).
        for (const bool bySetCommMask : {true, false}) {
            SetCommMask(hPort, EV_RXCHAR | EV_RXFLAG);
            OVERLAPPED overlapped{};
            overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            DWORD event = 0;
            const BOOL done = WaitCommEvent(hPort, &event, &overlapped);
            const bool pending = !done && GetLastError() == ERROR_IO_PENDING;
            if (pending && WaitForSingleObject(overlapped.hEvent, 500) == WAIT_TIMEOUT) {
                const double start = SecondsNow();
                if (bySetCommMask)
                    SetCommMask(hPort, EV_RXCHAR | EV_RXFLAG);
                else
                    CancelIo(hPort);
                const bool ended = WaitForSingleObject(overlapped.hEvent, kCancelTimeoutMs) == WAIT_OBJECT_0;
                DWORD count = 0;
                const BOOL result = ended && GetOverlappedResult(hPort, &overlapped, &count, FALSE);
                std::printf("  a pending wait ended by %-12s %s", bySetCommMask ? "SetCommMask" : "CancelIo",
                            ended ? "" : "did not end within 3000 ms");
                if (ended)
                    std::printf("ended in %.1f ms (%s, error %lu)", (SecondsNow() - start) * 1000.0,
                                result ? "success" : "failure", result ? 0ul : GetLastError());
                std::printf("\n");
            } else {
                std::printf("  a wait to end by %s: it did not stay pending\n",
                            bySetCommMask ? "SetCommMask" : "CancelIo");
            }
            std::fflush(stdout);
            CloseHandle(overlapped.hEvent);
        }
        CloseHandle(hPort);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "port wait probe: %s\n", error.what());
        return 1;
    }
    return 0;
}
