// wedge_bench.exe: how fast the real Tapwire.exe turns a scanner's bytes into
// typed text, against the bare cost of reading the same pty one byte per
// ReadFile; what a started port costs while nothing arrives; and how soon
// scans of the usual kinds are typed. Run inside tests/wine/with-harness.sh
// (make bench). Prints figures, never judges them; it fails (exit code 1)
// when a run loses, doubles or reorders characters, and says so.
//
// For each payload (ASCII barcodes with Tab and CR; UTF-8 text with CJK) and
// each mode (paced at the 115200-baud line rate, and unpaced), it measures:
//   - the bare drain: a thread of this program reads the app side of a port
//     pair one byte per overlapped ReadFile, nothing else;
//   - the wedge: Tapwire.exe with that port started, typing into TargetWindow.
// and prints characters per second, the ratios to the bare drain and to the
// line rate, the time from the last byte written to the last character
// received, and how many characters were lost or came in doubled or out of
// order (the difference to the expected text).
//
// "idle": Tapwire with its port started and nothing arriving, the CPU that it
// and the wineserver use over 30 s, then the time one scan takes after that
// rest (BENCH_REST_SECONDS sets the rest, default 30).
// "scans": 200 scans of 12 to 48 characters (EAN-13, GS1-128 with a group
// separator, a URL, a UTF-8 line with CJK), each ended by CR, written at the
// line rate 150 ms apart: median, 95th percentile and worst time from a
// scan's last byte written to its last character received.
//
// BENCH_CHARS sets the payload size (default 10000). BENCH_REPEAT=<n> runs
// each selected throughput measurement n times with a fresh Tapwire.exe and
// prints how many of the runs were complete, for faults that show rarely.
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

constexpr double kLineRateBytesPerSecond = 11520.0;  // 115200 baud, 8N1
constexpr DWORD kStallTimeoutMs = 8000;  // no progress for this long ends a run

size_t EnvironmentNumber(const char* name, size_t fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    return static_cast<size_t>(std::strtoul(text, nullptr, 10));
}

const size_t kPayloadCharacters = std::max<size_t>(EnvironmentNumber("BENCH_CHARS", 10000), 1);

struct Payload {
    const char* name;
    int encoding;              // Tapwire's encoding index
    std::vector<uint8_t> bytes;
    std::wstring expected;     // the UTF-16 units the target window must receive
    size_t characters;         // code points
};

void AppendUtf8(std::vector<uint8_t>& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<uint8_t>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<uint8_t>(0xC0 | (c >> 6)));
        out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<uint8_t>(0xE0 | (c >> 12)));
        out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<uint8_t>(0xF0 | (c >> 18)));
        out.push_back(static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    }
}

void AppendUnits(std::wstring& out, char32_t c)
{
    if (c < 0x10000) {
        out.push_back(static_cast<wchar_t>(c));
    } else {
        out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
}

Payload MakePayload(const char* name, int encoding, const std::vector<std::u32string>& fields)
{
    Payload payload{name, encoding, {}, {}, 0};
    // Fields separated by Tab, a CR after every fourth: rows of a scanned form.
    for (size_t i = 0; payload.characters < kPayloadCharacters; ++i) {
        std::u32string field = fields[i % fields.size()];
        field += (i % 4 == 3) ? U'\r' : U'\t';
        for (char32_t c : field) {
            if (payload.characters == kPayloadCharacters)
                break;
            AppendUtf8(payload.bytes, c);
            AppendUnits(payload.expected, c);
            ++payload.characters;
        }
    }
    return payload;
}

Payload AsciiPayload()
{
    return MakePayload("ASCII barcodes", 0,
                       {U"4006381333931", U"(01)09501101530003", U"LOT-ABC123", U"SN 7781-22-0093",
                        U"https://example.com/p?id=42&q=7", U"PAYLOAD-0001;PAYLOAD-0002;"});
}

Payload Utf8Payload()
{
    return MakePayload("UTF-8 text", 3,
                       {U"Lieferung", U"中文条码", U"テスト", U"né café", U"4006381333931",
                        U"Größe 42", U"数量 12", U"\U0001F600"});
}

// --- the writer ------------------------------------------------------------

struct WriteResult {
    double start = 0;
    double end = 0;  // when the last byte was handed to the pty
};

// Writes the payload into the scanner side, paced at the line rate or as fast
// as the pty takes it.
WriteResult WritePayload(ScannerPort& scanner, const std::vector<uint8_t>& bytes, bool paced)
{
    WriteResult result;
    result.start = SecondsNow();
    if (!paced) {
        scanner.Write(bytes);
    } else {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const size_t due = std::min(bytes.size(),
                                        static_cast<size_t>((SecondsNow() - result.start) * kLineRateBytesPerSecond) + 1);
            if (due > sent) {
                scanner.Write(std::vector<uint8_t>(bytes.begin() + sent, bytes.begin() + due));
                sent = due;
            }
            Sleep(1);
        }
    }
    result.end = SecondsNow();
    return result;
}

