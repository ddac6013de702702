#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "log/LogHost.h"
#include "log/TrafficLog.h"
#include "support/Tick.h"

// A log host that keeps the rows in memory, for one thread. Row pairs wait in
// a queue until Pump hands them to the views, as the window thread takes them
// when it has been told; a full window queue is emulated by refusing to tell.
// The flush timer is a due tick that FireDueTimer honours.
class CFakeLogHost : public ILogHost
{
public:
    bool QueueRows(const std::string& strLeft, const std::string& strRight) override
    {
        m_queue.push_back({strLeft, strRight});
        return NotifyRows();
    }

    bool NotifyRows() override
    {
        if (!m_bTold && !m_queue.empty())
            m_bTold = !m_bRefuseNotices;
        return m_bTold || m_queue.empty();
    }

    size_t GetQueuedRows() override { return m_queue.size(); }

    void ResetViews() override
    {
        m_queue.clear();
        m_rows[0].clear();
        m_rows[1].clear();
    }

    void SetHeaderText(int nView, const char* pszText) override { m_strHeader[nView] = pszText; }
    bool StartFlushTimer(DWORD dwDelayMs) override
    {
        ++m_nTimerStarts;
        m_bTimer = true;
        m_dwTimerDue = ZEV::GetTick() + dwDelayMs;
        return true;
    }
    bool IsMonitoring() override { return m_bMonitoring; }

    int ReadLogSetting(const char* pszKey, int nDefault) override
    {
        auto it = m_settings.find(pszKey);
        return it == m_settings.end() ? nDefault : it->second;
    }

    std::string GetPortName(int nIndex) override { return nIndex == 0 ? "\\\\.\\COM3" : "\\\\.\\COM4"; }

    // Hands the queued rows to the views, as the window thread would once told.
    void Pump()
    {
        if (!m_bTold)
            return;
        for (auto& pair : m_queue) {
            m_rows[0].push_back(pair.first);
            m_rows[1].push_back(pair.second);
        }
        m_queue.clear();
        m_bTold = false;
    }

    const std::vector<std::string>& Rows(int nView)
    {
        Pump();
        return m_rows[nView];
    }

    void ClearRows()
    {
        Pump();
        m_rows[0].clear();
        m_rows[1].clear();
    }

    // What the window does when its flush timer is due: stop it, flush.
    void FireDueTimer(CTrafficLog& log)
    {
        if (!m_bTimer || static_cast<LONG>(ZEV::GetTick() - m_dwTimerDue) < 0)
            return;
        m_bTimer = false;
        log.FlushPending();
    }

    void SetSetting(const char* pszKey, int nValue) { m_settings[pszKey] = nValue; }
    bool IsTimerRunning() const { return m_bTimer; }
    const std::string& Header(int nView) const { return m_strHeader[nView]; }

    bool m_bRefuseNotices = false;
    bool m_bMonitoring = true;
    int m_nTimerStarts = 0;

private:
    std::deque<std::pair<std::string, std::string>> m_queue;
    bool m_bTold = false;
    std::vector<std::string> m_rows[2];
    std::string m_strHeader[2];
    std::map<std::string, int> m_settings;
    bool m_bTimer = false;
    DWORD m_dwTimerDue = 0;
};

// Drives ZEV::GetTick from the test.
class CTestClock
{
public:
    CTestClock() { s_dwNow = 0; m_prev = ZEV::SetTickSource(&CTestClock::Now); }
    ~CTestClock() { ZEV::SetTickSource(m_prev); }
    void Set(DWORD dwNow) { s_dwNow = dwNow; }

private:
    static DWORD Now() { return s_dwNow; }
    static inline DWORD s_dwNow = 0;
    ZEV::TTickSource m_prev;
};
