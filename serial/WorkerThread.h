#pragma once

#include <windows.h>

#include "serial/ThreadRunner.h"

namespace ZEV {

// Runs one IThreadRunner on a framework thread. Start returns only after the
// runner's OnThreadStart ran on the new thread; Stop asks the runner to end,
// waits in 50 ms steps and terminates the thread when the time is up.
class CWorkerThread {
public:
    CWorkerThread();
    // Stops a running thread as Stop(15000) does, unless called on it.
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
    // The worker's own handle to its (last) thread, valid until the next
    // Start, Stop or the destructor.
    HANDLE GetHandle() const { return m_hOwnThread != NULL ? m_hOwnThread : m_hThread; }
    DWORD GetThreadId() const { return m_dwThreadId; }
    DWORD GetExitCode() const { return m_dwExitCode; }

    // PostThreadMessageA to the thread; answers whether the post succeeded.
    BOOL PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);

    // dwTimeout in ms, 0 = no limit. Answers no, doing nothing, when called
    // on the worker thread itself, which cannot wait for its own end.
    BOOL Stop(DWORD dwTimeout);

private:
    static UINT __cdecl ThreadProc(LPVOID pParam);
    void TakeOwnHandle(HANDLE hThread);
    void ReleaseOwnHandle();

    // Written by the thread when it ends and by Stop; read by other threads.
    HANDLE volatile m_hThread;
    volatile DWORD m_dwThreadId;
    IThreadRunner* m_pRunner;
    volatile DWORD m_dwExitCode;
    HANDLE m_hOwnThread;
};

} // namespace ZEV
