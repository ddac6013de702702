#include "serial/MessageThread.h"

#include "support/Tick.h"

namespace ZEV {

namespace {

const DWORD QUEUE_WAIT_LIMIT = 5000;
const DWORD QUEUE_PROBE_INTERVAL = 100;

} // namespace

BOOL CMessageThreadListener::OnThreadMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    return m_pOwner->OnMessage(nMsg, wParam, lParam);
}

void CMessageThreadListener::OnThreadStart() { m_pOwner->OnStart(); }

CMessageThread::CMessageThread()
    : m_pListener(nullptr), m_defaultListener(this), m_hStop(::CreateEventA(NULL, TRUE, FALSE, NULL)), m_nQueued(0)
{
    m_pListener = &m_defaultListener;
    m_thread.SetRunner(this);
}

CMessageThread::~CMessageThread()
{
    if (m_thread.IsAlive()) {
        PostMessage(WM_QUIT, 0, 0);
        Stop(THREAD_STOP_LIMIT);
    }
    // An abandoned loop may still wait on the event.
    if (m_hStop != NULL && !m_thread.IsAbandoned())
        ::CloseHandle(m_hStop);
}

BOOL CMessageThread::Stop(DWORD dwTimeout)
{
    m_thread.RequestStop();
    if (m_hStop != NULL)
        ::SetEvent(m_hStop);
    return m_thread.Stop(dwTimeout);
}

void CMessageThread::SetListener(IThreadListener* pListener)
{
    m_pListener = pListener != nullptr ? pListener : &m_defaultListener;
}

BOOL CMessageThread::Start(int nPriority)
{
    if (m_hStop != NULL)
        ::ResetEvent(m_hStop);
    if (!m_thread.Launch())
        return FALSE;
    if (!WaitForQueue())
        return FALSE;
    m_thread.SetPriority(nPriority);
    return m_thread.IsAlive();
}

// A thread message posted before the thread has a queue is lost, so the
// starter probes with null messages (which the loop skips) until one is
// taken. The probes are counted too, so that a test clock standing still
// cannot keep the starter here for ever.
BOOL CMessageThread::WaitForQueue()
{
    DWORD dwStart = GetTick();
    for (DWORD nProbe = 0;; ++nProbe) {
        if (GetTick() - dwStart >= QUEUE_WAIT_LIMIT
            || nProbe * QUEUE_PROBE_INTERVAL >= QUEUE_WAIT_LIMIT) {
            Stop(THREAD_STOP_LIMIT);
            return FALSE;
        }
        ++m_nQueued;
        if (m_thread.IsAlive() && ::PostThreadMessageA(m_thread.GetThreadId(), 0, 0, 0))
            return TRUE;
        TakeQueued();
        ::Sleep(QUEUE_PROBE_INTERVAL);
    }
}

BOOL CMessageThread::PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (!m_thread.IsAlive())
        return FALSE;
    if (++m_nQueued > POSTED_MESSAGE_LIMIT) {
        --m_nQueued;
        ::SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    if (m_thread.PostMessage(nMsg, wParam, lParam))
        return TRUE;
    --m_nQueued;
    return FALSE;
}

void CMessageThread::OnThreadStart()
{
    // Create the queue now, so that the starter's first probe is taken.
    MSG msg;
    ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
    IThreadListener* pListener = m_pListener;
    if (pListener != nullptr)
        pListener->OnThreadStart();
}

// One message fewer in the queue; never below none (the system may queue
// messages of its own).
void CMessageThread::TakeQueued()
{
    LONG nQueued = m_nQueued.load();
    while (nQueued > 0 && !m_nQueued.compare_exchange_weak(nQueued, nQueued - 1)) {
    }
}

// Hands over what the queue holds; answers no once WM_QUIT came (then in
// msg) or the listener asked to end.
bool CMessageThread::TakeMessages(MSG& msg)
{
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TakeQueued();
        if (msg.message == WM_QUIT)
            return false;
        IThreadListener* pListener = m_pListener;
        if (msg.message == 0 || pListener == nullptr)
            continue;
        if (!pListener->OnThreadMessage(msg.message, msg.wParam, msg.lParam)) {
            msg.message = WM_QUIT;
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return true;
}

DWORD CMessageThread::Run()
{
    MSG msg = {};
    msg.message = WM_QUIT;
    HANDLE hStop = m_hStop;
    while (TakeMessages(msg) && CanRun()) {
        // Woken by a posted message or by Stop, whichever comes first.
        DWORD nHandles = hStop != NULL ? 1 : 0;
        ::MsgWaitForMultipleObjectsEx(nHandles, &hStop, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    IThreadListener* pListener = m_pListener;
    if (pListener != nullptr)
        pListener->OnThreadMessage(WM_QUIT, msg.wParam, msg.lParam);
    return 0;
}

BOOL CMessageThread::OnMessage(UINT, WPARAM, LPARAM) { return FALSE; }

} // namespace ZEV
