// OpenPort's order of calls and its failure paths, and the monitor thread at a
// stop, with a fake behind the comm calls.
#include "Messages.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
    DECLARE_MESSAGE_MAP()

private:
    CSerialPort& m_port;
};

BEGIN_MESSAGE_MAP(CByteWnd, CWnd)
    ON_MESSAGE(WM_PORT_RXCHAR, OnRxChar)
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