// --- counting what arrived ----------------------------------------------------

// --- the bare drain -----------------------------------------------------------

struct RunResult {
    double seconds = 0;      // first byte written to last byte (or character) received
    double tailMs = 0;       // last byte written to last received
    size_t received = 0;     // bytes (drain) or UTF-16 units (wedge)
    TextDifference difference;
};

RunResult BareDrain(const ComPair& pair, const Payload& payload, bool paced)
{
    HANDLE hPort = OpenAppSide(pair.appPort);

    std::vector<uint8_t> received;
    received.reserve(payload.bytes.size());
    std::atomic<double> lastRead{0};
    std::thread reader([&] {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        double lastProgress = SecondsNow();
        while (received.size() < payload.bytes.size() && SecondsNow() - lastProgress < kStallTimeoutMs / 1000.0) {
            uint8_t byte = 0;
            if (ReadOneByte(hPort, overlapped, byte) == 1) {
                received.push_back(byte);
                lastProgress = SecondsNow();
                lastRead = lastProgress;
            }
        }
        CloseHandle(overlapped.hEvent);
    });

    ScannerPort scanner(pair.scannerPort);
    const WriteResult written = WritePayload(scanner, payload.bytes, paced);
    reader.join();
    CloseHandle(hPort);

    RunResult result;
    result.received = received.size();
    result.seconds = lastRead - written.start;
    result.tailMs = (lastRead - written.end) * 1000.0;
    const std::wstring expectedBytes(payload.bytes.begin(), payload.bytes.end());
    const std::wstring receivedBytes(received.begin(), received.end());
    result.difference = CompareTexts(expectedBytes, receivedBytes);
    return result;
}

// --- the wedge ----------------------------------------------------------------


// The settings of a Tapwire that starts the pair's port at once in the given
// encoding, in English.
// in English; `more` is appended as it is (further sections).
std::string StartedSettings(int encoding, const std::string& more = "")
{
    return "[Encoding Setting]\r\nEncoding=" + std::to_string(encoding) +
           "\r\n[Start Setting]\r\nBootRun=0\r\nRunMini=0\r\nRunStart=1\r\n"
           "[Language Setting]\r\nLanguage=1\r\n"
           "[Uart Setting]\r\nComPort=0\r\nBaudRate=9\r\nParityBit=0\r\nDataBit=1\r\nStopBit=0\r\n" +
           more;
}

