#include "SerialPort.h"

#include "Messages.h"

#include <cstdio>
#include <vector>

namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD kPortTimeoutMs = 1000;
constexpr DWORD kThreadExitCode = 100;
// How long a cancelled wait for a port event is given to end by itself.
constexpr DWORD kCancelGraceMs = 50;
constexpr size_t kWarningBufferBytes = 200;
// The longest pause the owner may ask for between two bytes.
constexpr LRESULT kMaxPauseMs = 1000;
// CreateWaitableTimerExW's flag for a timer that keeps milliseconds (Windows
// 10 1803 and later; elsewhere the creation fails and a plain timer serves).
constexpr DWORD kCreateWaitableTimerHighResolution = 0x00000002;
// "串口错误" (port error) in GBK, shown through the narrow-character message box.
const char kWarningCaption[] = "\xB4\xAE\xBF\xDA\xB4\xED\xCE\xF3";

// Closes an event of an earlier open (no thread uses it any more) and makes a
// new unnamed manual-reset one, not signalled.
void RenewEvent(HANDLE& hEvent)
{
    if (hEvent)
        ::CloseHandle(hEvent);
    hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

// Cuts text to fit a buffer of nBufferBytes (terminator included) without
// splitting a double-byte character of the ANSI code page.
std::string FitToBuffer(const std::string& text, size_t nBufferBytes)
{
    if (text.size() < nBufferBytes)
        return text;
    size_t nFit = 0;
    for (const char* p = text.c_str(); *p;) {
        const char* pNext = ::CharNextA(p);
        if (pNext == p || static_cast<size_t>(pNext - text.c_str()) > nBufferBytes - 1)
            break;
        nFit = static_cast<size_t>(pNext - text.c_str());
        p = pNext;
    }
    return text.substr(0, nFit);
}

// How often a stop that waits for the monitor thread looks for its warnings.
constexpr DWORD kStopCheckMs = 200;

BOOL CALLBACK AnswerMessageBox(HWND hWnd, LPARAM)
{
    wchar_t szClass[16] = {};
    if (::GetClassNameW(hWnd, szClass, 16) && ::lstrcmpW(szClass, L"#32770") == 0)
        ::PostMessageW(hWnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// Answers OK to the message boxes a thread shows (a message box is a dialog
// of class #32770 owned by that thread).
void CloseThreadWarnings(DWORD dwThreadId)
{
    ::EnumThreadWindows(dwThreadId, AnswerMessageBox, 0);
}

class PortLock {
public:
    explicit PortLock(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~PortLock() { ::LeaveCriticalSection(&m_cs); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;
private:
    CRITICAL_SECTION& m_cs;
};

} // namespace

CSerialPort::CSerialPort()
{
    ::InitializeCriticalSection(&m_csPort);
}

CSerialPort::~CSerialPort()
{
    StopPortThread();
    // The thread closes the port as it ends; one that never started leaves it here.
    if (m_hPort)
        m_pComm->CloseHandle(m_hPort);
    for (HANDLE hEvent : { m_ovPort.hEvent, m_hTxEvent, m_hStopEvent }) {
        if (hEvent)
            ::CloseHandle(hEvent);
    }
    ::DeleteCriticalSection(&m_csPort);
}

void CSerialPort::StopPortThread()
{
    if (!m_pPortThread) {
        if (m_hStopEvent)
            ::SetEvent(m_hStopEvent);
        return;
    }
    // The monitor thread may be blocked in SendMessage to a window of this very
    // thread, and cannot see the stop event until that message is handled; so
    // the wait goes on delivering sent messages until the thread has ended.
    // It may also be showing a port warning, which waits for a user who has
    // just asked to stop (or to close the program): such a warning is closed.
    // A message handled during the wait that opened the port again would run
    // this wait inside itself, delete the thread object whose handle the
    // outer wait holds, and leave the outer wait on a closed handle for ever.
    // The owner puts such messages off while IsWaitingForThread() says so.
    m_bWaitingForThread = true;
    HANDLE hThread = m_pPortThread->m_hThread;
    const DWORD dwThreadId = m_pPortThread->m_nThreadID;
    for (;;) {
        ::SetEvent(m_hStopEvent);
        const DWORD dwWait = ::MsgWaitForMultipleObjects(1, &hThread, FALSE, kStopCheckMs, QS_SENDMESSAGE);
        if (dwWait == WAIT_OBJECT_0)
            break;
        if (dwWait == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (dwWait == WAIT_TIMEOUT) {
            CloseThreadWarnings(dwThreadId);
        } else {
            ::Sleep(1);
        }
    }
    m_bWaitingForThread = false;
    delete m_pPortThread;
    m_pPortThread = nullptr;
}

BOOL CSerialPort::OpenPort(CWnd* pOwner, UINT nPort, UINT nBaud, wchar_t chParity, UINT nDataBits,
                           UINT nStopBits, DWORD dwEventMask, UINT nTxBufferSize)
{
    m_bOpen = FALSE;
    StopPortThread();

    RenewEvent(m_ovPort.hEvent);
    RenewEvent(m_hTxEvent);
    RenewEvent(m_hStopEvent);
    m_ahWait[0] = m_hStopEvent;
    m_ahWait[1] = m_ovPort.hEvent;
    m_ahWait[2] = m_hTxEvent;

    m_pOwnerWnd = pOwner;
    m_hOwnerWnd = pOwner ? pOwner->m_hWnd : nullptr;
    m_pTxBuffer.reset(new BYTE[nTxBufferSize]());
    m_nPort = nPort;
    m_nTxBufferSize = nTxBufferSize;
    m_dwEventMask = dwEventMask;

    PortLock lock(m_csPort);
    if (m_hPort) {
        m_pComm->CloseHandle(m_hPort);
        m_hPort = nullptr;
    }

    // The device path also opens ports above COM9.
    CString strPath;
    strPath.Format(L"\\\\.\\COM%d", nPort);
    CString strDefinition;
    strDefinition.Format(L"baud=%d parity=%c data=%d stop=%d", nBaud, chParity, nDataBits, nStopBits);

    HANDLE hPort = m_pComm->CreateFileW(strPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (hPort == INVALID_HANDLE_VALUE)
        return FALSE;   // the caller tells the user; no warning here
    m_hPort = hPort;

    // The configuration stops at the first call that fails; the port stays open.
    m_ctoPort.ReadIntervalTimeout = kPortTimeoutMs;
    m_ctoPort.ReadTotalTimeoutMultiplier = kPortTimeoutMs;
    m_ctoPort.ReadTotalTimeoutConstant = kPortTimeoutMs;
    m_ctoPort.WriteTotalTimeoutMultiplier = kPortTimeoutMs;
    m_ctoPort.WriteTotalTimeoutConstant = kPortTimeoutMs;
    if (!m_pComm->SetCommTimeouts(m_hPort, &m_ctoPort)) {
        ReportPortError("SetCommTimeouts()");
    } else if (!m_pComm->SetCommMask(m_hPort, dwEventMask)) {
        ReportPortError("SetCommMask()");
    } else if (!m_pComm->GetCommState(m_hPort, &m_dcbPort)) {
        ReportPortError("GetCommState()");
    } else {
        m_dcbPort.fRtsControl = RTS_CONTROL_DISABLE;
        m_dcbPort.EvtChar = 'q';
        // The definition's rate, parity, data and stop bits over the current state.
        if (!m_pComm->BuildCommDCBW(strDefinition, &m_dcbPort))
            ReportPortError("BuildCommDCB()");
        else if (!m_pComm->SetCommState(m_hPort, &m_dcbPort))
            ReportPortError("SetCommState()");
    }

    m_pComm->PurgeComm(m_hPort, kPurgeAll);
    m_bOpen = TRUE;
    return TRUE;
}

BOOL CSerialPort::StartPortThread()
{
    // Started suspended only so that the object can keep the thread's handle
    // (no self-deletion) before the thread runs; the owner waits for its end.
    CWinThread* pThread = AfxBeginThread(&CSerialPort::PortThreadProc, this, THREAD_PRIORITY_NORMAL,
                                         0, CREATE_SUSPENDED, nullptr);
    if (!pThread)
        return FALSE;
    pThread->m_bAutoDelete = FALSE;
    m_pPortThread = pThread;
    pThread->ResumeThread();
    return TRUE;
}

BOOL CSerialPort::SwitchPort(BOOL bOn)
{
    if (!m_pOwnerWnd) {
        ::MessageBoxW(nullptr,
                      L"No parent handle !Plese use the function of Create(CWnd* pParentWnd) in the initialize of window!",
                      L"Errors", MB_ICONERROR);
        return FALSE;
    }
    if (!bOn)
        ::SetEvent(m_hStopEvent);
    return TRUE;
}

void CSerialPort::ReportPortError(const char* pszCall)
{
    const DWORD dwError = ::GetLastError();
    char* pszSystemText = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, dwError,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&pszSystemText),
                     0, nullptr);
    const char* pszFormat =
        "Warning:%sErrors\nError reason:%s\nCOM part :%d\nPlease check the part  is properly installed!";
    const char* pszReason = pszSystemText ? pszSystemText : "";
    const int nLength = std::snprintf(nullptr, 0, pszFormat, pszCall, pszReason, m_nPort);
    std::vector<char> text(static_cast<size_t>(nLength > 0 ? nLength : 0) + 1);
    std::snprintf(text.data(), text.size(), pszFormat, pszCall, pszReason, m_nPort);
    if (pszSystemText)
        ::LocalFree(pszSystemText);

    // The warning has room for 200 bytes; a longer text is cut, never overrun.
    m_strLastError = FitToBuffer(text.data(), kWarningBufferBytes);
    m_pComm->MessageBoxA(nullptr, m_strLastError.c_str(), kWarningCaption, MB_ICONERROR | MB_SYSTEMMODAL);
}

void CSerialPort::NotifyOwner(UINT message, WPARAM wParam)
{
    ::SendMessageW(m_hOwnerWnd, message, wParam, static_cast<LPARAM>(m_nPort));
}

bool CSerialPort::HandOverByte(DWORD dwCount)
{
    const LRESULT nPauseMs = ::SendMessageW(m_hOwnerWnd, WM_PORT_RXCHAR, dwCount, static_cast<LPARAM>(m_nPort));
    if (nPauseMs <= 0)
        return true;
    if (KeepPause(static_cast<DWORD>(nPauseMs < kMaxPauseMs ? nPauseMs : kMaxPauseMs)))
        return true;
    m_bStoppedInPause = true;
    return false;
}

bool CSerialPort::KeepPause(DWORD dwPauseMs)
{
    if (!m_hPauseTimer) {
        // Resolved at run time: older Windows has no such call.
        using CreateWaitableTimerExWFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
        auto pfnCreateTimerEx = reinterpret_cast<CreateWaitableTimerExWFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "CreateWaitableTimerExW")));
        if (pfnCreateTimerEx)
            m_hPauseTimer = pfnCreateTimerEx(nullptr, nullptr, kCreateWaitableTimerHighResolution, TIMER_ALL_ACCESS);
        if (!m_hPauseTimer)
            m_hPauseTimer = ::CreateWaitableTimerW(nullptr, FALSE, nullptr);
    }
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(dwPauseMs) * 10000;   // relative, in 100 ns
    if (m_hPauseTimer && ::SetWaitableTimer(m_hPauseTimer, &due, 0, nullptr, nullptr, FALSE)) {
        const HANDLE ahWait[2] = { m_hStopEvent, m_hPauseTimer };
        return ::WaitForMultipleObjects(2, ahWait, FALSE, INFINITE) != WAIT_OBJECT_0;
    }
    return ::WaitForSingleObject(m_hStopEvent, dwPauseMs) != WAIT_OBJECT_0;
}

UINT CSerialPort::PortThreadProc(LPVOID pParam)
{
    auto* pPort = static_cast<CSerialPort*>(pParam);
    const CommApi& comm = *pPort->m_pComm;
    DWORD dwEvent = 0;
    DWORD dwErrors = 0;
    COMSTAT comstat = {};
    BOOL bResult = TRUE;

    // A wait for a port event or a first-byte read under way on m_ovPort
    // writes into dwEvent (or m_byRx) and m_ovPort when it completes, even
    // late. It must have completed before the thread ends (dwEvent goes with
    // its stack) and before m_ovPort is used for anything else.
    bool bWaitPending = false;
    bool bReadPending = false;

    // On Windows the wait for the port's event stays pending until a byte
    // comes. Wine completes it again and again with nothing queued (on a pty
    // every 2 ms or so, as cancelled), and waiting for it again at once would
    // keep the thread busy for as long as the port is idle. So after a wait
    // that brought nothing, the thread waits for the first byte with the read
    // itself: a one-byte read that completes when a byte arrives or at the
    // port's read timeout, and costs nothing meanwhile. On Windows this
    // happens only for the odd event whose byte an earlier drain has read.
    enum class NextWait { PortEvent, FirstByte, StopOnly };
    NextWait next = NextWait::PortEvent;

    pPort->m_bThreadActive = TRUE;
    pPort->m_bStoppedInPause = false;
    if (pPort->m_hPort)
        comm.PurgeComm(pPort->m_hPort, kPurgeAll);

    for (;;) {
        if (next == NextWait::FirstByte && pPort->m_hPort) {
            next = NextWait::PortEvent;
            switch (pPort->StartFirstByteRead()) {
            case ReadResult::Byte:
                // The byte was there already: handed over, then served as a
                // port event.
                pPort->HandOverByte(1);
                pPort->ServePortEvent(comstat);
                continue;
            case ReadResult::Pending:
                bReadPending = true;
                break;
            case ReadResult::Nothing:
                continue;
            case ReadResult::Failed:
                // As after a failed wait: the thread waits for the stop.
                next = NextWait::StopOnly;
                break;
            }
        } else if (next == NextWait::PortEvent) {
            ::Sleep(1);
            if (pPort->m_hPort)
                bResult = comm.WaitCommEvent(pPort->m_hPort, &dwEvent, &pPort->m_ovPort);

            if (!bResult) {
                const DWORD dwError = ::GetLastError();
                if (dwError == ERROR_IO_PENDING)
                    bWaitPending = true;
                else if (dwError != ERROR_BAD_COMMAND && dwError != ERROR_INVALID_PARAMETER)
                    pPort->ReportPortError("WaitCommEvent()");
            } else {
                // The event has already happened; with nothing queued the
                // next wait is for the first byte.
                bResult = comm.ClearCommError(pPort->m_hPort, &dwErrors, &comstat);
                if (comstat.cbInQue == 0) {
                    next = NextWait::FirstByte;
                    continue;
                }
            }
        }

        const DWORD dwWait = ::WaitForMultipleObjects(3, pPort->m_ahWait, FALSE, INFINITE);
        switch (dwWait) {
        case WAIT_OBJECT_0: {
            pPort->m_bOpen = FALSE;
            if (pPort->m_hPort) {
                if (bWaitPending || bReadPending) {
                    DWORD dwCount = 0;
                    {
                        PortLock lock(pPort->m_csPort);
                        comm.CancelIo(pPort->m_hPort);
                        // Under Wine, CancelIo does not end a wait for an
                        // event on a real serial device, and the thread would
                        // wait for it for ever; setting the mask again ends
                        // it there (and on Windows).
                        if (bWaitPending && ::WaitForSingleObject(pPort->m_ovPort.hEvent, kCancelGraceMs) == WAIT_TIMEOUT)
                            comm.SetCommMask(pPort->m_hPort, pPort->m_dwEventMask);
                        if (!comm.GetOverlappedResult(pPort->m_hPort, &pPort->m_ovPort, &dwCount, TRUE))
                            dwCount = 0;
                    }
                    // A first byte that came in before the cancel is handed
                    // over like every other.
                    if (bReadPending && dwCount == 1) {
                        pPort->m_dwRxCount = 1;
                        pPort->HandOverByte(1);
                    }
                }
                // The stop may be seen before the port's event: bytes that
                // came in before it are handed over all the same.
                if (next != NextWait::StopOnly && (pPort->m_dwEventMask & EV_RXCHAR))
                    ReceiveBytes(pPort, comstat);
            }
            {
                PortLock lock(pPort->m_csPort);
                if (pPort->m_hPort)
                    comm.CloseHandle(pPort->m_hPort);
                pPort->m_hPort = nullptr;
            }
            if (pPort->m_hPauseTimer) {
                ::CloseHandle(pPort->m_hPauseTimer);
                pPort->m_hPauseTimer = nullptr;
            }
            pPort->m_bThreadActive = FALSE;
            AfxEndThread(kThreadExitCode);
        }
        case WAIT_OBJECT_0 + 1: {
            const bool bFromRead = bReadPending;
            if (bReadPending) {
                bReadPending = false;
                const ReadResult result = pPort->FinishFirstByteRead();
                if (result == ReadResult::Failed) {
                    // Its event stays set after the failure: cleared, so that
                    // the wait for the stop does not return for it.
                    ::ResetEvent(pPort->m_ovPort.hEvent);
                    next = NextWait::StopOnly;
                    break;
                }
                // Nothing within the read timeout: back to waiting for the
                // port's event.
                if (result == ReadResult::Nothing)
                    break;
                pPort->HandOverByte(1);
            } else {
                bWaitPending = false;   // its event is set: the wait has completed
            }
            // After a first byte the thread waits for the port's event again,
            // as after any other.
            if (pPort->ServePortEvent(comstat) == 0 && !bFromRead)
                next = NextWait::FirstByte;
            break;
        }
        case WAIT_OBJECT_0 + 2:
            SendTxBuffer(pPort);
            break;
        default:
            break;
        }
    }
}

CSerialPort::ReadResult CSerialPort::StartFirstByteRead()
{
    PortLock lock(m_csPort);
    m_dwRxCount = 0;
    DWORD dwBytesRead = 0;
    if (m_pComm->ReadFile(m_hPort, &m_byRx, 1, &dwBytesRead, &m_ovPort)) {
        m_dwRxCount = dwBytesRead;
        return dwBytesRead == 1 ? ReadResult::Byte : ReadResult::Nothing;
    }
    if (::GetLastError() == ERROR_IO_PENDING)
        return ReadResult::Pending;
    ReportPortError("ReadFile()");
    return ReadResult::Failed;
}

CSerialPort::ReadResult CSerialPort::FinishFirstByteRead()
{
    PortLock lock(m_csPort);
    DWORD dwBytesRead = 0;
    if (!m_pComm->GetOverlappedResult(m_hPort, &m_ovPort, &dwBytesRead, FALSE)) {
        // Wine ends a read at its timeout with ERROR_TIMEOUT, Windows with
        // success and no byte: both mean that nothing came.
        const DWORD dwError = ::GetLastError();
        if (dwError == ERROR_TIMEOUT || dwError == ERROR_SEM_TIMEOUT)
            return ReadResult::Nothing;
        ReportPortError("GetOverlappedResults() in ReadFile()");
        return ReadResult::Failed;
    }
    m_dwRxCount = dwBytesRead;
    return dwBytesRead == 1 ? ReadResult::Byte : ReadResult::Nothing;
}

DWORD CSerialPort::ServePortEvent(COMSTAT& comstat)
{
    // Every kind the mask holds is served, whatever WaitCommEvent reported.
    DWORD dwMask = 0;
    m_pComm->GetCommMask(m_hPort, &dwMask);
    DWORD dwHandedOver = 0;
    if (dwMask & EV_RXCHAR)
        dwHandedOver = ReceiveBytes(this, comstat);
    if (dwMask & EV_CTS)
        NotifyOwner(WM_PORT_CTS, 0);
    if (dwMask & EV_BREAK)
        NotifyOwner(WM_PORT_BREAK, 0);
    if (dwMask & EV_ERR)
        NotifyOwner(WM_PORT_ERR, 0);
    if (dwMask & EV_RING)
        NotifyOwner(WM_PORT_RING, 0);
    if (dwMask & EV_RXFLAG)
        NotifyOwner(WM_PORT_RXFLAG, 0);
    return dwHandedOver;
}

DWORD CSerialPort::ReceiveBytes(CSerialPort* pPort, COMSTAT& comstat)
{
    const CommApi& comm = *pPort->m_pComm;
    DWORD dwErrors = 0;
    DWORD dwBytesRead = 0;
    // One byte per read and per message: the owner handles each byte before the
    // next is read, strictly in order. The queue is counted once per batch: the
    // bytes counted are there to read, so counting again after every byte
    // would only cost a call per byte.
    //
    // A stop request waits for the drain, which delivers every byte queued by
    // the time the request is seen, then ends even if the sender goes on, so
    // that a scanner streaming without a pause cannot hold the stop off.
    //
    // While the owner keeps pauses between bytes, a stop ends the hand-over at
    // once instead: a long paced scan is not typed on after the user stopped it.
    bool bLastBatch = false;
    DWORD dwHandedOver = 0;
    if (pPort->m_bStoppedInPause)
        return 0;
    for (;;) {
        {
            PortLock lock(pPort->m_csPort);
            comm.ClearCommError(pPort->m_hPort, &dwErrors, &comstat);
        }
        if (comstat.cbInQue == 0)
            break;
        for (DWORD nLeft = comstat.cbInQue; nLeft > 0; --nLeft) {
            {
                PortLock lock(pPort->m_csPort);
                dwBytesRead = 0;
                if (!comm.ReadFile(pPort->m_hPort, &pPort->m_byRx, 1, &dwBytesRead, &pPort->m_ovPort)) {
                    if (::GetLastError() == ERROR_IO_PENDING) {
                        if (!comm.GetOverlappedResult(pPort->m_hPort, &pPort->m_ovPort, &dwBytesRead, TRUE))
                            pPort->ReportPortError("GetOverlappedResults() in ReadFile()");
                    } else {
                        pPort->ReportPortError("ReadFile()");
                    }
                }
            }
            pPort->m_dwRxCount = dwBytesRead;
            const bool bGoOn = pPort->HandOverByte(dwBytesRead);
            dwHandedOver += dwBytesRead;
            if (!bGoOn)
                return dwHandedOver;
            // A read that failed or timed out: the count is no longer to be
            // trusted, so the queue is counted again.
            if (dwBytesRead == 0)
                break;
        }
        if (bLastBatch)
            break;
        if (::WaitForSingleObject(pPort->m_hStopEvent, 0) == WAIT_OBJECT_0)
            bLastBatch = true;
    }
    return dwHandedOver;
}

void CSerialPort::SendTxBuffer(CSerialPort* pPort)
{
    const CommApi& comm = *pPort->m_pComm;
    ::ResetEvent(pPort->m_hTxEvent);
    {
        PortLock lock(pPort->m_csPort);
        pPort->m_ovPort.Offset = 0;
        pPort->m_ovPort.OffsetHigh = 0;
        comm.PurgeComm(pPort->m_hPort, kPurgeAll);
        DWORD dwBytesSent = 0;
        if (!comm.WriteFile(pPort->m_hPort, pPort->m_pTxBuffer.get(), pPort->m_nTxLength, &dwBytesSent,
                            &pPort->m_ovPort)) {
            if (::GetLastError() == ERROR_IO_PENDING)
                comm.GetOverlappedResult(pPort->m_hPort, &pPort->m_ovPort, &dwBytesSent, TRUE);
            else
                pPort->ReportPortError("WriteFile()");
        }
    }
    pPort->NotifyOwner(WM_PORT_TXDONE, 0);
}
