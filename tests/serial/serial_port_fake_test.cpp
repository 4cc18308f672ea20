// OpenPort's order of calls and its failure paths, and the monitor thread at a
// stop, with a fake behind the comm calls.
#include "Messages.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The fake records every call; a call named in failOn fails.
struct FakeComm {
    static std::vector<std::string> calls;
    static std::string failOn;
    static std::wstring openedPath;
    static std::wstring definition;
    static COMMTIMEOUTS timeouts;
    static DCB dcbSet;
    static DWORD mask;
    static std::string warning;
    static std::string warningCaption;
    static const HANDLE kPort;

    static BOOL Result(const char* name)
    {
        calls.push_back(name);
        if (failOn == name) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return TRUE;
    }
    static HANDLE WINAPI CreateFileW(LPCWSTR path, DWORD, DWORD share, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE)
    {
        openedPath = path;
        EXPECT_EQ(share, 0u);
        EXPECT_EQ(flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
        return Result("CreateFileW") ? kPort : INVALID_HANDLE_VALUE;
    }
    static BOOL WINAPI CloseHandle(HANDLE) { return Result("CloseHandle"); }
    static BOOL WINAPI SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS pTimeouts) { timeouts = *pTimeouts; return Result("SetCommTimeouts"); }
    static BOOL WINAPI SetCommMask(HANDLE, DWORD dwMask) { mask = dwMask; return Result("SetCommMask"); }
    static BOOL WINAPI GetCommMask(HANDLE, LPDWORD) { return Result("GetCommMask"); }
    static BOOL WINAPI GetCommState(HANDLE, LPDCB pDcb)
    {
        *pDcb = {};
        pDcb->DCBlength = sizeof(DCB);
        pDcb->fRtsControl = RTS_CONTROL_HANDSHAKE;
        pDcb->BaudRate = 300;
        return Result("GetCommState");
    }
    static BOOL WINAPI BuildCommDCBW(LPCWSTR def, LPDCB pDcb)
    {
        definition = def;
        EXPECT_EQ(pDcb->fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
        EXPECT_EQ(pDcb->EvtChar, 'q');
        return Result("BuildCommDCB");
    }
    static BOOL WINAPI SetCommState(HANDLE, LPDCB pDcb) { dcbSet = *pDcb; return Result("SetCommState"); }
    static BOOL WINAPI PurgeComm(HANDLE, DWORD flags)
    {
        EXPECT_EQ(flags, static_cast<DWORD>(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR));
        return Result("PurgeComm");
    }
    static BOOL WINAPI WaitCommEvent(HANDLE, LPDWORD, LPOVERLAPPED) { return Result("WaitCommEvent"); }
    static BOOL WINAPI ClearCommError(HANDLE, LPDWORD, LPCOMSTAT) { return Result("ClearCommError"); }
    static BOOL WINAPI ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) { return Result("ReadFile"); }
    static BOOL WINAPI WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) { return Result("WriteFile"); }
    static BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED, LPDWORD, BOOL) { return Result("GetOverlappedResult"); }
    static BOOL WINAPI CancelIo(HANDLE) { return Result("CancelIo"); }
    static int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
    {
        calls.push_back("MessageBoxA");
        warning = text;
        warningCaption = caption;
        EXPECT_EQ(type, static_cast<UINT>(MB_ICONERROR | MB_SYSTEMMODAL));
        return IDOK;
    }

    static const CommApi api;

    static void Reset(std::string failing)
    {
        calls.clear();
        failOn = std::move(failing);
        openedPath.clear();
        definition.clear();
        warning.clear();
        warningCaption.clear();
    }
};

