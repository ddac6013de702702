#include "monitor/LinePoller.h"

#include <mmsystem.h>

// The poller's thread and what it runs, on the heap, so that a thread that
// outlives its stop keeps them.
class CLinePoller::CPollThread : public ZEV::IThreadRunner
{
public:
    CPollThread(const std::function<ELineRead()>& fnReadLines, bool bQuietSleep)
        : m_fnReadLines(fnReadLines),
          m_hWake(::CreateEventA(NULL, FALSE, FALSE, NULL)),
          m_bQuietSleep(bQuietSleep),
          m_bWoken(false)
    {
        m_thread.SetRunner(this);
    }
    ~CPollThread()
    {
        if (m_hWake != NULL)
            ::CloseHandle(m_hWake);
    }

    bool Start() { return m_thread.Start(THREAD_PRIORITY_TIME_CRITICAL) != FALSE; }
    // Answers no when the thread had to be abandoned.
    bool Stop()
    {
        m_thread.RequestStop();
        Wake();
        return m_thread.Stop(LINE_POLLER_STOP_LIMIT) != FALSE;
    }
    void Wake()
    {
        m_bWoken = true;
        if (m_hWake != NULL)
            ::SetEvent(m_hWake);
    }
    void SetQuietSleep(bool bOn) { m_bQuietSleep = bOn; }

    DWORD Run() override
    {
        // 1 ms sleeps only while a poller runs: a raised timer costs the
        // whole machine power.
        bool bFine = ::timeBeginPeriod(LINE_POLL_PERIOD) == TIMERR_NOERROR;
        DWORD dwLastChange = ::GetTickCount();
        while (CanRun()) {
            ELineRead eRead = m_fnReadLines();
            // A change another read found counts as one this read found.
            if (m_bWoken.exchange(false) && eRead == LINES_SAME)
                eRead = LINES_CHANGED;
            DWORD dwPeriod = GetPeriod(eRead, dwLastChange);
            // A wake-up left over from busy times ends the sleep early once,
            // finding the flag cleared.
            if (dwPeriod != LINE_POLL_QUIET || !m_bQuietSleep || m_hWake == NULL)
                ::Sleep(dwPeriod);
            else
                ::WaitForSingleObject(m_hWake, LINE_QUIET_SLEEP);
        }
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
    HANDLE m_hWake;
    std::atomic<bool> m_bQuietSleep;
    std::atomic<bool> m_bWoken;
};

CLinePoller::CLinePoller(std::function<ELineRead()> fnReadLines)
    : m_fnReadLines(std::move(fnReadLines)), m_pThread(nullptr), m_bAsked(false)
{
}

CLinePoller::~CLinePoller() { Stop(); }

void CLinePoller::Start(bool bQuietSleep)
{
    if (m_pThread != nullptr)
        m_pThread->SetQuietSleep(bQuietSleep);
    if (m_bAsked)
        return;
    m_bAsked = true;
    CPollThread* pThread = new CPollThread(m_fnReadLines, bQuietSleep);
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

void CLinePoller::Wake()
{
    if (m_pThread != nullptr)
        m_pThread->Wake();
}
