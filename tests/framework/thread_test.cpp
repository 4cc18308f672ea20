#include "Afx.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<int> g_ran{0};

UINT EndsWithAfxEndThread(LPVOID pParam)
{
    g_ran = *static_cast<int*>(pParam);
    AfxEndThread(100);
}

UINT ReturnsNormally(LPVOID)
{
    return 7;
}

} // namespace

TEST(AfxBeginThread, ThreadRunsAndItsExitCodeIsKeptForAnOwnerThatWaits)
{
    struct Case {
        AFX_THREADPROC proc;
        DWORD exitCode;
    };
    for (const Case& c : { Case{ EndsWithAfxEndThread, 100 }, Case{ ReturnsNormally, 7 } }) {
        int param = 42;
        g_ran = 0;
        CWinThread* pThread = AfxBeginThread(c.proc, &param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_NE(pThread, nullptr);
        pThread->m_bAutoDelete = FALSE;
        pThread->ResumeThread();
        ASSERT_EQ(::WaitForSingleObject(pThread->m_hThread, 5000), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        ASSERT_TRUE(::GetExitCodeThread(pThread->m_hThread, &exitCode));
        EXPECT_EQ(exitCode, c.exitCode);
        if (c.proc == EndsWithAfxEndThread) {
            EXPECT_EQ(g_ran, 42);
        }
        delete pThread;
    }
}