std::vector<std::string> FakeComm::calls;
std::string FakeComm::failOn;
std::wstring FakeComm::openedPath;
std::wstring FakeComm::definition;
COMMTIMEOUTS FakeComm::timeouts;
DCB FakeComm::dcbSet;
DWORD FakeComm::mask;
std::string FakeComm::warning;
std::string FakeComm::warningCaption;
const HANDLE FakeComm::kPort = reinterpret_cast<HANDLE>(0x4242);
const CommApi FakeComm::api = {
    FakeComm::CreateFileW, FakeComm::CloseHandle, FakeComm::SetCommTimeouts, FakeComm::SetCommMask,
    FakeComm::GetCommMask, FakeComm::GetCommState, FakeComm::BuildCommDCBW, FakeComm::SetCommState,
    FakeComm::PurgeComm, FakeComm::WaitCommEvent, FakeComm::ClearCommError, FakeComm::ReadFile,
    FakeComm::WriteFile, FakeComm::GetOverlappedResult, FakeComm::CancelIo, FakeComm::MessageBoxA,
};

BOOL Open(CSerialPort& port, UINT nPort = 12)
{
    port.SetCommApi(&FakeComm::api);
    return port.OpenPort(nullptr, nPort, 115200, L'E', 7, 2, EV_RXCHAR | EV_RXFLAG, 512);
}

} // namespace

