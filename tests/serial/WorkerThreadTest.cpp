#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <vector>

#include "serial/MessageThread.h"
#include "serial/WorkerThread.h"

using ZEV::CMessageThread;
using ZEV::CWorkerThread;
using ZEV::IThreadListener;
using ZEV::IThreadRunner;

namespace {

template <typename TCond>
bool WaitFor(TCond cond, DWORD dwTimeout = 5000)
{
    DWORD dwStart = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - dwStart > dwTimeout)
            return false;
        Sleep(5);
    }
    return true;
}

// Our own handle to a thread, to see it end after its owner forgot it.
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

// Loops until its flag is cleared (unless told to ignore it), then takes
// m_dwWindDown ms to finish.
class CLoopRunner : public IThreadRunner {
public:
    DWORD Run() override
    {
        while (m_bIgnoreFlag || CanRun()) {
            if (m_pStopSelf != nullptr && !m_bAsked) {
                m_bSelfStop = m_pStopSelf->Stop(1000) != FALSE;
                m_bAsked = true;
            }
            ++m_nPasses;
            Sleep(1);
        }
        Sleep(m_dwWindDown);
        return 7;
    }
    void OnThreadStart() override
    {
        Sleep(m_dwStartDelay);
        m_dwStartThread = GetCurrentThreadId();
    }
    void OnThreadExit() override { m_bExited = true; }

    volatile bool m_bIgnoreFlag = false;
    DWORD m_dwStartDelay = 0;
    DWORD m_dwWindDown = 0;
    CWorkerThread* m_pStopSelf = nullptr;
    volatile bool m_bAsked = false;
    volatile bool m_bSelfStop = true;
    volatile LONG m_nPasses = 0;
    volatile bool m_bExited = false;
    volatile DWORD m_dwStartThread = 0;
};

} // namespace

TEST(WorkerThreadTest, StartReturnsOnlyAfterOnThreadStartRanOnTheNewThread)
{
    CLoopRunner runner;
    runner.m_dwStartDelay = 200;
    CWorkerThread worker;
    ASSERT_TRUE(worker.SetRunner(&runner));
    ASSERT_TRUE(worker.Start(THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(worker.GetThreadId(), runner.m_dwStartThread);
    EXPECT_NE(GetCurrentThreadId(), runner.m_dwStartThread);
    EXPECT_EQ(THREAD_PRIORITY_TIME_CRITICAL, GetThreadPriority(worker.GetHandle()));
}

TEST(WorkerThreadTest, StopEndsACooperativeBodyNormally)
{
    CLoopRunner runner;
    runner.m_dwWindDown = 300;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);
    HANDLE hThread = Duplicate(worker.GetHandle());

    // No limit must not mean no polls: the slow body gets to finish.
    EXPECT_TRUE(worker.Stop(0));
    EXPECT_FALSE(worker.IsAlive());
    EXPECT_TRUE(runner.m_bExited);
    EXPECT_EQ(7u, worker.GetExitCode());
    EXPECT_EQ(7u, WaitExitCode(hThread));

    // A new thread sets the flag again that the stop cleared.
    runner.m_nPasses = 0;
    ASSERT_TRUE(worker.Start(THREAD_PRIORITY_NORMAL));
    EXPECT_TRUE(WaitFor([&] { return runner.m_nPasses > 0; }));
}

TEST(WorkerThreadTest, StopPastItsLimitAbandonsTheThreadAndStartsNoOtherUntilItEnds)
{
    CLoopRunner runner;
    runner.m_bIgnoreFlag = true;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);
    HANDLE hThread = Duplicate(worker.GetHandle());

    DWORD dwStart = GetTickCount();
    EXPECT_FALSE(worker.Stop(120));
    DWORD dwElapsed = GetTickCount() - dwStart;
    EXPECT_GE(dwElapsed, 80u);
    EXPECT_LT(dwElapsed, 3000u);
    EXPECT_TRUE(worker.IsAbandoned());
    EXPECT_FALSE(worker.Start(THREAD_PRIORITY_NORMAL));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(hThread, 0)) << "never terminated";

    // Once it ends by itself it has run its whole course, and a new one may start.
    runner.m_bIgnoreFlag = false;
    EXPECT_EQ(7u, WaitExitCode(hThread));
    EXPECT_TRUE(runner.m_bExited);
    EXPECT_FALSE(worker.IsAbandoned());
    EXPECT_TRUE(worker.Start(THREAD_PRIORITY_NORMAL));
    EXPECT_TRUE(worker.Stop(15000));
}

