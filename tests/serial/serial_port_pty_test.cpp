// The serial port object on a real (pty) COM port of the harness: the monitor
// thread's hand-over of bytes, the stop request, and the waits for the thread.
#include "Messages.h"
#include "SerialPort.h"

#include "HarnessEnv.h"
#include "Measure.h"
#include "ScannerPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

using wineharness::ComPair;
using wineharness::ComPairs;
using wineharness::HandleCountOf;
using wineharness::OpenDescriptorsOnPort;
using wineharness::ScannerPort;

namespace {

// The owner window, on the test's thread: records the notifications, and
// takes m_byRx while the port thread waits in its send.
class COwnerWnd : public CWnd {
public:
    explicit COwnerWnd(CSerialPort& port) : m_port(port)
    {
        EXPECT_TRUE(CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr));
    }
    ~COwnerWnd() override { DestroyWindow(); }

    struct Note {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Note> notes;
    std::string bytes;
    std::function<void()> onByte;   // runs inside the handler of each WM_PORT_RXCHAR

protected:
    LRESULT OnRxChar(WPARAM wParam, LPARAM lParam)
    {
        notes.push_back({ WM_PORT_RXCHAR, wParam, lParam });
        bytes.push_back(static_cast<char>(m_port.m_byRx));
        if (onByte)
            onByte();
        return 0;
    }
    LRESULT OnRxFlag(WPARAM wParam, LPARAM lParam)
    {
        notes.push_back({ WM_PORT_RXFLAG, wParam, lParam });
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    CSerialPort& m_port;
};

BEGIN_MESSAGE_MAP(COwnerWnd, CWnd)
    ON_MESSAGE(WM_PORT_RXCHAR, OnRxChar)
    ON_MESSAGE(WM_PORT_RXFLAG, OnRxFlag)
END_MESSAGE_MAP()

// Delivers this thread's messages until done() holds; false after the timeout.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    }
    return true;
}

BOOL OpenFor(CSerialPort& port, COwnerWnd& owner, const ComPair& pair)
{
    return port.OpenPort(&owner, static_cast<UINT>(pair.appPort), 9600, L'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 512);
}

std::string Sequence(size_t count, size_t offset = 0)
{
    std::string s;
    for (size_t i = 0; i < count; ++i)
        s.push_back(static_cast<char>('A' + (offset + i) % 26));
    return s;
}

} // namespace

TEST(SerialPortPty, EveryQueuedByteIsOneSyncMessageInOrderThenRxFlag)
{
    const ComPair pair = ComPairs().at(0);
    ScannerPort scanner(pair.scannerPort);
    CSerialPort port;
    COwnerWnd owner(port);
    ASSERT_TRUE(OpenFor(port, owner, pair));
    ASSERT_TRUE(port.StartPortThread());
    ::Sleep(50);   // the thread's own purge is behind us

    const std::string sent = Sequence(20);
    scanner.Write(sent);
    ASSERT_TRUE(PumpUntil([&] {
        return owner.bytes.size() >= 20 && !owner.notes.empty() && owner.notes.back().message == WM_PORT_RXFLAG;
    }));
    EXPECT_EQ(owner.bytes, sent);
    for (const auto& note : owner.notes) {
        EXPECT_EQ(note.lParam, pair.appPort);
        if (note.message == WM_PORT_RXCHAR)
            EXPECT_EQ(note.wParam, 1u);
        else
            EXPECT_EQ(note.wParam, 0u);
    }

    port.SwitchPort(FALSE);
    ASSERT_TRUE(PumpUntil([&] { return !port.IsOpen(); }));
}

TEST(SerialPortPty, AStopDuringADrainStillDeliversEveryQueuedByte)
{
    const ComPair pair = ComPairs().at(0);
    ScannerPort scanner(pair.scannerPort);
    CSerialPort port;
    COwnerWnd owner(port);
    ASSERT_TRUE(OpenFor(port, owner, pair));
    ASSERT_TRUE(port.StartPortThread());
    ::Sleep(50);

    const std::string sent = Sequence(40);
    bool bStopped = false;
    owner.onByte = [&] {
        if (!bStopped) {
            ::Sleep(100);   // let the whole burst reach the queue
            bStopped = port.SwitchPort(FALSE) != FALSE;
        }
    };
    scanner.Write(sent);
    ASSERT_TRUE(PumpUntil([&] { return !port.IsOpen(); }));
    EXPECT_TRUE(bStopped);
    EXPECT_EQ(owner.bytes, sent);
}

TEST(SerialPortPty, ReopeningWhileTheThreadIsBlockedInASendDoesNotDeadlock)
{
    const ComPair pair = ComPairs().at(0);
    ScannerPort scanner(pair.scannerPort);
    CSerialPort port;
    COwnerWnd owner(port);

    // Each cycle: a burst arrives, and after its third byte the owner's thread
    // (like a click on Stop then Start, or a scanner's arrival) stops and
    // reopens while the monitor thread is blocked sending it the next byte.
    // OpenPort must go on delivering those bytes while it waits.
    for (int cycle = 0; cycle < 20; ++cycle) {
        owner.bytes.clear();
        owner.onByte = nullptr;
        ASSERT_TRUE(OpenFor(port, owner, pair)) << "cycle " << cycle;
        ASSERT_TRUE(port.StartPortThread());
        ::Sleep(20);
        const std::string sent = Sequence(30, static_cast<size_t>(cycle));
        bool bReopenAsked = false;
        owner.onByte = [&] {
            if (!bReopenAsked && owner.bytes.size() == 3) {
                bReopenAsked = true;
                ::Sleep(20);   // the rest of the burst is queued; the thread sends on
            }
        };
        scanner.Write(sent);
        ASSERT_TRUE(PumpUntil([&] { return bReopenAsked; })) << "cycle " << cycle;
        port.SwitchPort(FALSE);
        ASSERT_TRUE(OpenFor(port, owner, pair)) << "cycle " << cycle;
        // What arrived is the start of what was sent, in order, nothing doubled.
        EXPECT_GE(owner.bytes.size(), 3u);
        EXPECT_EQ(sent.compare(0, owner.bytes.size(), owner.bytes), 0) << owner.bytes;
        ASSERT_TRUE(port.StartPortThread());
        port.SwitchPort(FALSE);
        ASSERT_TRUE(PumpUntil([&] { return !port.IsOpen(); }));
    }
}

// Wine does not refuse a second open of a serial device, so opening the port
// again would prove nothing: what shows that the port is free is that no
// descriptor of the pty is left, here or in the wineserver, and that the
// process holds as many handles as before.
TEST(SerialPortPty, TheObjectsEndWaitsForItsThreadAndFreesThePort)
{
    const ComPair pair = ComPairs().at(0);
    const auto runPort = [&](const std::function<void()>& whileRunning) {
        CSerialPort port;
        COwnerWnd owner(port);
        ASSERT_TRUE(OpenFor(port, owner, pair));
        ASSERT_TRUE(port.StartPortThread());
        ::Sleep(20);
        whileRunning();
    };
    // A first round makes what the process keeps for good once it is made.
    runPort([] {});
    const size_t nHandles = HandleCountOf(::GetCurrentProcessId());
    const int nDescriptors = OpenDescriptorsOnPort(pair.appPort);

    runPort([&] { EXPECT_GT(OpenDescriptorsOnPort(pair.appPort), nDescriptors) << "the open port is not seen"; });
    EXPECT_EQ(OpenDescriptorsOnPort(pair.appPort), nDescriptors) << "the pty is still held";
    EXPECT_EQ(HandleCountOf(::GetCurrentProcessId()), nHandles);
}

// The monitor thread waits for port events with an overlapped WaitCommEvent on
// the object's OVERLAPPED. A wait still under way when the port closes must be
// finished before the object goes: completed late, it would write into memory
// that belongs to something else by then.
TEST(SerialPortPty, AWaitUnderWayAtTheEndWritesNothingIntoFreedMemory)
{
    const ComPair pair = ComPairs().at(0);
    alignas(CSerialPort) static unsigned char s_storage[sizeof(CSerialPort)];
    for (int round = 0; round < 5; ++round) {
        auto* pPort = new (s_storage) CSerialPort;
        {
            COwnerWnd owner(*pPort);
            ASSERT_TRUE(OpenFor(*pPort, owner, pair));
            ASSERT_TRUE(pPort->StartPortThread());
            ::Sleep(30);   // the thread is in its wait for an event
            pPort->~CSerialPort();
        }
        std::memset(s_storage, 0xA5, sizeof(s_storage));
        ::Sleep(100);
        const size_t nChanged = static_cast<size_t>(
            std::count_if(std::begin(s_storage), std::end(s_storage), [](unsigned char b) { return b != 0xA5; }));
        ASSERT_EQ(nChanged, 0u) << "round " << round;
    }
}

// Wine does not refuse a second open of a serial device (share mode 0 is not
// enforced for it), so a missing port stands in for one held by another program.
TEST(SerialPortPty, APortThatDoesNotOpenShowsNoWarning)
{
    static int s_warnings = 0;
    CommApi comm = RealCommApi();
    comm.MessageBoxA = [](HWND, LPCSTR, LPCSTR, UINT) -> int { ++s_warnings; return IDOK; };
    CSerialPort port;
    port.SetCommApi(&comm);
    COwnerWnd owner(port);
    EXPECT_FALSE(port.OpenPort(&owner, 99, 9600, L'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 512));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(s_warnings, 0);
    // A later open of a port that exists works as usual.
    EXPECT_TRUE(OpenFor(port, owner, ComPairs().at(0)));
}

TEST(SerialPortPty, PortsAboveNineOpenThroughTheDevicePath)
{
    for (const ComPair& pair : ComPairs()) {
        if (pair.appPort < 10)
            continue;
        ScannerPort scanner(pair.scannerPort);
        CSerialPort port;
        COwnerWnd owner(port);
        ASSERT_TRUE(OpenFor(port, owner, pair)) << "COM" << pair.appPort;
        ASSERT_TRUE(port.StartPortThread());
        ::Sleep(50);
        scanner.Write(std::string("12"));
        EXPECT_TRUE(PumpUntil([&] { return owner.bytes == "12"; }));
        return;
    }
    GTEST_SKIP() << "the harness has no port above COM9";
}
