// stage_bench.exe: where the wedge's time goes, stage by stage, on a pty port
// pair of the harness (make bench runs it inside tests/wine/with-harness.sh).
// Each stage adds one piece of the path a received byte takes in Tapwire:
//   1. the bare drain: one overlapped one-byte ReadFile per byte;
//   2. the serial port object: its monitor thread hands each byte to a window
//      of this thread by a synchronous message, and the window does nothing;
//   3. the same, and the window decodes the byte and types it with SendInput
//      into TargetWindow, as Tapwire's dialog does.
// Prints bytes per second for each stage and its share of the bare drain.
#include "HarnessEnv.h"
#include "Measure.h"
#include "KeyEvents.h"
#include "Messages.h"
#include "ScannerPort.h"
#include "SerialPort.h"
#include "TargetWindow.h"
#include "Typing.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

using namespace wineharness;

namespace {

// TAPWIRE_BENCH_BYTES overrides the payload's size (a short run under a
// WINEDEBUG trace shows the calls each byte costs).
size_t PayloadSize()
{
    const char* text = std::getenv("TAPWIRE_BENCH_BYTES");
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return value > 0 ? static_cast<size_t>(value) : 10000;
}

std::vector<uint8_t> Payload()
{
    std::vector<uint8_t> bytes;
    const size_t size = PayloadSize();
    for (size_t i = 0; i < size; ++i)
        bytes.push_back(i % 20 == 19 ? '\r' : static_cast<uint8_t>('A' + i % 26));
    return bytes;
}

double BareDrain(const ComPair& pair, const std::vector<uint8_t>& payload)
{
    HANDLE hPort = OpenAppSide(pair.appPort);
    ScannerPort scanner(pair.scannerPort);
    const double start = SecondsNow();
    std::thread writer([&] { scanner.Write(payload); });
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    size_t received = 0;
    while (received < payload.size()) {
        uint8_t byte = 0;
        if (ReadOneByte(hPort, overlapped, byte) == 0)
            break;
        ++received;
    }
    const double seconds = SecondsNow() - start;
    writer.join();
    CloseHandle(overlapped.hEvent);
    CloseHandle(hPort);
    return received == payload.size() ? payload.size() / seconds : 0.0;
}

// The owner of the port: takes each byte, and types it when asked to.
class COwnerWnd : public CWnd {
public:
    COwnerWnd(CSerialPort& port, bool bType) : m_port(port), m_bType(bType)
    {
        CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr);
    }
    ~COwnerWnd() override { DestroyWindow(); }
    size_t m_nBytes = 0;

protected:
    LRESULT OnRxChar(WPARAM wParam, LPARAM)
    {
        if (wParam == 0)
            return 0;
        ++m_nBytes;
        if (m_bType)
            tapwire::DispatchReceivedByte(m_state, tapwire::ENC_ASCII, true, m_port.m_byRx, ConvertCodePage,
                                          kTypingOperations);
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    CSerialPort& m_port;
    bool m_bType;
    tapwire::DecoderState m_state;
};

BEGIN_MESSAGE_MAP(COwnerWnd, CWnd)
    ON_MESSAGE(WM_PORT_RXCHAR, OnRxChar)
END_MESSAGE_MAP()

double SerialPortStage(const ComPair& pair, const std::vector<uint8_t>& payload, bool bType)
{
    CSerialPort port;
    COwnerWnd owner(port, bType);
    if (!port.OpenPort(&owner, static_cast<UINT>(pair.appPort), 115200, L'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 512))
        throw HarnessError("the serial port object did not open the port");
    port.StartPortThread();
    Sleep(200);
    ScannerPort scanner(pair.scannerPort);
    const double start = SecondsNow();
    std::thread writer([&] { scanner.Write(payload); });
    double last = start;
    while (owner.m_nBytes < payload.size() && SecondsNow() - last < 5.0) {
        const size_t before = owner.m_nBytes;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (owner.m_nBytes != before)
            last = SecondsNow();
    }
    writer.join();
    return owner.m_nBytes == payload.size() ? payload.size() / (last - start) : 0.0;
}

}  // namespace

int main()
{
    try {
        const ComPair pair = ComPairs().at(0);
        const std::vector<uint8_t> payload = Payload();
        std::printf("stage benchmark: %zu bytes through COM%d, unpaced\n", payload.size(), pair.appPort);
        const double bare = BareDrain(pair, payload);
        std::printf("  bare one-byte drain           %8.0f bytes/s\n", bare);
        const double handOver = SerialPortStage(pair, payload, false);
        std::printf("  + hand-over to a window       %8.0f bytes/s  %5.1f%% of bare\n", handOver,
                    100.0 * handOver / bare);
        TargetWindow target;
        const double typed = SerialPortStage(pair, payload, true);
        std::printf("  + decoding and SendInput      %8.0f bytes/s  %5.1f%% of bare\n", typed,
                    100.0 * typed / bare);
        const std::wstring text = target.WaitForText(payload.size(), 30000);
        std::printf("    the target window received %zu of %zu characters\n", text.size(), payload.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "stage benchmark: %s\n", error.what());
        return 1;
    }
    return 0;
}
