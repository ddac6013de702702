#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "framework/Afx.h"
#include "log/LogHost.h"
#include "log/LogListBox.h"
#include "log/TrafficLog.h"
#include "tests/framework/TestDialogTemplate.h"

// The two log views and their labels in a window of their own, wired to a traffic
// log as the main window wires them: rows queued for the real views, paired, the
// flush timer on the window, settings from a table instead of the INI file. The window
// thread is the thread that creates it; it must pump (PumpFor, PumpUntil).
class CViewPairHost : public CDialog, public ILogHost
{
public:
    CViewPairHost();
    ~CViewPairHost() override;

    bool Open();
    CTrafficLog& Log() { return m_log; }
    CLogListBox& View(int n) { return m_views[n]; }
    int Count(int n) { return static_cast<int>(::SendMessageA(m_views[n].m_hWnd, LB_GETCOUNT, 0, 0)); }
    std::string Row(int n, int nIndex);
    // Some row of the view holds this text.
    bool HasRow(int n, const std::string& strPart);

    void SetSetting(const char* pszKey, int nValue);
    // Let only every nEvery-th notice that tells the window of waiting rows
    // through, as Windows refuses posts to a queue that holds 10000 messages
    // (Wine takes any number); 0 = refuse none.
    void SetNoticeRefusal(long nEvery) { m_nRefuseEvery = nEvery; }
    // Notices refused, over the host's life.
    long GetRefusedPosts() const { return m_nRefused; }

    // ILogHost
    bool QueueRows(const std::string& strLeft, const std::string& strRight) override;
    bool NotifyRows() override;
    size_t GetQueuedRows() override;
    void ResetViews() override;
    void SetHeaderText(int nView, const char* pszText) override;
    bool StartFlushTimer(DWORD dwDelayMs) override;
    bool IsMonitoring() override { return m_bMonitoring; }
    int ReadLogSetting(const char* pszKey, int nDefault) override;
    std::string GetPortName(int nIndex) override;

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::atomic<bool> m_bMonitoring;

private:
    bool RefuseNotice();

    CTestDialogTemplate m_template;
    CLogListBox m_views[2];
    CTrafficLog m_log;
    std::mutex m_settingsMutex;
    std::map<std::string, int> m_settings;
    std::atomic<long> m_nRefused;
    std::atomic<long> m_nRefuseEvery;
    std::atomic<long> m_nNotices;
};

// Runs the calling thread's message loop for a while, or until pred answers true.
void PumpFor(DWORD dwMs);
bool PumpUntil(const std::function<bool()>& pred, DWORD dwMs);

// Posts a marker to a window every few milliseconds from a thread of its own and
// notes how long each waited in the queue before the window handled it: the delay a
// user's click would see at least.
class CQueueLatencyProbe
{
public:
    static const UINT WM_PROBE = WM_APP + 0x100;

    explicit CQueueLatencyProbe(HWND hWnd);
    ~CQueueLatencyProbe();
    // Call from the window procedure on WM_PROBE.
    static void OnProbe(LPARAM lParam);
    void Stop();
    DWORD GetWorstMs() const { return m_dwWorst; }
    int GetAnswered() const { return m_nAnswered; }

private:
    static DWORD WINAPI ThreadProc(LPVOID pParam);
    void Run();

    HWND m_hWnd;
    HANDLE m_hThread;
    std::atomic<bool> m_bRun;
    std::atomic<DWORD> m_dwWorst;
    std::atomic<int> m_nAnswered;
    std::atomic<DWORD> m_dwPostedAt;
    std::atomic<bool> m_bWaiting;
    static CQueueLatencyProbe* s_pActive;
};