// Tapwire.exe with the maker's scanner on the pair's app side (the port
// list preselects it, the settings start it), and the target window in front.
class StartedWedge {
public:
    StartedWedge(const ComPair& pair, int encoding, const std::string& moreSettings = "")
        : m_device({L"USB\\VID_2E9B&PID_0002\\5&BENCH&0&1",
                    L"USB Serial Device (COM" + std::to_wstring(pair.appPort) + L")",
                    {L"USB\\VID_2E9B&PID_0002&REV_0100", L"USB\\VID_2E9B&PID_0002"}})
    {
        WriteFileBytes(m_app.SettingsPath(), StartedSettings(encoding, moreSettings));
        m_dialog = m_app.Start();
        m_target.Activate();
        Sleep(300);  // let the port thread reach its first wait
    }
    ~StartedWedge() { m_app.Close(); }

    TapwireApp& App() { return m_app; }
    TargetWindow& Target() { return m_target; }

    // What a run that came out short needs to be understood: who has the
    // foreground and what Tapwire's button says.
    std::string Situation() const
    {
        const HWND foreground = GetForegroundWindow();
        DWORD owner = 0;
        GetWindowThreadProcessId(foreground, &owner);
        std::string who = !foreground ? "no window"
                          : owner == m_app.GetProcess().Id() ? "Tapwire (" + Narrow(Window(foreground).ClassName()) + ")"
                          : m_target.IsForeground()          ? "the target window"
                                                             : "another window (" + Narrow(Window(foreground).ClassName()) + ")";
        return "foreground: " + who + "; Tapwire's button: \"" + Narrow(m_dialog.Child(1017).Text()) +
               "\"; Tapwire " + (m_app.GetProcess().IsRunning() ? "runs" : "has ended") + "; the target saw " +
               std::to_string(m_target.Events().size()) + " key and character events";
    }

private:
    FakePortsDevice m_device;
    TargetWindow m_target;   // started first, as a user's window would be
    TapwireApp m_app;
    Window m_dialog;
};

RunResult Wedge(const ComPair& pair, const Payload& payload, bool paced, std::string& situation)
{
    StartedWedge wedge(pair, payload.encoding);
    TargetWindow& target = wedge.Target();

    ScannerPort scanner(pair.scannerPort);
    WriteResult written;
    std::thread writer([&] { written = WritePayload(scanner, payload.bytes, paced); });

    RunResult result;
    double lastArrival = SecondsNow();
    size_t units = 0;
    while (units < payload.expected.size() && SecondsNow() - lastArrival < kStallTimeoutMs / 1000.0) {
        Sleep(5);
        const size_t now = target.Text().size();
        if (now != units) {
            units = now;
            lastArrival = SecondsNow();
        }
    }
    writer.join();
    const std::wstring received = target.Text();
    result.received = received.size();
    result.seconds = lastArrival - written.start;
    result.tailMs = (lastArrival - written.end) * 1000.0;
    result.difference = CompareTexts(payload.expected, received);
    if (result.difference.lost || result.difference.extra || result.difference.tooDifferent)
        situation = wedge.Situation();
    return result;
}

bool Complete(const RunResult& run)
{
    return run.difference.lost == 0 && run.difference.extra == 0 && !run.difference.tooDifferent;
}

// A run that lost, doubled or reordered characters: said plainly, no rates.
void PrintFailure(const char* what, size_t expectedUnits, const RunResult& run, const std::string& situation)
{
    std::printf("  %-12s FAILED: %zu of %zu characters arrived", what, run.received, expectedUnits);
    if (run.received < expectedUnits)
        std::printf("; nothing for %.0f s", kStallTimeoutMs / 1000.0);
    std::printf(" (lost %zu, doubled or reordered %zu%s)\n", run.difference.lost, run.difference.extra,
                run.difference.tooDifferent ? ", too different to count" : "");
    if (!situation.empty())
        std::printf("  %-12s %s\n", "", situation.c_str());
    std::fflush(stdout);
}