TEST(SerialPortOpen, ConfiguresInOrderThroughTheDevicePath)
{
    FakeComm::Reset("");
    CSerialPort port;
    EXPECT_TRUE(Open(port));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(FakeComm::calls, (std::vector<std::string>{ "CreateFileW", "SetCommTimeouts", "SetCommMask",
                                                         "GetCommState", "BuildCommDCB", "SetCommState",
                                                         "PurgeComm" }));
    EXPECT_EQ(FakeComm::openedPath, L"\\\\.\\COM12");
    EXPECT_EQ(FakeComm::definition, L"baud=115200 parity=E data=7 stop=2");
    EXPECT_EQ(FakeComm::mask, static_cast<DWORD>(EV_RXCHAR | EV_RXFLAG));
    const COMMTIMEOUTS& t = FakeComm::timeouts;
    for (DWORD value : { t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                         t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant })
        EXPECT_EQ(value, 1000u);
    EXPECT_EQ(FakeComm::dcbSet.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(FakeComm::dcbSet.EvtChar, 'q');
}

TEST(SerialPortOpen, AFailingConfigurationCallIsReportedAndTheRestSkipped)
{
    struct Case {
        const char* failing;
        const char* reportedName;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        { "SetCommTimeouts", "SetCommTimeouts()", { "CreateFileW", "SetCommTimeouts", "MessageBoxA", "PurgeComm" } },
        { "SetCommMask", "SetCommMask()", { "CreateFileW", "SetCommTimeouts", "SetCommMask", "MessageBoxA", "PurgeComm" } },
        { "GetCommState", "GetCommState()",
          { "CreateFileW", "SetCommTimeouts", "SetCommMask", "GetCommState", "MessageBoxA", "PurgeComm" } },
        { "BuildCommDCB", "BuildCommDCB()",
          { "CreateFileW", "SetCommTimeouts", "SetCommMask", "GetCommState", "BuildCommDCB", "MessageBoxA", "PurgeComm" } },
        { "SetCommState", "SetCommState()",
          { "CreateFileW", "SetCommTimeouts", "SetCommMask", "GetCommState", "BuildCommDCB", "SetCommState",
            "MessageBoxA", "PurgeComm" } },
    };
    for (const Case& c : cases) {
        FakeComm::Reset(c.failing);
        CSerialPort port;
        // The port stays open, partly configured, and counts as open.
        EXPECT_TRUE(Open(port, 3)) << c.failing;
        EXPECT_TRUE(port.IsOpen()) << c.failing;
        EXPECT_EQ(FakeComm::calls, c.calls) << c.failing;
        const std::string expected = std::string("Warning:") + c.reportedName + "Errors\nError reason:";
        EXPECT_EQ(FakeComm::warning.rfind(expected, 0), 0u) << FakeComm::warning;
        EXPECT_NE(FakeComm::warning.find("\nCOM part :3\nPlease check the part  is properly installed!"),
                  std::string::npos) << FakeComm::warning;
        EXPECT_EQ(FakeComm::warningCaption, "\xB4\xAE\xBF\xDA\xB4\xED\xCE\xF3");
    }
}

TEST(SerialPortOpen, APortThatDoesNotOpenGivesFalseWithoutAWarning)
{
    FakeComm::Reset("CreateFileW");
    CSerialPort port;
    EXPECT_FALSE(Open(port));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(FakeComm::calls, (std::vector<std::string>{ "CreateFileW" }));
}

TEST(SerialPortWarning, ALongTextIsCutToItsBuffer)
{
    FakeComm::Reset("");
    CSerialPort port;
    port.SetCommApi(&FakeComm::api);
    const std::string longName(300, 'X');
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    port.ReportPortError(longName.c_str());
    EXPECT_EQ(FakeComm::warning.size(), 199u);
    EXPECT_EQ(FakeComm::warning, "Warning:" + std::string(191, 'X'));
    EXPECT_EQ(port.GetLastErrorText(), FakeComm::warning);
}

// --- the monitor thread with a port whose event never comes -----------------

namespace {

// A port with bytes in its queue whose wait for an event is still under way
// when the stop comes (Wine reports a pty's events by polling, a little late).
struct QueuedComm {
    static std::string queued;
    static std::vector<std::string> calls;   // the port thread's; read once `closed` is set
    static std::atomic<bool> closed;

    static BOOL WINAPI WaitCommEvent(HANDLE, LPDWORD, LPOVERLAPPED)
    {
        calls.push_back("WaitCommEvent");
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    static BOOL WINAPI ClearCommError(HANDLE, LPDWORD pErrors, LPCOMSTAT pStat)
    {
        *pErrors = 0;
        *pStat = {};
        pStat->cbInQue = static_cast<DWORD>(queued.size());
        return TRUE;
    }
    static BOOL WINAPI ReadFile(HANDLE, LPVOID pBuffer, DWORD, LPDWORD pRead, LPOVERLAPPED)
    {
        calls.push_back("ReadFile");
        *pRead = 0;
        if (queued.empty())
            return TRUE;
        *static_cast<char*>(pBuffer) = queued.front();
        queued.erase(0, 1);
        *pRead = 1;
        return TRUE;
    }
    static BOOL WINAPI CancelIo(HANDLE)
    {
        calls.push_back("CancelIo");
        return TRUE;
    }
    static BOOL WINAPI CloseHandle(HANDLE)
    {
        calls.push_back("CloseHandle");
        closed = true;   // the thread's last port call
        return TRUE;
    }
};
std::string QueuedComm::queued;
std::vector<std::string> QueuedComm::calls;
std::atomic<bool> QueuedComm::closed{false};

class CByteWnd : public CWnd {
public:
    explicit CByteWnd(CSerialPort& port) : m_port(port)
    {
        CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr);
    }
    ~CByteWnd() override { DestroyWindow(); }
    std::string bytes;

protected:
    LRESULT OnRxChar(WPARAM wParam, LPARAM)
    {
        if (wParam == 1)
            bytes.push_back(static_cast<char>(m_port.m_byRx));
        return 0;
    }
    LRESULT OnRxFlag(WPARAM, LPARAM)
    {
        ++rxFlags;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
public:
    int rxFlags = 0;

private:
    CSerialPort& m_port;
};

BEGIN_MESSAGE_MAP(CByteWnd, CWnd)
    ON_MESSAGE(WM_PORT_RXCHAR, OnRxChar)
    ON_MESSAGE(WM_PORT_RXFLAG, OnRxFlag)
END_MESSAGE_MAP()

} // namespace

// The stop is seen before the port's event: the bytes already queued are
// handed over before the port closes, and the wait under way is cancelled
// first (the reads use the same OVERLAPPED).
TEST(SerialPortThread, BytesQueuedWhenTheStopIsSeenFirstAreDelivered)
{
    CommApi comm = RealCommApi();
    comm.CreateFileW = [](LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) -> HANDLE {
        return reinterpret_cast<HANDLE>(0x4242);
    };
    comm.SetCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS) -> BOOL { return TRUE; };
    comm.SetCommMask = [](HANDLE, DWORD) -> BOOL { return TRUE; };
    comm.GetCommState = [](HANDLE, LPDCB) -> BOOL { return TRUE; };
    comm.BuildCommDCBW = [](LPCWSTR, LPDCB) -> BOOL { return TRUE; };
    comm.SetCommState = [](HANDLE, LPDCB) -> BOOL { return TRUE; };
    comm.PurgeComm = [](HANDLE, DWORD) -> BOOL { return TRUE; };
    comm.GetOverlappedResult = [](HANDLE, LPOVERLAPPED, LPDWORD pCount, BOOL) -> BOOL {
        *pCount = 0;
        return TRUE;
    };
    comm.WaitCommEvent = QueuedComm::WaitCommEvent;
    comm.ClearCommError = QueuedComm::ClearCommError;
    comm.ReadFile = QueuedComm::ReadFile;
    comm.CancelIo = QueuedComm::CancelIo;
    comm.CloseHandle = QueuedComm::CloseHandle;
    QueuedComm::calls.clear();
    QueuedComm::queued.clear();
    QueuedComm::closed = false;

    CSerialPort port;
    port.SetCommApi(&comm);
    CByteWnd owner(port);
    ASSERT_TRUE(port.OpenPort(&owner, 5, 9600, L'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 512));
    ASSERT_TRUE(port.StartPortThread());
    ::Sleep(50);   // the thread waits for an event that does not come
    QueuedComm::queued = "SCAN";
    port.SwitchPort(FALSE);

    const DWORD start = ::GetTickCount();
    while (!QueuedComm::closed) {
        ASSERT_LT(::GetTickCount() - start, 5000u) << "the thread did not end";
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::Sleep(1);
    }
    EXPECT_EQ(owner.bytes, "SCAN");
    const auto cancel = std::find(QueuedComm::calls.begin(), QueuedComm::calls.end(), "CancelIo");
    const auto read = std::find(QueuedComm::calls.begin(), QueuedComm::calls.end(), "ReadFile");
    EXPECT_TRUE(cancel < read) << "a read on the OVERLAPPED of a wait under way";
}

// --- the monitor thread on a port whose event wait returns with nothing -----

namespace {

// A port as Wine's ptys are: every wait for an event completes soon with
// nothing queued. A one-byte read stays pending until the test hands it a
// byte, lets it time out or breaks the line.
struct IdleComm {
    static std::mutex lock;
    static std::string queued;            // bytes a read or the drain takes at once
    static OVERLAPPED* pendingRead;       // the read under way, if any
    static BYTE* pendingBuffer;
    static int pendingOutcome;            // what GetOverlappedResult reports for it
    static std::atomic<int> waits;        // WaitCommEvent calls
    static std::atomic<int> portCalls;    // every call of the port thread
    static std::atomic<bool> readPending;
    static std::atomic<bool> closed;
    static std::atomic<int> warnings;
    enum { kByte = 1, kTimeout, kBroken, kCancelled };

    static void Reset()
    {
        std::lock_guard<std::mutex> guard(lock);
        queued.clear();
        pendingRead = nullptr;
        pendingOutcome = 0;
        waits = 0;
        portCalls = 0;
        readPending = false;
        closed = false;
        warnings = 0;
    }
    static BOOL WINAPI WaitCommEvent(HANDLE, LPDWORD pEvent, LPOVERLAPPED pOverlapped)
    {
        ++portCalls;
        ++waits;
        *pEvent = 0;
        ::SetEvent(pOverlapped->hEvent);   // "completed", with nothing
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    static BOOL WINAPI ClearCommError(HANDLE, LPDWORD pErrors, LPCOMSTAT pStat)
    {
        ++portCalls;
        std::lock_guard<std::mutex> guard(lock);
        *pErrors = 0;
        *pStat = {};
        pStat->cbInQue = static_cast<DWORD>(queued.size());
        return TRUE;
    }
    static BOOL WINAPI ReadFile(HANDLE, LPVOID pBuffer, DWORD, LPDWORD pRead, LPOVERLAPPED pOverlapped)
    {
        ++portCalls;
        std::lock_guard<std::mutex> guard(lock);
        *pRead = 0;
        if (!queued.empty()) {
            *static_cast<BYTE*>(pBuffer) = static_cast<BYTE>(queued.front());
            queued.erase(0, 1);
            *pRead = 1;
            ::SetEvent(pOverlapped->hEvent);
            return TRUE;
        }
        ::ResetEvent(pOverlapped->hEvent);
        pendingRead = pOverlapped;
        pendingBuffer = static_cast<BYTE*>(pBuffer);
        pendingOutcome = 0;
        readPending = true;
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    static BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED, LPDWORD pCount, BOOL)
    {
        ++portCalls;
        std::lock_guard<std::mutex> guard(lock);
        *pCount = 0;
        const int outcome = pendingOutcome;
        if (pendingRead) {
            pendingRead = nullptr;
            readPending = false;
        }
        switch (outcome) {
        case kByte: *pCount = 1; return TRUE;
        case kTimeout: ::SetLastError(ERROR_TIMEOUT); return FALSE;
        case kBroken: ::SetLastError(ERROR_GEN_FAILURE); return FALSE;
        case kCancelled: ::SetLastError(ERROR_OPERATION_ABORTED); return FALSE;
        default: return TRUE;   // a wait for an event: no bytes
        }
    }
    static BOOL WINAPI CancelIo(HANDLE)
    {
        ++portCalls;
        std::lock_guard<std::mutex> guard(lock);
        if (pendingRead && pendingOutcome == 0) {
            pendingOutcome = kCancelled;
            ::SetEvent(pendingRead->hEvent);
        }
        return TRUE;
    }
    static BOOL WINAPI GetCommMask(HANDLE, LPDWORD pMask)
    {
        ++portCalls;
        *pMask = EV_RXCHAR | EV_RXFLAG;
        return TRUE;
    }
    static BOOL WINAPI CloseHandle(HANDLE)
    {
        closed = true;
        return TRUE;
    }
    static int WINAPI MessageBoxA(HWND, LPCSTR, LPCSTR, UINT)
    {
        ++warnings;
        return IDOK;
    }
    // Completes the read under way: a byte (then `then` is queued behind it),
    // its timeout or a broken line.
    static void Complete(int outcome, char byte = 0, const std::string& then = "")
    {
        std::lock_guard<std::mutex> guard(lock);
        ASSERT_NE(pendingRead, nullptr);
        if (outcome == kByte)
            *pendingBuffer = static_cast<BYTE>(byte);
        queued += then;
        pendingOutcome = outcome;
        ::SetEvent(pendingRead->hEvent);
    }
};
std::mutex IdleComm::lock;
std::string IdleComm::queued;
OVERLAPPED* IdleComm::pendingRead;
BYTE* IdleComm::pendingBuffer;
int IdleComm::pendingOutcome;
std::atomic<int> IdleComm::waits;
std::atomic<int> IdleComm::portCalls;
std::atomic<bool> IdleComm::readPending;
std::atomic<bool> IdleComm::closed;
std::atomic<int> IdleComm::warnings;

// Delivers the messages the port thread sends until `done` holds; false
// after 5 s.
template <typename Done>
bool PumpUntil(Done done)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > 5000)
            return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::Sleep(1);
    }
    return true;
}

class IdlePortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        IdleComm::Reset();
        m_comm = RealCommApi();
        m_comm.CreateFileW = [](LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) -> HANDLE {
            return reinterpret_cast<HANDLE>(0x4242);
        };
        m_comm.SetCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS) -> BOOL { return TRUE; };
        m_comm.SetCommMask = [](HANDLE, DWORD) -> BOOL { return TRUE; };
        m_comm.GetCommState = [](HANDLE, LPDCB) -> BOOL { return TRUE; };
        m_comm.BuildCommDCBW = [](LPCWSTR, LPDCB) -> BOOL { return TRUE; };
        m_comm.SetCommState = [](HANDLE, LPDCB) -> BOOL { return TRUE; };
        m_comm.PurgeComm = [](HANDLE, DWORD) -> BOOL { return TRUE; };
        m_comm.WaitCommEvent = IdleComm::WaitCommEvent;
        m_comm.ClearCommError = IdleComm::ClearCommError;
        m_comm.ReadFile = IdleComm::ReadFile;
        m_comm.GetOverlappedResult = IdleComm::GetOverlappedResult;
        m_comm.CancelIo = IdleComm::CancelIo;
        m_comm.GetCommMask = IdleComm::GetCommMask;
        m_comm.CloseHandle = IdleComm::CloseHandle;
        m_comm.MessageBoxA = IdleComm::MessageBoxA;
        m_port.SetCommApi(&m_comm);
        ASSERT_TRUE(m_port.OpenPort(&m_owner, 5, 9600, L'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 512));
        ASSERT_TRUE(m_port.StartPortThread());
    }
    void TearDown() override
    {
        m_port.SwitchPort(FALSE);
        EXPECT_TRUE(PumpUntil([] { return IdleComm::closed.load(); })) << "the thread did not end";
    }
    // Waits until the thread has a first-byte read under way, and checks
    // that it then rests: no port call at all while nothing happens.
    void ExpectRestingInARead()
    {
        ASSERT_TRUE(PumpUntil([] { return IdleComm::readPending.load(); }))
            << "no read waits for the first byte (" << IdleComm::waits << " waits for an event)";
        const int calls = IdleComm::portCalls;
        const DWORD start = ::GetTickCount();
        PumpUntil([&] { return ::GetTickCount() - start > 100; });
        EXPECT_EQ(IdleComm::portCalls, calls) << "the thread went on calling the port while nothing came";
    }

    CommApi m_comm{};
    CSerialPort m_port;
    CByteWnd m_owner{m_port};
};

} // namespace

