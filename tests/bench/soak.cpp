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
#include "IniFile.h"
#include "Measure.h"
#include "PortsDevice.h"
#include "Process.h"
#include "ScannerPort.h"
#include "TapwireApp.h"
#include "TargetWindow.h"

#include <windows.h>

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
        WriteFileBytes(app.SettingsPath(),
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
        const double start = SecondsNow();
        std::string writeFailure;
        std::thread writer([&] {
            try {
                size_t sent = 0;
                while (sent < traffic.size()) {
                    const size_t due = std::min(
                        traffic.size(), static_cast<size_t>((SecondsNow() - start) * kLineRateBytesPerSecond) + 1);
                    if (due > sent) {
                        scanner.Write(traffic.substr(sent, due - sent));
                        sent = due;
                    }
                    Sleep(5);
                }
            } catch (const std::exception& error) {
                writeFailure = error.what() + std::string(" after ") + std::to_string(SecondsNow() - start) + " s";
            }
        });
        size_t received = 0;
        double lastProgress = SecondsNow();
        double nextReport = SecondsNow() + 30;
        while (received < traffic.size() && SecondsNow() - lastProgress < 30) {
            Sleep(1000);
            const size_t now = target.Events().size() / 3;  // key down, character, key up
            if (now != received) {
                received = now;
                lastProgress = SecondsNow();
            }
            if (SecondsNow() > nextReport) {
                std::printf("soak:   %zu characters typed after %.0f s\n", received, SecondsNow() - start);
                std::fflush(stdout);
                nextReport += 30;
            }
        }
        writer.join();
        if (!writeFailure.empty()) {
            std::printf("soak: the scanner side could not write: %s\n", writeFailure.c_str());
            ok = false;
        }
        const double seconds = lastProgress - start;
        const std::wstring text = target.Text();
        const std::wstring expected(traffic.begin(), traffic.end());
        const TextDifference difference = CompareTexts(expected, text);
        std::printf("soak: %zu of %zu characters typed in %.1f s (%.0f characters/s); lost %zu, doubled or "
                    "reordered %zu\n",
                    text.size(), expected.size(), seconds, text.size() / seconds, difference.lost,
                    difference.extra);
        ok = ok && text == expected;

        // --- 2. Stop/Start cycles with traffic flowing ------------------------------
        std::atomic<bool> stop{false};
        std::thread streamer([&] {
            for (size_t i = 0; !stop; ++i) {
                scanner.Write(std::string("0123456789\r"));
                Sleep(20);
            }
        });
        const size_t handlesBefore = HandleCountOf(app.GetProcess().Id());
        const size_t memoryBefore = PrivateBytesOf(app.GetProcess().Handle());
        const double cyclesStart = SecondsNow();
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
                            HandleCountOf(app.GetProcess().Id()), PrivateBytesOf(app.GetProcess().Handle()) / 1024);
                std::fflush(stdout);
            }
        }
        stop = true;
        streamer.join();
        Sleep(1000);
        const size_t handlesAfter = HandleCountOf(app.GetProcess().Id());
        const size_t memoryAfter = PrivateBytesOf(app.GetProcess().Handle());
        std::printf("soak: %zu of %zu Stop/Start cycles in %.1f s%s\n", done, cycles, SecondsNow() - cyclesStart,
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