// The figures of a complete run.
void Print(const char* what, const Payload& payload, const RunResult& run, const RunResult* bare)
{
    const double charsPerSecond = payload.characters / std::max(run.seconds, 1e-9);
    const double bytesPerSecond = static_cast<double>(payload.bytes.size()) / std::max(run.seconds, 1e-9);
    std::printf("  %-12s %8.0f chars/s %8.0f bytes/s", what, charsPerSecond, bytesPerSecond);
    if (bare)
        std::printf("  %5.1f%% of bare drain", 100.0 * bare->seconds / run.seconds);
    std::printf("  %5.1f%% of line rate  tail %7.1f ms  lost %zu, doubled or reordered %zu\n",
                100.0 * bytesPerSecond / kLineRateBytesPerSecond, run.tailMs, run.difference.lost,
                run.difference.extra);
    std::fflush(stdout);
}

// --- a started port at rest ------------------------------------------------

// The CPU that Tapwire.exe and the wineserver use while the port is started
// and nothing arrives, then one scan after that rest. False when the scan
// did not arrive whole.
bool Idle(const ComPair& pair)
{
    const double restSeconds = static_cast<double>(EnvironmentNumber("BENCH_REST_SECONDS", 30));
    StartedWedge wedge(pair, 3);
    Sleep(1000);  // the start itself is not rest
    const LinuxProcesses tapwireProcess = LinuxProcesses::WithCommandLine("Tapwire.exe");
    const LinuxProcesses server = LinuxProcesses::Named("wineserver");
    if (tapwireProcess.Count() != 1 || server.Count() != 1)
        throw HarnessError("cannot tell Tapwire.exe and the wineserver among the Linux processes (" +
                           std::to_string(tapwireProcess.Count()) + " and " + std::to_string(server.Count()) +
                           " found)");
    const double tapwireBefore = tapwireProcess.CpuSeconds();
    const double serverBefore = server.CpuSeconds();
    const double start = SecondsNow();
    Sleep(static_cast<DWORD>(restSeconds * 1000));
    const double seconds = SecondsNow() - start;
    const double tapwire = tapwireProcess.CpuSeconds() - tapwireBefore;
    const double serverSeconds = server.CpuSeconds() - serverBefore;
    std::printf("  at rest for %.0f s, port started: Tapwire %.2f%% of a core, wineserver %.2f%%\n", seconds,
                100.0 * tapwire / seconds, 100.0 * serverSeconds / seconds);

    // One scan at the line rate after the rest: the last character's delay.
    const std::string scan = "4006381333931\r";
    ScannerPort scanner(pair.scannerPort);
    const double writeStart = SecondsNow();
    const WriteResult written = WritePayload(scanner, std::vector<uint8_t>(scan.begin(), scan.end()), true);
    const std::wstring received = wedge.Target().WaitForText(scan.size(), kStallTimeoutMs);
    const double arrived = SecondsNow();
    const std::wstring expected(scan.begin(), scan.end());
    if (received != expected) {
        RunResult run;
        run.received = received.size();
        run.difference = CompareTexts(expected, received);
        PrintFailure("scan", expected.size(), run, wedge.Situation());
        return false;
    }
    std::printf("  a scan after the rest: last character %.1f ms after the last byte (%.1f ms after the first)\n",
                (arrived - written.end) * 1000.0, (arrived - writeStart) * 1000.0);
    std::fflush(stdout);
    return true;
}

// --- scans as people make them ---------------------------------------------

struct Scan {
    std::vector<uint8_t> bytes;
    std::wstring expected;
};

Scan MakeScan(const std::u32string& text)
{
    Scan scan;
    for (char32_t c : text + U"\r") {
        AppendUtf8(scan.bytes, c);
        AppendUnits(scan.expected, c);
    }
    return scan;
}

