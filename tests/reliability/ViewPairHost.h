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
// log as the main window wires them: rows posted to the real views, the 100 ms flush
// timer on the window, settings from a table instead of the INI file. The window
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
    // Refuse posts while this many rows wait in the window's queue, as Windows does
    // at 10000 posted messages (Wine takes any number); 0 = no limit of our own.
    void SetQueueLimit(long nLimit) { m_nQueueLimit = nLimit; }
    // Rows handed to the views that the views have not taken yet.
    long GetRowsInQueue() const { return m_nPosted - m_nTaken; }
    // Posts that the window's queue refused, over the host's life.
    long GetRefusedPosts() const { return m_nRefused; }

    // ILogHost
    bool PostRow(int nView, const char* pszRow) override;
    void ResetView(int nView) override;
    void SetHeaderText(int nView, const char* pszText) override;
    void StartFlushTimer() override;
    void StopFlushTimer() override;
    bool IsMonitoring() override { return m_bMonitoring; }
    int ReadLogSetting(const char* pszKey, int nDefault) override;
    std::string GetPortName(int nIndex) override;

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::atomic<bool> m_bMonitoring;

private:
    static LRESULT CALLBACK CountingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    CTestDialogTemplate m_template;
    CLogListBox m_views[2];
    CTrafficLog m_log;
    std::mutex m_settingsMutex;
    std::map<std::string, int> m_settings;
    std::atomic<long> m_nRefused;
    std::atomic<long> m_nQueueLimit;
    std::atomic<long> m_nPosted;
    std::atomic<long> m_nTaken;
    WNDPROC m_pfnView[2];
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
