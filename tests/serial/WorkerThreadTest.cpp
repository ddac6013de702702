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

// Waits for cond, up to dwTimeout ms; answers whether it came true.
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

// A handle of our own to the worker's thread, so that its end can be
// observed after the worker forgot it.
class CThreadHandle {
public:
    explicit CThreadHandle(HANDLE hThread)
    {
        DuplicateHandle(GetCurrentProcess(), hThread, GetCurrentProcess(), &m_h, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    }
    ~CThreadHandle()
    {
        if (m_h != NULL)
            CloseHandle(m_h);
    }
    bool WaitEnded(DWORD dwTimeout = 5000) const
    {
        return m_h != NULL && WaitForSingleObject(m_h, dwTimeout) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const
    {
        DWORD dwCode = 0;
        GetExitCodeThread(m_h, &dwCode);
        return dwCode;
    }
    CThreadHandle(const CThreadHandle&) = delete;
    CThreadHandle& operator=(const CThreadHandle&) = delete;

private:
    HANDLE m_h = NULL;
};

// Runs until its flag is cleared, unless told to ignore it.
class CLoopRunner : public IThreadRunner {
public:
    DWORD Run() override
    {
        m_dwRunThread = GetCurrentThreadId();
        for (;;) {
            if (!m_bIgnoreFlag && !CanRun())
                break;
            ++m_nPasses;
            Sleep(1);
        }
        // Some bodies take a while to wind down.
        Sleep(m_dwWindDown);
        return m_dwExitCode;
    }
    void OnThreadStart() override
    {
        Sleep(m_dwStartDelay);
        m_dwStartThread = GetCurrentThreadId();
        m_bStarted = true;
    }
    void OnThreadExit() override { m_bExited = true; }

    volatile bool m_bIgnoreFlag = false;
    DWORD m_dwStartDelay = 0;
    DWORD m_dwWindDown = 0;
    DWORD m_dwExitCode = 7;
    volatile LONG m_nPasses = 0;
    volatile bool m_bStarted = false;
    volatile bool m_bExited = false;
    volatile DWORD m_dwStartThread = 0;
    volatile DWORD m_dwRunThread = 0;
};

// Tries to stop its own thread from inside the body.
class CSelfStopRunner : public IThreadRunner {
public:
    DWORD Run() override
    {
        m_bAnswer = m_pWorker->Stop(1000) != FALSE;
        m_bAsked = true;
        while (CanRun())
            Sleep(1);
        return 0;
    }
    CWorkerThread* m_pWorker = nullptr;
    volatile bool m_bAnswer = true;
    volatile bool m_bAsked = false;
};

} // namespace

TEST(WorkerThreadTest, StartReturnsOnlyAfterOnThreadStartRanOnTheNewThread)
{
    CLoopRunner runner;
    runner.m_dwStartDelay = 200;
    CWorkerThread worker;
    ASSERT_TRUE(worker.SetRunner(&runner));
    ASSERT_TRUE(worker.Start(THREAD_PRIORITY_NORMAL));

    EXPECT_TRUE(runner.m_bStarted);
    EXPECT_TRUE(worker.IsAlive());
    EXPECT_NE(0u, worker.GetThreadId());
    EXPECT_EQ(worker.GetThreadId(), runner.m_dwStartThread);
    EXPECT_NE(GetCurrentThreadId(), runner.m_dwStartThread);
    EXPECT_TRUE(worker.Stop(15000));
}

TEST(WorkerThreadTest, StopEndsACooperativeBodyNormally)
{
    CLoopRunner runner;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_TIME_CRITICAL);
    ASSERT_TRUE(WaitFor([&] { return runner.m_nPasses > 0; }));
    CThreadHandle thread(worker.GetHandle());

    EXPECT_TRUE(worker.Stop(15000));
    EXPECT_FALSE(worker.IsAlive());
    EXPECT_TRUE(runner.m_bExited);
    EXPECT_EQ(7u, worker.GetExitCode());
    ASSERT_TRUE(thread.WaitEnded());
    EXPECT_EQ(7u, thread.ExitCode());
}

