#pragma once

#include <windows.h>

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

// A thread whose body is a message loop that hands each posted thread
// message to a listener. It ends on WM_QUIT: posted by its owner before
// Stop, or posted by itself when the listener answers no.
class CMessageThread : public IThreadRunner {
public:
    CMessageThread();
    // Posts WM_QUIT and stops a running thread (15000 ms).
    ~CMessageThread() override;

    // The listener is not owned; nullptr selects the default listener.
    void SetListener(IThreadListener* pListener);

    // Starts the thread, waits until its message queue takes posts, then
    // gives it nPriority. A queue that cannot be reached within 5000 ms
    // gets the thread stopped. Answers whether the thread runs.
    BOOL Start(int nPriority);
    BOOL Stop(DWORD dwTimeout) { return m_thread.Stop(dwTimeout); }
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

    CWorkerThread m_thread;
    IThreadListener* volatile m_pListener;
    CMessageThreadListener m_defaultListener;
};

} // namespace ZEV
