#pragma once

#include <windows.h>

#include <atomic>

#include "serial/ThreadRunner.h"

namespace ZEV {

// Runs one IThreadRunner on a framework thread. Start returns only after the
// runner's OnThreadStart ran on the new thread; Stop asks the runner to end
// and waits, bounded. A thread still running when the time is up is
// abandoned, never terminated: a terminated thread may leave a lock or the
// heap's lock held for ever. The runner, and whatever the thread uses, must
// then outlive it; no new thread starts until it has ended.
class CWorkerThread {
public:
    CWorkerThread();
    // Stops a running thread as Stop(THREAD_STOP_LIMIT) does, unless called on it.
    virtual ~CWorkerThread();

    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Refused while a thread runs; the runner is not owned.
    BOOL SetRunner(IThreadRunner* pRunner);
    IThreadRunner* GetRunner() const { return m_pRunner; }

    // Starts the thread when idle and a runner is set, then gives it
    // nPriority. Answers whether a thread runs.
    BOOL Start(int nPriority);
    // Start without the priority: the thread runs at normal priority.
    BOOL Launch();
    void SetPriority(int nPriority);

    BOOL IsAlive() const { return m_hThread != NULL ? TRUE : FALSE; }
    // A stop ran out of its time and left the thread running.
    bool IsAbandoned();
    // The worker's own handle to its (last) thread, valid until the next
    // Start, Stop or the destructor.
    HANDLE GetHandle() const { return m_hOwnThread != NULL ? m_hOwnThread : m_hThread.load(); }
    DWORD GetThreadId() const { return m_dwThreadId; }
    DWORD GetExitCode() const { return m_dwExitCode; }

    // PostThreadMessageA to the thread; answers whether the post succeeded.
    BOOL PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);

    // Clears the runner's can-run flag without waiting: a caller that wakes
    // the thread afterwards knows the thread sees the stop in that wake-up.
    void RequestStop();
    // dwTimeout in ms, 0 = no limit. Answers no, doing nothing, when called
    // on the worker thread itself, which cannot wait for its own end, and
    // no when the thread had to be abandoned (at once if it already was).
    BOOL Stop(DWORD dwTimeout);

private:
    static UINT __cdecl ThreadProc(LPVOID pParam);
    void TakeOwnHandle(HANDLE hThread);
    void ReleaseOwnHandle();

    bool HasThreadEnded() const;
    void Forget();

    // Written by the thread when it ends and by Stop; read by other threads.
    std::atomic<HANDLE> m_hThread;
    std::atomic<DWORD> m_dwThreadId;
    IThreadRunner* m_pRunner;
    std::atomic<DWORD> m_dwExitCode;
    HANDLE m_hOwnThread;
    // Owner's thread only.
    bool m_bAbandoned;
};

} // namespace ZEV