// The first byte comes through the read; the bytes behind it through the
// drain, in order, each once; then the thread rests in a read again.
TEST_F(IdlePortTest, TheFirstByteOfAScanComesThroughTheReadAndTheRestInOrder)
{
    ExpectRestingInARead();
    EXPECT_LE(IdleComm::waits, 2) << "waits for an event that return with nothing are repeated";

    IdleComm::Complete(IdleComm::kByte, 'A', "BC\r");
    ASSERT_TRUE(PumpUntil([&] { return m_owner.bytes.size() >= 4; }));
    EXPECT_EQ(m_owner.bytes, "ABC\r");
    EXPECT_GE(m_owner.rxFlags, 1);
    ExpectRestingInARead();
    EXPECT_EQ(m_owner.bytes, "ABC\r");
}

// A read that ends at its timeout hands nothing over and is made again.
TEST_F(IdlePortTest, AReadThatTimesOutHandsNothingOverAndTheThreadWaitsAgain)
{
    ExpectRestingInARead();
    IdleComm::Complete(IdleComm::kTimeout);
    ASSERT_TRUE(PumpUntil([] { return !IdleComm::readPending.load(); }));
    ExpectRestingInARead();
    EXPECT_EQ(m_owner.bytes, "");
    EXPECT_EQ(IdleComm::warnings, 0);
}

