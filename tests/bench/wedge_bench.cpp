// wedge_bench.exe: how fast the real Tapwire.exe turns a scanner's bytes into
// typed text, against the bare cost of reading the same pty one byte per
// ReadFile. Run inside tests/wine/with-harness.sh (make bench). Prints figures;
// it fails only when the harness itself cannot run.
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
#include <exception>
#include <string>
#include <thread>
#include <vector>

using namespace wineharness;

namespace {

constexpr double kLineRateBytesPerSecond = 11520.0;  // 115200 baud, 8N1
constexpr size_t kPayloadCharacters = 10000;
constexpr DWORD kStallTimeoutMs = 8000;  // no progress for this long ends a run

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


RunResult Wedge(const ComPair& pair, const Payload& payload, bool paced)
{
    // The maker's scanner on the pair's app side: the port list preselects
    // it, and the settings start it at once in the payload's encoding.
    FakePortsDevice scannerDevice({L"USB\\VID_2E9B&PID_0002\\5&BENCH&0&1",
                                   L"USB Serial Device (COM" + std::to_wstring(pair.appPort) + L")",
                                   {L"USB\\VID_2E9B&PID_0002&REV_0100", L"USB\\VID_2E9B&PID_0002"}});
    TapwireApp app;
    WriteFileBytes(app.SettingsPath(),
                   "[Encoding Setting]\r\nEncoding=" + std::to_string(payload.encoding) +
                       "\r\n[Start Setting]\r\nBootRun=0\r\nRunMini=0\r\nRunStart=1\r\n"
                       "[Language Setting]\r\nLanguage=1\r\n"
                       "[Uart Setting]\r\nComPort=0\r\nBaudRate=9\r\nParityBit=0\r\nDataBit=1\r\nStopBit=0\r\n");
    TargetWindow target;
    app.Start();
    target.Activate();
    Sleep(300);  // let the port thread reach its first wait

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
    app.Close();
    return result;
}

// `complete`: the share of the payload that arrived.
void Print(const char* what, const Payload& payload, const RunResult& run, double complete,
           const RunResult* bare)
{
    const double charsPerSecond = payload.characters * complete / std::max(run.seconds, 1e-9);
    const double bytesPerSecond = static_cast<double>(payload.bytes.size()) / std::max(run.seconds, 1e-9);
    std::printf("  %-12s %8.0f chars/s %8.0f bytes/s", what, charsPerSecond, bytesPerSecond);
    if (bare)
        std::printf("  %5.1f%% of bare drain", 100.0 * bare->seconds / run.seconds);
    std::printf("  %5.1f%% of line rate  tail %7.1f ms  lost %zu, doubled or reordered %zu\n",
                100.0 * bytesPerSecond / kLineRateBytesPerSecond, run.tailMs, run.difference.lost,
                run.difference.extra);
    std::fflush(stdout);
}

}  // namespace

// wedge_bench.exe [filter]: with a filter, only the runs whose label
// ("ascii paced", "utf8 unpaced", ...) contains it.
int main(int argc, char** argv)
{
    const std::string filter = argc > 1 ? argv[1] : "";
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
                const RunResult bare = BareDrain(pair, payload, paced);
                Print("bare drain", payload, bare,
                      static_cast<double>(bare.received) / payload.bytes.size(), nullptr);
                const RunResult wedge = Wedge(pair, payload, paced);
                Print("Tapwire", payload, wedge,
                      static_cast<double>(wedge.received) / payload.expected.size(), &bare);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wedge benchmark: %s\n", error.what());
        return 1;
    }
    return 0;
}