TEST(WorkerThreadTest, StopWithLimitTerminatesABodyThatIgnoresItsFlag)
{
    CLoopRunner runner;
    runner.m_bIgnoreFlag = true;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);
    CThreadHandle thread(worker.GetHandle());

    DWORD dwStart = GetTickCount();
    EXPECT_TRUE(worker.Stop(120));
    DWORD dwElapsed = GetTickCount() - dwStart;

    // Two polls 50 ms apart, then TerminateThread.
    EXPECT_GE(dwElapsed, 80u);
    EXPECT_LT(dwElapsed, 3000u);
    EXPECT_FALSE(worker.IsAlive());
    ASSERT_TRUE(thread.WaitEnded());
    EXPECT_EQ(0u, thread.ExitCode());
    EXPECT_FALSE(runner.m_bExited);
}

TEST(WorkerThreadTest, StopWithoutLimitWaitsForASlowEnd)
{
    CLoopRunner runner;
    runner.m_dwWindDown = 400;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);

    EXPECT_TRUE(worker.Stop(0));
    // A limit of 0 must not mean "no polls": the body got to finish.
    EXPECT_TRUE(runner.m_bExited);
    EXPECT_EQ(7u, worker.GetExitCode());
}

TEST(WorkerThreadTest, StopResumesASuspendedThreadSoThatItCanEnd)
{
    CLoopRunner runner;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);
    ASSERT_NE(static_cast<DWORD>(-1), SuspendThread(worker.GetHandle()));

    EXPECT_TRUE(worker.Stop(15000));
    EXPECT_TRUE(runner.m_bExited);
}

TEST(WorkerThreadTest, StopOnAnIdleWorkerAnswersYes)
{
    CWorkerThread worker;
    EXPECT_TRUE(worker.Stop(15000));
    EXPECT_FALSE(worker.IsAlive());
}

TEST(WorkerThreadTest, StopFromTheWorkerThreadItselfAnswersNo)
{
    CSelfStopRunner runner;
    CWorkerThread worker;
    runner.m_pWorker = &worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);

    ASSERT_TRUE(WaitFor([&] { return runner.m_bAsked; }));
    EXPECT_FALSE(runner.m_bAnswer);
    EXPECT_TRUE(worker.IsAlive());
    EXPECT_TRUE(worker.Stop(15000));
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
    EXPECT_EQ(&second, worker.GetRunner());
}

TEST(WorkerThreadTest, StartWithoutRunnerStartsNothing)
{
    CWorkerThread worker;
    EXPECT_FALSE(worker.Start(THREAD_PRIORITY_NORMAL));
    EXPECT_FALSE(worker.IsAlive());
    EXPECT_FALSE(worker.PostMessage(WM_USER, 0, 0));
}

TEST(WorkerThreadTest, ThreadEndsByItselfWhenTheBodyReturns)
{
    CLoopRunner runner;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);
    runner.m_bCanRun = false;

    EXPECT_TRUE(WaitFor([&] { return !worker.IsAlive(); }));
    EXPECT_TRUE(runner.m_bExited);
    EXPECT_EQ(0u, worker.GetThreadId());
}

TEST(WorkerThreadTest, StoppedWorkerCanBeStartedAgain)
{
    CLoopRunner runner;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_NORMAL);
    worker.Stop(15000);
    runner.m_nPasses = 0;

    // The new thread sets the flag again that the stop cleared.
    ASSERT_TRUE(worker.Start(THREAD_PRIORITY_NORMAL));
    EXPECT_TRUE(WaitFor([&] { return runner.m_nPasses > 0; }));
    worker.Stop(15000);
}

TEST(WorkerThreadTest, StartGivesTheRequestedPriority)
{
    CLoopRunner runner;
    CWorkerThread worker;
    worker.SetRunner(&runner);
    worker.Start(THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(THREAD_PRIORITY_TIME_CRITICAL, GetThreadPriority(worker.GetHandle()));
    worker.Stop(15000);
}

TEST(WorkerThreadTest, DestructorStopsARunningThread)
{
    CLoopRunner runner;
    {
        CWorkerThread worker;
        worker.SetRunner(&runner);
        worker.Start(THREAD_PRIORITY_NORMAL);
    }
    EXPECT_TRUE(runner.m_bExited);
}

namespace {

struct TMessage {
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
};

// Records every message; answers no to the one it is told to.
class CRecordingListener : public IThreadListener {
public:
    BOOL OnThreadMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back({nMsg, wParam, lParam});
        return nMsg == m_nRefuse ? FALSE : TRUE;
    }
    void OnThreadStart() override
    {
        Sleep(100);
        m_dwStartThread = GetCurrentThreadId();
    }
    std::vector<UINT> Codes()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<UINT> codes;
        for (const TMessage& m : m_messages)
            codes.push_back(m.nMsg);
        return codes;
    }
    std::vector<TMessage> Messages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

    UINT m_nRefuse = 0xFFFFFFFF;
    volatile DWORD m_dwStartThread = 0;

private:
    std::mutex m_mutex;
    std::vector<TMessage> m_messages;
};