// A byte that the read got just before the stop is handed over once, with
// the bytes queued behind it, before the port closes.
TEST_F(IdlePortTest, AStopDuringTheReadStillHandsOverWhatCame)
{
    ExpectRestingInARead();
    {
        std::lock_guard<std::mutex> guard(IdleComm::lock);
        *IdleComm::pendingBuffer = 'X';
        IdleComm::pendingOutcome = IdleComm::kByte;   // came in, event not seen yet
        IdleComm::queued = "YZ";
    }
    m_port.SwitchPort(FALSE);
    ASSERT_TRUE(PumpUntil([] { return IdleComm::closed.load(); }));
    EXPECT_EQ(m_owner.bytes, "XYZ");
}

// A line that breaks under the read (the scanner's cable pulled): one
// warning, then the thread only waits for the stop, which ends it.
TEST_F(IdlePortTest, ALineThatBreaksUnderTheReadIsReportedOnceAndTheStopEndsTheThread)
{
    ExpectRestingInARead();
    IdleComm::Complete(IdleComm::kBroken);
    ASSERT_TRUE(PumpUntil([] { return IdleComm::warnings.load() == 1; }));
    const int calls = IdleComm::portCalls;
    const DWORD start = ::GetTickCount();
    PumpUntil([&] { return ::GetTickCount() - start > 100; });
    EXPECT_EQ(IdleComm::portCalls, calls) << "the thread went on calling a broken port";
    EXPECT_EQ(IdleComm::warnings, 1);
}