TEST(WorkerThreadTest, StopAnswersYesWhenIdleAndNoOnTheWorkerItself)
{
    CWorkerThread idle;
    EXPECT_TRUE(idle.Stop(15000));
    EXPECT_FALSE(idle.PostMessage(WM_USER, 0, 0));

    CLoopRunner runner;
    CWorkerThread worker;
    runner.m_pStopSelf = &worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(WaitFor([&] { return runner.m_bAsked; }));
    EXPECT_FALSE(runner.m_bSelfStop);
    EXPECT_TRUE(worker.IsAlive());
}

TEST(WorkerThreadTest, RunnerCannotBeChangedWhileRunning)
{
    CLoopRunner first;
    CLoopRunner second;
    CWorkerThread worker;
    worker.SetRunner(&first);
    worker.Start(THREAD_PRIORITY_NORMAL);
    EXPECT_FALSE(worker.SetRunner(&second));
    EXPECT_EQ(&first, worker.GetRunner());
    worker.Stop(15000);
    EXPECT_TRUE(worker.SetRunner(&second));
}

namespace {

// Records every message; answers no to the one it is told to.
class CRecordingListener : public IThreadListener {
public:
    BOOL OnThreadMessage(UINT nMsg, WPARAM, LPARAM) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_codes.push_back(nMsg);
        return nMsg == m_nRefuse ? FALSE : TRUE;
    }
    std::vector<UINT> Codes()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_codes;
    }
    UINT m_nRefuse = 0xFFFFFFFF;

private:
    std::mutex m_mutex;
    std::vector<UINT> m_codes;
};

} // namespace

TEST(MessageThreadTest, PostedMessagesReachTheListenerInOrderWithoutNullMessages)
{
    CRecordingListener listener;
    CMessageThread thread;
    EXPECT_FALSE(thread.PostMessage(0x8000, 0, 0)); // idle
    thread.SetListener(&listener);
    ASSERT_TRUE(thread.Start(THREAD_PRIORITY_TIME_CRITICAL));

    // Posted at once after Start: the queue must already take them.
    EXPECT_TRUE(thread.PostMessage(0x8000, 0, 1));
    EXPECT_TRUE(thread.PostMessage(0, 0, 0));
    EXPECT_TRUE(thread.PostMessage(0x8002, 0, 0xAB));
    EXPECT_TRUE(thread.PostMessage(WM_QUIT, 0, 0));
    EXPECT_TRUE(thread.Stop(15000));

    EXPECT_EQ((std::vector<UINT>{0x8000, 0x8002, WM_QUIT}), listener.Codes());
}

TEST(MessageThreadTest, ListenerAnsweringNoEndsTheThreadAndStillGetsQuitOnce)
{
    CRecordingListener listener;
    listener.m_nRefuse = 0x8001;
    CMessageThread thread;
    thread.SetListener(&listener);
    thread.Start(THREAD_PRIORITY_NORMAL);
    thread.PostMessage(0x8000, 0, 0);
    thread.PostMessage(0x8001, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !thread.IsAlive(); }));
    EXPECT_EQ((std::vector<UINT>{0x8000, 0x8001, WM_QUIT}), listener.Codes());
    EXPECT_FALSE(thread.PostMessage(0x8000, 0, 0));
}

TEST(MessageThreadTest, PostsPastWindowsQueueLimitAreRefusedAndStopStillReachesTheThread)
{
    // The listener holds the first message until released, so nothing is taken.
    HANDLE hRelease = CreateEventA(NULL, TRUE, FALSE, NULL);
    class CHoldingListener : public IThreadListener {
    public:
        explicit CHoldingListener(HANDLE h) : m_h(h) {}
        BOOL OnThreadMessage(UINT, WPARAM, LPARAM) override { WaitForSingleObject(m_h, 10000); return TRUE; }
        HANDLE m_h;
    } listener(hRelease);
    CMessageThread thread;
    thread.SetListener(&listener);
    ASSERT_TRUE(thread.Start(THREAD_PRIORITY_NORMAL));
    int nTaken = 0;
    while (nTaken < 20000 && thread.PostMessage(0x8000, 0, 0))
        ++nTaken;
    EXPECT_EQ(ERROR_NOT_ENOUGH_QUOTA, GetLastError());
    EXPECT_GE(nTaken, 10000);
    EXPECT_LE(nTaken, 10001); // one may have been taken into the listener already
    SetEvent(hRelease);
    EXPECT_TRUE(thread.Stop(15000));
    CloseHandle(hRelease);
}