// Handles messages by overriding the thread's own slots.
class CCountingThread : public CMessageThread {
public:
    ~CCountingThread() override
    {
        PostMessage(WM_QUIT, 0, 0);
        Stop(15000);
    }
    BOOL OnMessage(UINT nMsg, WPARAM, LPARAM) override
    {
        if (nMsg == WM_USER)
            ++m_nUser;
        return TRUE;
    }
    void OnStart() override { m_bStarted = true; }

    volatile LONG m_nUser = 0;
    volatile bool m_bStarted = false;
};

} // namespace

TEST(MessageThreadTest, PostedMessagesReachTheListenerInOrderWithoutNullMessages)
{
    CRecordingListener listener;
    CMessageThread thread;
    thread.SetListener(&listener);
    ASSERT_TRUE(thread.Start(THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(thread.GetThreadId(), listener.m_dwStartThread);

    EXPECT_TRUE(thread.PostMessage(0x8000, 0, 1));
    EXPECT_TRUE(thread.PostMessage(0, 0, 0));
    EXPECT_TRUE(thread.PostMessage(0x8001, 0, 0));
    EXPECT_TRUE(thread.PostMessage(0x8002, 0, 0xAB));
    EXPECT_TRUE(thread.PostMessage(WM_QUIT, 0, 0));
    EXPECT_TRUE(thread.Stop(15000));

    std::vector<UINT> expected = {0x8000, 0x8001, 0x8002, WM_QUIT};
    EXPECT_EQ(expected, listener.Codes());
    std::vector<TMessage> messages = listener.Messages();
    ASSERT_EQ(4u, messages.size());
    EXPECT_EQ(1, messages[0].lParam);
    EXPECT_EQ(0xAB, messages[2].lParam);
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

    std::vector<UINT> expected = {0x8000, 0x8001, WM_QUIT};
    EXPECT_EQ(expected, listener.Codes());
    EXPECT_FALSE(thread.PostMessage(0x8000, 0, 0));
}

TEST(MessageThreadTest, PostMessageOnAnIdleThreadAnswersNo)
{
    CMessageThread thread;
    EXPECT_FALSE(thread.PostMessage(0x8000, 0, 0));
}

TEST(MessageThreadTest, DestructorEndsTheLoopWithQuit)
{
    CRecordingListener listener;
    {
        CMessageThread thread;
        thread.SetListener(&listener);
        thread.Start(THREAD_PRIORITY_NORMAL);
        thread.PostMessage(0x8002, 0, 0);
    }
    std::vector<UINT> expected = {0x8002, WM_QUIT};
    EXPECT_EQ(expected, listener.Codes());
}

TEST(MessageThreadTest, DefaultListenerHandsMessagesToTheThreadsOwnSlots)
{
    CRecordingListener listener;
    CCountingThread thread;
    thread.SetListener(&listener);
    thread.SetListener(nullptr);
    ASSERT_TRUE(thread.Start(THREAD_PRIORITY_NORMAL));
    EXPECT_TRUE(thread.m_bStarted);

    thread.PostMessage(WM_USER, 0, 0);
    thread.PostMessage(WM_USER, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return thread.m_nUser == 2; }));
    EXPECT_TRUE(listener.Codes().empty());
}

TEST(MessageThreadTest, BaseOnMessageAnswersNoAndSoEndsTheThread)
{
    CMessageThread thread;
    thread.Start(THREAD_PRIORITY_NORMAL);
    thread.PostMessage(WM_USER, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !thread.IsAlive(); }));
}
