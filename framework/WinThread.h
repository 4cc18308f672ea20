// CWinThread and AfxBeginThread: worker threads started on a plain function.
// With m_bAutoDelete (the default) the object deletes itself, closing its
// handle, when the thread ends; an owner that wants to wait for the end clears
// it (start suspended, clear, ResumeThread) and deletes the object itself.
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread;

// Starts pfnThreadProc(pParam) on a new thread; nullptr when it cannot be created.
// dwCreateFlags may hold CREATE_SUSPENDED.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// Ends the calling thread (started by AfxBeginThread) with nExitCode; with
// bDelete the thread object is deleted first when it is auto-deleting.
[[noreturn]] void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);

class CWinThread {
public:
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
        : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {}
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;

    operator HANDLE() const { return m_hThread; }
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
    BOOL SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }
    // Deletes the object when m_bAutoDelete is set; called as the thread ends.
    virtual void Delete();

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);
    friend void AfxEndThread(UINT, BOOL);
    static unsigned __stdcall ThreadEntry(void* pThread);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};
