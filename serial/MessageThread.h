#pragma once

#include <windows.h>

#include <atomic>

#include "serial/ThreadRunner.h"
#include "serial/WorkerThread.h"

namespace ZEV {

// Receives the messages posted to a CMessageThread, on that thread.
class IThreadListener {
public:
    virtual ~IThreadListener() {}
    // Yes to go on, no to end the thread.
    virtual BOOL OnThreadMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) = 0;
    virtual void OnThreadStart() {}
};

class CMessageThread;

// Default listener: hands everything to the CMessageThread's own OnMessage
// and OnStart, so that a derived class may override those instead of
// setting a listener.
class CMessageThreadListener : public IThreadListener {
public:
    explicit CMessageThreadListener(CMessageThread* pOwner) : m_pOwner(pOwner) {}
    BOOL OnThreadMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    void OnThreadStart() override;

private:
    CMessageThread* m_pOwner;
};

// Most messages Windows lets wait in one thread's queue; a post beyond them
// fails with ERROR_NOT_ENOUGH_QUOTA.
const LONG POSTED_MESSAGE_LIMIT = 10000;

// A thread whose body is a message loop that hands each posted thread
// message to a listener. It ends on WM_QUIT (posted by its owner, or by
// itself when the listener answers no) or on Stop, which reaches it even
// when its queue is full.
//
// PostMessage keeps Windows' limit of queued messages itself, so that a
// design that posts too much fails under Wine as it would on Windows.
class CMessageThread : public IThreadRunner {
public:
    CMessageThread();
    // Posts WM_QUIT and stops a running thread (THREAD_STOP_LIMIT).
    ~CMessageThread() override;

    // The listener is not owned; nullptr selects the default listener.
    void SetListener(IThreadListener* pListener);

    // Starts the thread, waits until its message queue takes posts, then
    // gives it nPriority. A queue that cannot be reached within 5000 ms
    // gets the thread stopped. Answers whether the thread runs.
    BOOL Start(int nPriority);
    // Ends the loop after the message in hand; answers no when the thread
    // had to be abandoned.
    BOOL Stop(DWORD dwTimeout);
    BOOL IsAlive() const { return m_thread.IsAlive(); }
    DWORD GetThreadId() const { return m_thread.GetThreadId(); }

    // Answers no when no thread runs, else whether the post succeeded.
    BOOL PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);

    DWORD Run() override;
    void OnThreadStart() override;
    void OnThreadExit() override {}
    virtual BOOL OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    virtual void OnStart() {}

private:
    BOOL WaitForQueue();
    bool TakeMessages(MSG& msg);
    void TakeQueued();

    CWorkerThread m_thread;
    std::atomic<IThreadListener*> m_pListener;
    CMessageThreadListener m_defaultListener;
    // Set by Stop; the loop waits for it besides its queue.
    HANDLE m_hStop;
    // Posted through PostMessage and not yet taken by the loop.
    std::atomic<LONG> m_nQueued;
};

} // namespace ZEV
