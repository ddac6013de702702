#include <gtest/gtest.h>

#include <windows.h>

#include "framework/WinThread.h"

namespace {

struct TThreadProbe {
    volatile DWORD dwThreadId = 0;
    volatile bool bRan = false;
    volatile bool bSawItself = false;
};

UINT __cdecl NoteThread(LPVOID pParam)
{
    TThreadProbe* pProbe = static_cast<TThreadProbe*>(pParam);
    pProbe->dwThreadId = GetCurrentThreadId();
    CWinThread* pThread = AfxGetThread();
    pProbe->bSawItself = pThread != nullptr && pThread->m_nThreadID == GetCurrentThreadId();
    pProbe->bRan = true;
    return 42;
}

UINT __cdecl EndEarly(LPVOID)
{
    AfxEndThread(9, TRUE);
    return 1; // never reached
}

HANDLE Duplicate(HANDLE h)
{
    HANDLE hCopy = NULL;
    DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &hCopy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return hCopy;
}

DWORD WaitExitCode(HANDLE h)
{
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 5000));
    DWORD dwCode = 0;
    GetExitCodeThread(h, &dwCode);
    CloseHandle(h);
    return dwCode;
}

} // namespace

TEST(WinThreadTest, SuspendedThreadWaitsWithKnownHandleAndId)
{
    TThreadProbe probe;
    CWinThread* pThread = AfxBeginThread(NoteThread, &probe, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED);
    ASSERT_NE(nullptr, pThread);
    ASSERT_NE(static_cast<HANDLE>(NULL), pThread->m_hThread);
    DWORD dwId = pThread->m_nThreadID;
    HANDLE hThread = Duplicate(pThread->m_hThread);
    Sleep(100);
    EXPECT_FALSE(probe.bRan);

    pThread->ResumeThread();
    EXPECT_EQ(42u, WaitExitCode(hThread));
    EXPECT_TRUE(probe.bRan);
    EXPECT_TRUE(probe.bSawItself);
    EXPECT_EQ(dwId, probe.dwThreadId);
}

TEST(WinThreadTest, ThreadWithoutSuspendFlagRunsAtOnce)
{
    TThreadProbe probe;
    CWinThread* pThread = AfxBeginThread(NoteThread, &probe, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED);
    ASSERT_NE(nullptr, pThread);
    HANDLE hThread = Duplicate(pThread->m_hThread);
    pThread->ResumeThread();
    WaitExitCode(hThread);

    TThreadProbe second;
    pThread = AfxBeginThread(NoteThread, &second);
    ASSERT_NE(nullptr, pThread);
    DWORD dwStart = GetTickCount();
    while (!second.bRan && GetTickCount() - dwStart < 5000)
        Sleep(5);
    EXPECT_TRUE(second.bRan);
}

TEST(WinThreadTest, AfxEndThreadEndsWithItsExitCode)
{
    CWinThread* pThread = AfxBeginThread(EndEarly, nullptr, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED);
    ASSERT_NE(nullptr, pThread);
    HANDLE hThread = Duplicate(pThread->m_hThread);
    pThread->ResumeThread();
    EXPECT_EQ(9u, WaitExitCode(hThread));
}

TEST(WinThreadTest, NoProcedureGivesNoThread)
{
    EXPECT_EQ(nullptr, AfxBeginThread(nullptr, nullptr));
    EXPECT_EQ(nullptr, AfxGetThread());
}
