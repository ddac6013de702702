#include "monitor/LinePoller.h"

#include <mmsystem.h>

// The poller's thread and what it runs, on the heap, so that a thread that
// outlives its stop keeps them.
class CLinePoller::CPollThread : public ZEV::IThreadRunner
{
public:
    explicit CPollThread(const std::function<ELineRead()>& fnReadLines) : m_fnReadLines(fnReadLines)
    {
        m_thread.SetRunner(this);
    }

    bool Start() { return m_thread.Start(THREAD_PRIORITY_TIME_CRITICAL) != FALSE; }
    // Answers no when the thread had to be abandoned.
    bool Stop() { return m_thread.Stop(LINE_POLLER_STOP_LIMIT) != FALSE; }

    DWORD Run() override
    {
        // 1 ms sleeps only while a poller runs: a raised timer costs the
        // whole machine power.
        bool bFine = ::timeBeginPeriod(LINE_POLL_PERIOD) == TIMERR_NOERROR;
        DWORD dwLastChange = ::GetTickCount();
        while (CanRun())
            ::Sleep(GetPeriod(m_fnReadLines(), dwLastChange));
        if (bFine)
            ::timeEndPeriod(LINE_POLL_PERIOD);
        return 0;
    }

private:
    static DWORD GetPeriod(ELineRead eRead, DWORD& dwLastChange)
    {
        if (eRead == LINES_UNREADABLE)
            return LINE_POLL_UNREADABLE;
        DWORD dwNow = ::GetTickCount();
        if (eRead == LINES_CHANGED)
            dwLastChange = dwNow;
        return dwNow - dwLastChange < LINE_QUIET_AFTER ? LINE_POLL_PERIOD : LINE_POLL_QUIET;
    }

    std::function<ELineRead()> m_fnReadLines;
    ZEV::CWorkerThread m_thread;
};

CLinePoller::CLinePoller(std::function<ELineRead()> fnReadLines)
    : m_fnReadLines(std::move(fnReadLines)), m_pThread(nullptr), m_bAsked(false)
{
}

CLinePoller::~CLinePoller() { Stop(); }

void CLinePoller::Start()
{
    if (m_bAsked)
        return;
    m_bAsked = true;
    CPollThread* pThread = new CPollThread(m_fnReadLines);
    if (pThread->Start()) {
        m_pThread = pThread;
        return;
    }
    // No thread to be had: the receive thread reads the lines itself.
    delete pThread;
}

void CLinePoller::Stop()
{
    CPollThread* pThread = m_pThread;
    m_pThread = nullptr;
    // An abandoned thread keeps its runner for good.
    if (pThread != nullptr && pThread->Stop())
        delete pThread;
}
