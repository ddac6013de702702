#pragma once

#include <windows.h>

// A framework thread: the handle and id of one thread started by
// AfxBeginThread. With m_bAutoDelete set (the default) the object deletes
// itself, closing the handle, when its thread ends through AfxEndThread or
// by returning from its procedure.
class CWinThread {
public:
    typedef UINT (__cdecl *TThreadProc)(LPVOID);

    CWinThread(TThreadProc pfnThreadProc, LPVOID pParam);
    virtual ~CWinThread();

    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    operator HANDLE() const { return m_hThread; }

    DWORD ResumeThread();
    DWORD SuspendThread();
    BOOL SetThreadPriority(int nPriority);
    int GetThreadPriority();

    // Creates the thread suspended; used by AfxBeginThread.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpsa = NULL);

    HANDLE m_hThread;
    DWORD m_nThreadID;
    BOOL m_bAutoDelete;

    TThreadProc m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

typedef UINT (__cdecl *AFX_THREADPROC)(LPVOID);

// Starts pfn(pParam) on a new thread. With CREATE_SUSPENDED in
// dwCreateFlags the thread waits for ResumeThread, so that the caller can
// note its handle and id first. Answers NULL when no thread could be made.
CWinThread* AfxBeginThread(AFX_THREADPROC pfn, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpsa = NULL);

// Ends the calling framework thread with nExitCode; with bDelete its
// CWinThread is deleted first (when it is auto-deleting). Does not return.
void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);

// The CWinThread of the calling thread, or NULL on a thread not started by
// AfxBeginThread.
CWinThread* AfxGetThread();
