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

// A log host that keeps the rows in memory, for one thread. Posted rows wait
// in a queue of limited size, as in a window's message queue, until Pump
// hands them to the views; the flush timer is a due tick that FireDueTimer
// honours.
class CFakeLogHost : public ILogHost
{
public:
    bool PostRow(int nView, const char* pszRow) override
    {
        if (m_queue.size() >= m_nQueueLimit)
            return false;
        m_queue.emplace_back(nView, pszRow);
        return true;
    }

    void ResetView(int nView) override
    {
        std::deque<std::pair<int, std::string>> kept;
        for (auto& row : m_queue)
            if (row.first != nView)
                kept.push_back(row);
        m_queue.swap(kept);
        m_rows[nView].clear();
    }

    void SetHeaderText(int nView, const char* pszText) override { m_strHeader[nView] = pszText; }
    void StartFlushTimer() override { m_bTimer = true; m_dwTimerDue = ZEV::GetTick() + 100; }
    void StopFlushTimer() override { m_bTimer = false; }
    bool IsMonitoring() override { return m_bMonitoring; }

    int ReadLogSetting(const char* pszKey, int nDefault) override
    {
        auto it = m_settings.find(pszKey);
        return it == m_settings.end() ? nDefault : it->second;
    }

    std::string GetPortName(int nIndex) override { return nIndex == 0 ? "\\\\.\\COM3" : "\\\\.\\COM4"; }

    // Hands queued rows to the views, as the window thread would.
    void Pump()
    {
        for (auto& row : m_queue)
            m_rows[row.first].push_back(row.second);
        m_queue.clear();
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

    size_t m_nQueueLimit = static_cast<size_t>(-1);
    bool m_bMonitoring = true;

private:
    std::deque<std::pair<int, std::string>> m_queue;
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