// --- the monitor thread on a real serial device under Wine --------------------

namespace {

// A wait for an event that stays pending (nothing comes) and that CancelIo
// does not end, as on a real serial device under Wine; setting the mask
// again ends it.
struct DeviceComm {
    static OVERLAPPED* pendingWait;
    static std::atomic<bool> waiting;
    static std::atomic<bool> waitedInVain;
    static std::atomic<bool> closed;

    static BOOL WINAPI WaitCommEvent(HANDLE, LPDWORD, LPOVERLAPPED pOverlapped)
    {
        ::ResetEvent(pOverlapped->hEvent);
        pendingWait = pOverlapped;
        waiting = true;
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    static BOOL WINAPI SetCommMask(HANDLE, DWORD)
    {
        if (pendingWait)
            ::SetEvent(pendingWait->hEvent);
        return TRUE;
    }
    static BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED pOverlapped, LPDWORD pCount, BOOL bWait)
    {
        *pCount = 0;
        if (bWait && ::WaitForSingleObject(pOverlapped->hEvent, 5000) != WAIT_OBJECT_0)
            waitedInVain = true;
        ::SetLastError(ERROR_OPERATION_ABORTED);
        return FALSE;
    }
    static BOOL WINAPI ClearCommError(HANDLE, LPDWORD pErrors, LPCOMSTAT pStat)
    {
        *pErrors = 0;
        *pStat = {};
        return TRUE;
    }
    static BOOL WINAPI CloseHandle(HANDLE)
    {
        closed = true;
        return TRUE;
    }
};
OVERLAPPED* DeviceComm::pendingWait;
std::atomic<bool> DeviceComm::waiting;
std::atomic<bool> DeviceComm::waitedInVain;
std::atomic<bool> DeviceComm::closed;

} // namespace