// 200 scans at the line rate, 150 ms apart. False when characters were lost,
// doubled or reordered.
bool Scans(const ComPair& pair)
{
    const std::vector<std::u32string> kinds = {
        U"4006381333931",                                        // EAN-13
        U"(01)09501101530003\x1D(10)LOT-ABC123\x1D(21)7781220093",  // GS1-128 with group separators
        U"https://example.com/p?id=42&q=7",                      // a URL
        U"Lieferung 中文条码 テスト 数量 12",                    // UTF-8 with CJK
    };
    constexpr size_t kScans = 200;
    constexpr double kGapSeconds = 0.150;
    StartedWedge wedge(pair, 3);
    TargetWindow& target = wedge.Target();
    ScannerPort scanner(pair.scannerPort);

    std::wstring expected;
    std::vector<double> delaysMs;
    size_t late = 0;
    for (size_t i = 0; i < kScans; ++i) {
        const double scanStart = SecondsNow();
        const Scan scan = MakeScan(kinds[i % kinds.size()]);
        expected += scan.expected;
        const WriteResult written = WritePayload(scanner, scan.bytes, true);
        // The record grows by whole events; wait until it holds this scan.
        bool arrived = false;
        while (SecondsNow() - written.end < 2.0) {
            if (target.Text().size() >= expected.size()) {
                arrived = true;
                break;
            }
            Sleep(1);
        }
        if (arrived)
            delaysMs.push_back((SecondsNow() - written.end) * 1000.0);
        else
            ++late;
        while (SecondsNow() - scanStart < kGapSeconds)
            Sleep(1);
    }
    const std::wstring received = target.WaitForText(expected.size(), 2000);
    RunResult run;
    run.received = received.size();
    run.difference = CompareTexts(expected, received);
    if (!Complete(run)) {
        PrintFailure("scans", expected.size(), run, wedge.Situation());
        return false;
    }
    std::sort(delaysMs.begin(), delaysMs.end());
    auto percentile = [&](double p) {
        return delaysMs.empty() ? 0.0 : delaysMs[std::min(delaysMs.size() - 1, static_cast<size_t>(p * delaysMs.size()))];
    };
    std::printf("  %zu scans, last byte to last character: median %.1f ms, 95th percentile %.1f ms, worst %.1f ms%s;"
                " lost 0, doubled or reordered 0\n",
                kScans, percentile(0.5), percentile(0.95), delaysMs.empty() ? 0.0 : delaysMs.back(),
                late ? (", " + std::to_string(late) + " scans took over 2 s").c_str() : "");
    std::fflush(stdout);
    return true;
}

// --- the typing choices ------------------------------------------------------

// One scan written at once under each choice of Settings › Typing: the rate
// at which its characters reach the window. False when characters were lost,
// doubled or reordered.
bool TypingChoices(const ComPair& pair)
{
    struct Choice {
        const char* name;
        int delayMs;
        int keyMode;
        size_t characters;
    };
    const Choice choices[] = {
        {"no pause", 0, 0, 1000}, {"5 ms", 5, 0, 300},   {"20 ms", 20, 0, 100},
        {"50 ms", 50, 0, 50},     {"keyboard keys", 0, 1, 1000},
    };
    // Letters of both cases, digits and signs: keyboard keys press Shift too.
    const std::string pattern = "Lot-4006381333931/Ab7;";
    bool complete = true;
    for (const Choice& choice : choices) {
        std::string text;
        while (text.size() < choice.characters)
            text += pattern;
        text.resize(choice.characters);
        StartedWedge wedge(pair, 0,
                           "[Typing Setting]\r\nKeyDelay=" + std::to_string(choice.delayMs) +
                               "\r\nKeyMode=" + std::to_string(choice.keyMode) + "\r\n");
        TargetWindow& target = wedge.Target();
        ScannerPort scanner(pair.scannerPort);
        const double written = SecondsNow();
        scanner.Write(text);
        double first = 0;
        double last = SecondsNow();
        size_t units = 0;
        while (units < text.size() && SecondsNow() - last < kStallTimeoutMs / 1000.0) {
            Sleep(1);
            const size_t now = target.Text().size();
            if (now != units) {
                if (units == 0)
                    first = SecondsNow();
                units = now;
                last = SecondsNow();
            }
        }
        RunResult run;
        const std::wstring received = target.Text();
        run.received = received.size();
        run.difference = CompareTexts(std::wstring(text.begin(), text.end()), received);
        if (!Complete(run)) {
            PrintFailure(choice.name, text.size(), run, wedge.Situation());
            complete = false;
            continue;
        }
        const double seconds = last - first;
        std::printf("  %-14s %7.0f chars/s  %6.1f ms per character  first after %.1f ms  (%zu characters)"
                    "  lost 0, doubled or reordered 0\n",
                    choice.name, seconds > 0 ? (text.size() - 1) / seconds : 0.0,
                    text.size() > 1 ? seconds * 1000.0 / (text.size() - 1) : 0.0, (first - written) * 1000.0,
                    text.size());
        std::fflush(stdout);
    }
    return complete;
}

}  // namespace

