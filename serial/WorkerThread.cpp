#include "serial/WorkerThread.h"

#include <algorithm>

#include "framework/WinThread.h"

namespace ZEV {

namespace {

// A stop re-asks the runner this often (a thread that ends sooner is not
// waited for: each step ends with it).
const DWORD STOP_POLL_INTERVAL = 50;

bool HasEnded(HANDLE hThread)
{
    DWORD dwCode = 0;
    return ::GetExitCodeThread(hThread, &dwCode) && dwCode != STILL_ACTIVE;
}

} // namespace

CWorkerThread::CWorkerThread()
    : m_hThread(NULL), m_dwThreadId(0), m_pRunner(nullptr), m_dwExitCode(0), m_hOwnThread(NULL),
      m_bAbandoned(false)
{
}

CWorkerThread::~CWorkerThread()
{
    if (m_hThread != NULL && ::GetCurrentThreadId() != m_dwThreadId)
        Stop(THREAD_STOP_LIMIT);
    ReleaseOwnHandle();
}

bool CWorkerThread::HasThreadEnded() const
{
    return m_hThread == NULL || (m_hOwnThread != NULL && HasEnded(m_hOwnThread));
}

bool CWorkerThread::IsAbandoned()
{
    if (m_bAbandoned && HasThreadEnded())
        Forget();
    return m_bAbandoned;
}

void CWorkerThread::Forget()
{
    m_hThread = NULL;
    m_dwThreadId = 0;
    m_bAbandoned = false;
    ReleaseOwnHandle();
}

void CWorkerThread::ReleaseOwnHandle()
{
    if (m_hOwnThread != NULL)
        ::CloseHandle(m_hOwnThread);
    m_hOwnThread = NULL;
}

// The framework thread's handle is closed by the thread itself as it ends,
// and its value may then be given to another object; waiting on it,
// let alone terminating it, could hit something else. So the worker keeps
// a handle of its own, taken while the thread is still suspended.
void CWorkerThread::TakeOwnHandle(HANDLE hThread)
{
    ReleaseOwnHandle();
    HANDLE hProcess = ::GetCurrentProcess();
    if (!::DuplicateHandle(hProcess, hThread, hProcess, &m_hOwnThread, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        m_hOwnThread = NULL;
}

BOOL CWorkerThread::SetRunner(IThreadRunner* pRunner)
{
    if (m_hThread != NULL)
        return FALSE;
    m_pRunner = pRunner;
    return TRUE;
}

UINT __cdecl CWorkerThread::ThreadProc(LPVOID pParam)
{
    CWorkerThread* pThis = static_cast<CWorkerThread*>(pParam);
    IThreadRunner* pRunner = pThis->m_pRunner;
    pRunner->m_bCanRun = true;
    pRunner->OnThreadStart();
    pRunner->m_startRendezvous.Exchange(0);
    DWORD dwExitCode = pRunner->Run();
    pThis->m_dwExitCode = dwExitCode;
    pRunner->OnThreadExit();
    // From here on the owner may treat the thread as gone and destroy
    // pThis, so it is not touched again.
    pThis->m_dwThreadId = 0;
    pThis->m_hThread = NULL;
    AfxEndThread(dwExitCode, TRUE);
    return dwExitCode;
}

BOOL CWorkerThread::Launch()
{
    if (IsAbandoned())
        return FALSE;
    if (m_hThread != NULL)
        return TRUE;
    if (m_pRunner == nullptr)
        return FALSE;
    CWinThread* pThread = AfxBeginThread(ThreadProc, this, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED, NULL);
    if (pThread == nullptr)
        return FALSE;
    // Noted while the thread is still suspended, so that it cannot end
    // (and delete pThread) before the members are set.
    m_dwThreadId = pThread->m_nThreadID;
    m_hThread = pThread->m_hThread;
    TakeOwnHandle(pThread->m_hThread);
    pThread->ResumeThread();
    m_pRunner->m_startRendezvous.Exchange(0);
    return TRUE;
}

void CWorkerThread::SetPriority(int nPriority)
{
    if (m_hThread != NULL && !m_bAbandoned && !::SetThreadPriority(GetHandle(), nPriority))
        ::GetLastError();
}

BOOL CWorkerThread::Start(int nPriority)
{
    if (!Launch())
        return FALSE;
    SetPriority(nPriority);
    return IsAlive();
}

BOOL CWorkerThread::PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    // Without a thread the id is 0, and Wine delivers a post to thread 0
    // into the caller's own queue instead of failing it.
    DWORD dwThreadId = m_dwThreadId;
    if (m_hThread == NULL || dwThreadId == 0)
        return FALSE;
    if (::PostThreadMessageA(dwThreadId, nMsg, wParam, lParam))
        return TRUE;
    ::GetLastError();
    return FALSE;
}

void CWorkerThread::RequestStop()
{
    if (m_hThread != NULL && m_pRunner != nullptr)
        m_pRunner->m_bCanRun = false;
}

BOOL CWorkerThread::Stop(DWORD dwTimeout)
{
    if (m_hThread != NULL && ::GetCurrentThreadId() == m_dwThreadId)
        return FALSE;
    if (IsAbandoned())
        return FALSE;
    if (m_hThread == NULL) {
        Forget();
        return TRUE;
    }
    HANDLE hThread = GetHandle();
    // A suspended thread could never see its flag; at normal priority it
    // does not keep the stopping thread from the CPU.
    ::ResumeThread(hThread);
    ::SetThreadPriority(hThread, THREAD_PRIORITY_NORMAL);
    m_pRunner->m_bCanRun = false;
    // Bounded by the clock, not by a count of steps: on a busy machine each
    // step may take longer than asked.
    DWORD dwStart = ::GetTickCount();
    while (!HasThreadEnded()) {
        DWORD dwSpent = ::GetTickCount() - dwStart;
        if (dwTimeout != 0 && dwSpent >= dwTimeout)
            break;
        DWORD dwStep = dwTimeout == 0 ? STOP_POLL_INTERVAL : std::min(STOP_POLL_INTERVAL, dwTimeout - dwSpent);
        ::WaitForSingleObject(hThread, dwStep);
    }
    if (!HasThreadEnded()) {
        m_bAbandoned = true;
        return FALSE;
    }
    Forget();
    return TRUE;
}

} // namespace ZEV
