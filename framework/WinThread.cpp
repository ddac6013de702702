#include "framework/WinThread.h"

#include <process.h>

namespace {

thread_local CWinThread* t_pCurrentThread = nullptr;

unsigned __stdcall ThreadEntry(void* pArg)
{
    CWinThread* pThread = static_cast<CWinThread*>(pArg);
    t_pCurrentThread = pThread;
    UINT nExitCode = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    AfxEndThread(nExitCode, TRUE);
    return nExitCode;
}

} // namespace

CWinThread::CWinThread(TThreadProc pfnThreadProc, LPVOID pParam)
    : m_hThread(NULL), m_nThreadID(0), m_bAutoDelete(TRUE),
      m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
{
}

CWinThread::~CWinThread()
{
    if (m_hThread != NULL)
        ::CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpsa)
{
    // _beginthreadex rather than CreateThread, so the C runtime sets up
    // its per-thread data for the new thread.
    unsigned nId = 0;
    uintptr_t h = _beginthreadex(lpsa, nStackSize, ThreadEntry, this,
                                 dwCreateFlags | CREATE_SUSPENDED, &nId);
    if (h == 0)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_nThreadID = nId;
    return TRUE;
}

DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }

DWORD CWinThread::SuspendThread() { return ::SuspendThread(m_hThread); }

BOOL CWinThread::SetThreadPriority(int nPriority)
{
    return ::SetThreadPriority(m_hThread, nPriority);
}

int CWinThread::GetThreadPriority() { return ::GetThreadPriority(m_hThread); }

CWinThread* AfxBeginThread(AFX_THREADPROC pfn, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpsa)
{
    if (pfn == nullptr)
        return NULL;
    CWinThread* pThread = new CWinThread(pfn, pParam);
    if (!pThread->CreateThread(dwCreateFlags, nStackSize, lpsa)) {
        delete pThread;
        return NULL;
    }
    pThread->SetThreadPriority(nPriority);
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        pThread->ResumeThread();
    return pThread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete)
{
    CWinThread* pThread = t_pCurrentThread;
    t_pCurrentThread = nullptr;
    if (bDelete && pThread != nullptr && pThread->m_bAutoDelete)
        delete pThread;
    _endthreadex(nExitCode);
}

CWinThread* AfxGetThread() { return t_pCurrentThread; }
