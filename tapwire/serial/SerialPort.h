// CSerialPort: one serial port of Tapwire, opened for an owner window, with the
// monitor thread that hands every received byte to that window, one at a time,
// by synchronous messages (see Messages.h).
#pragma once

#include "Afx.h"
#include "CommApi.h"

#include <atomic>
#include <memory>
#include <string>

class CSerialPort {
public:
    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens COM<nPort> exclusively and configures it. FALSE only when the port
    // cannot be opened; a failing configuration call is reported and the port
    // stays open. Waits first for the monitor thread of an earlier open.
    BOOL OpenPort(CWnd* pOwner, UINT nPort, UINT nBaud, wchar_t chParity, UINT nDataBits,
                  UINT nStopBits, DWORD dwEventMask, UINT nTxBufferSize);
    // Starts the monitor thread; TRUE when it exists.
    BOOL StartPortThread();
    // With FALSE: asks the monitor thread to close the port and end, and returns
    // at once. (Nothing in Tapwire switches a port on this way.)
    BOOL SwitchPort(BOOL bOn);
    // TRUE from a successful OpenPort until the monitor thread has closed the port.
    BOOL IsOpen() const { return m_bOpen; }
    // True while OpenPort or the destructor waits for the monitor thread to
    // end. The wait delivers the messages sent to the owner's thread, those of
    // other programs and of the system included: an owner that would start or
    // stop the port from such a message must put it off until the wait is
    // over, or the wait would run again inside itself.
    bool IsWaitingForThread() const { return m_bWaitingForThread; }
    // Shows the warning for the failing port call of that name.
    void ReportPortError(const char* pszCall);

    // Tests put a fake in front of the system's comm calls.
    void SetCommApi(const CommApi* pComm) { m_pComm = pComm; }
    const std::string& GetLastErrorText() const { return m_strLastError; }

    // The byte of the WM_PORT_RXCHAR being handled. The monitor thread writes it
    // and then waits in SendMessage until the owner has handled the message, so
    // the owner reads it there without a lock.
    BYTE m_byRx = 0;
    DWORD m_dwRxCount = 0;     // byte count of the last read (0 or 1); same rule

private:
    static UINT PortThreadProc(LPVOID pParam);
    // Drains the input queue one byte per read and message; the bytes handed over.
    static DWORD ReceiveBytes(CSerialPort* pPort, COMSTAT& comstat);
    // Serves a port event: every kind the port's mask holds, the input drain
    // first. The bytes handed over.
    DWORD ServePortEvent(COMSTAT& comstat);
    // The one-byte read that waits for the first byte of a scan (see
    // PortThreadProc): started, and finished once its event is set. Byte:
    // the byte is in m_byRx. A failure has been reported.
    enum class ReadResult { Byte, Nothing, Pending, Failed };
    ReadResult StartFirstByteRead();
    ReadResult FinishFirstByteRead();
    static void SendTxBuffer(CSerialPort* pPort);
    // Asks the monitor thread to end and waits for it, delivering the messages
    // it sends to this thread's windows meanwhile.
    void StopPortThread();
    void NotifyOwner(UINT message, WPARAM wParam);
    // Hands the byte in m_byRx over (WM_PORT_RXCHAR). The owner answers with
    // the pause it wants before the next byte, in milliseconds (the pause
    // between typed characters; 0 for none), which the thread keeps while it
    // waits for the stop. False when the stop came during the pause.
    bool HandOverByte(DWORD dwCount);
    bool KeepPause(DWORD dwPauseMs);

    // Written by the monitor thread, read by the interface thread.
    std::atomic<BOOL> m_bOpen{FALSE};
    std::atomic<BOOL> m_bThreadActive{FALSE};

    std::string m_strLastError;            // the last warning shown (whichever thread showed it)
    bool m_bWaitingForThread = false;      // owner's thread only: StopPortThread is waiting
    const wchar_t* m_strDefault = L"9600,N,8,1";
    int m_nDefPort = 1;
    DWORD m_nDefBaud = 9600;
    wchar_t m_chDefParity = L'N';
    int m_nDefDataBits = 8;
    int m_nDefStopBits = 1;
    DWORD m_nTxLength = 1;                 // bytes one write sends

    // Owned by OpenPort while no monitor thread runs, then by the monitor
    // thread, which closes it as it ends; m_csPort guards it between the two.
    HANDLE m_hPort = nullptr;
    CWinThread* m_pPortThread = nullptr;   // owned; deleted once the thread has ended
    // Monitor thread only: the timer of the pauses, made at the first one and
    // closed as the thread ends; whether a stop cut a pause short, after which
    // nothing more is handed over.
    HANDLE m_hPauseTimer = nullptr;
    bool m_bStoppedInPause = false;
    CRITICAL_SECTION m_csPort;             // initialised once, for the object's life
    HANDLE m_hTxEvent = nullptr;           // manual reset: write m_pTxBuffer
    HANDLE m_hStopEvent = nullptr;         // manual reset: close the port and end
    HANDLE m_ahWait[3] = {};               // stop event, port I/O event, write event
    OVERLAPPED m_ovPort = {};              // waits, reads and writes of the monitor thread
    COMMTIMEOUTS m_ctoPort = {};
    DCB m_dcbPort = {};
    // Set by OpenPort before the monitor thread starts; only read by it.
    CWnd* m_pOwnerWnd = nullptr;
    HWND m_hOwnerWnd = nullptr;            // the owner's window, captured at open
    UINT m_nPort = 0;
    std::unique_ptr<BYTE[]> m_pTxBuffer;
    DWORD m_dwEventMask = 0;
    UINT m_nTxBufferSize = 0;

    const CommApi* m_pComm = &RealCommApi();
};