// wedge_bench.exe [filter]: with a filter, only the runs whose label
// ("ascii paced", "utf8 unpaced", "idle", "scans", "typing", ...) contains it.
int main(int argc, char** argv)
{
    const std::string filter = argc > 1 ? argv[1] : "";
    const size_t repeat = EnvironmentNumber("BENCH_REPEAT", 0);
    bool failed = false;
    try {
        const ComPair pair = ComPairs().at(0);
        std::printf("wedge benchmark: %zu-character payloads through COM%d, line rate %.0f bytes/s\n",
                    kPayloadCharacters, pair.appPort, kLineRateBytesPerSecond);
        for (const Payload& payload : {AsciiPayload(), Utf8Payload()}) {
            for (bool paced : {true, false}) {
                const std::string label = std::string(payload.encoding == 0 ? "ascii" : "utf8") +
                                          (paced ? " paced" : " unpaced");
                if (label.find(filter) == std::string::npos)
                    continue;
                std::printf("%s (%zu bytes), %s:\n", payload.name, payload.bytes.size(),
                            paced ? "paced at the line rate" : "unpaced");
                if (repeat > 0) {
                    size_t complete = 0;
                    for (size_t i = 0; i < repeat; ++i) {
                        std::string situation;
                        const RunResult wedge = Wedge(pair, payload, paced, situation);
                        if (Complete(wedge)) {
                            ++complete;
                        } else {
                            std::printf("  run %zu:\n", i + 1);
                            PrintFailure("Tapwire", payload.expected.size(), wedge, situation);
                        }
                    }
                    std::printf("  %zu of %zu runs complete\n", complete, repeat);
                    failed |= complete != repeat;
                    continue;
                }
                const RunResult bare = BareDrain(pair, payload, paced);
                if (!Complete(bare)) {
                    PrintFailure("bare drain", payload.bytes.size(), bare, "");
                    failed = true;
                    continue;
                }
                Print("bare drain", payload, bare, nullptr);
                std::string situation;
                const RunResult wedge = Wedge(pair, payload, paced, situation);
                if (!Complete(wedge)) {
                    PrintFailure("Tapwire", payload.expected.size(), wedge, situation);
                    failed = true;
                    continue;
                }
                Print("Tapwire", payload, wedge, &bare);
            }
        }
        if (repeat == 0 && std::string("idle").find(filter) != std::string::npos) {
            std::printf("A started port at rest:\n");
            failed |= !Idle(pair);
        }
        if (repeat == 0 && std::string("scans").find(filter) != std::string::npos) {
            std::printf("Scans (EAN-13, GS1-128, URL, UTF-8 with CJK), 150 ms apart at the line rate:\n");
            failed |= !Scans(pair);
        }
        if (repeat == 0 && std::string("typing").find(filter) != std::string::npos) {
            std::printf("Settings > Typing, one scan written at once under each choice:\n");
            failed |= !TypingChoices(pair);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wedge benchmark: %s\n", error.what());
        return 1;
    }
    if (failed)
        std::printf("wedge benchmark FAILED: characters were lost, doubled or reordered (see above)\n");
    return failed ? 1 : 0;
}