// The stop ends the wait for an event under way before it waits for its
// completion, even where CancelIo does not end it.
TEST(SerialPortThread, AStopEndsAWaitThatCancelIoDoesNotEnd)
{
    CommApi comm = RealCommApi();
    comm.CreateFileW = [](LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) -> HANDLE {
        return reinterpret_cast<HANDLE>(0x4242);
    };
    comm.SetCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS) -> BOOL { return TRUE; };
    comm.GetCommState = [](HANDLE, LPDCB) -> BOOL { return TRUE; };
    comm.BuildCommDCBW = [](LPCWSTR, LPDCB) -> BOOL { return TRUE; };
    comm.SetCommState = [](HANDLE, LPDCB) -> BOOL { return TRUE; };
    comm.PurgeComm = [](HANDLE, DWORD) -> BOOL { return TRUE; };
    comm.CancelIo = [](HANDLE) -> BOOL { return TRUE; };
    comm.SetCommMask = DeviceComm::SetCommMask;
    comm.WaitCommEvent = DeviceComm::WaitCommEvent;
    comm.GetOverlappedResult = DeviceComm::GetOverlappedResult;
    comm.ClearCommError = DeviceComm::ClearCommError;
    comm.CloseHandle = DeviceComm::CloseHandle;
    DeviceComm::pendingWait = nullptr;
    DeviceComm::waiting = false;
    DeviceComm::waitedInVain = false;
    DeviceComm::closed = false;

    CSerialPort port;
    port.SetCommApi(&comm);
    CByteWnd owner(port);
    ASSERT_TRUE(port.OpenPort(&owner, 5, 9600, L'N', 8, 1, EV_RXCHAR | EV_RXFLAG, 512));
    ASSERT_TRUE(port.StartPortThread());
    ASSERT_TRUE(PumpUntil([] { return DeviceComm::waiting.load(); }));
    port.SwitchPort(FALSE);
    ASSERT_TRUE(PumpUntil([] { return DeviceComm::closed.load(); })) << "the thread did not end";
    EXPECT_FALSE(DeviceComm::waitedInVain) << "the stop waited for a wait that nothing ended";
}
