#include "serial/MessageThread.h"

#include "support/Tick.h"

namespace ZEV {

namespace {

const DWORD QUEUE_WAIT_LIMIT = 5000;
const DWORD QUEUE_PROBE_INTERVAL = 100;
const DWORD STOP_LIMIT = 15000;

} // namespace

BOOL CMessageThreadListener::OnThreadMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    return m_pOwner->OnMessage(nMsg, wParam, lParam);
}

void CMessageThreadListener::OnThreadStart() { m_pOwner->OnStart(); }

CMessageThread::CMessageThread() : m_pListener(nullptr), m_defaultListener(this)
{
    m_pListener = &m_defaultListener;
    m_thread.SetRunner(this);
}

CMessageThread::~CMessageThread()
{
    if (!m_thread.IsAlive())
        return;
    PostMessage(WM_QUIT, 0, 0);
    m_thread.Stop(STOP_LIMIT);
}

void CMessageThread::SetListener(IThreadListener* pListener)
{
    m_pListener = pListener != nullptr ? pListener : &m_defaultListener;
}

BOOL CMessageThread::Start(int nPriority)
{
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
            m_thread.Stop(STOP_LIMIT);
            return FALSE;
        }
        if (m_thread.IsAlive() && ::PostThreadMessageA(m_thread.GetThreadId(), 0, 0, 0))
            return TRUE;
        ::Sleep(QUEUE_PROBE_INTERVAL);
    }
}

BOOL CMessageThread::PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (!m_thread.IsAlive())
        return FALSE;
    return m_thread.PostMessage(nMsg, wParam, lParam);
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

DWORD CMessageThread::Run()
{
    MSG msg = {};
    while (::GetMessageA(&msg, NULL, 0, 0) > 0) {
        IThreadListener* pListener = m_pListener;
        if (msg.message == 0 || pListener == nullptr)
            continue;
        if (pListener->OnThreadMessage(msg.message, msg.wParam, msg.lParam)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        } else if (m_thread.IsAlive()) {
            ::PostThreadMessageA(m_thread.GetThreadId(), WM_QUIT, 0, 0);
        }
    }
    IThreadListener* pListener = m_pListener;
    if (pListener != nullptr)
        pListener->OnThreadMessage(msg.message, msg.wParam, msg.lParam);
    return 0;
}

BOOL CMessageThread::OnMessage(UINT, WPARAM, LPARAM) { return FALSE; }

} // namespace ZEV
