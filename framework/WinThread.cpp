#include "WinThread.h"

#include <process.h>

namespace {
thread_local CWinThread* t_pCurrentThread = nullptr;
}

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

void CWinThread::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

unsigned __stdcall CWinThread::ThreadEntry(void* pThread)
{
    auto* pWinThread = static_cast<CWinThread*>(pThread);
    t_pCurrentThread = pWinThread;
    AfxEndThread(pWinThread->m_pfnThreadProc(pWinThread->m_pThreadParams));
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    auto* pThread = new CWinThread(pfnThreadProc, pParam);
    // Always created suspended: the object must be complete before the thread runs.
    unsigned nThreadID = 0;
    const uintptr_t hThread = _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry,
                                             pThread, CREATE_SUSPENDED, &nThreadID);
    if (!hThread) {
        delete pThread;
        return nullptr;
    }
    pThread->m_hThread = reinterpret_cast<HANDLE>(hThread);
    pThread->m_nThreadID = nThreadID;
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        pThread->ResumeThread();
    return pThread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete)
{
    CWinThread* pThread = t_pCurrentThread;
    t_pCurrentThread = nullptr;
    if (pThread && bDelete)
        pThread->Delete();
    _endthreadex(nExitCode);
    for (;;) {}   // not reached: _endthreadex does not return
}
