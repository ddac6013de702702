#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "log/LogHost.h"

class CWnd;
class CLogListBox;
class CLogRowQueue;
namespace ZEV {
class CSerialPort;
}

// The main window's flush timer. Its WM_TIMER handler must run
//     KillTimer(IDT_FLUSH); log.FlushPending();
// on the window thread.
const UINT_PTR IDT_FLUSH = 1;
// Posted to the main window when another thread wants the flush timer:
// Windows lets only the window's own thread set its timers. The handler
// must run SetTimer(IDT_FLUSH, wParam) (wParam: the delay in ms).
const UINT WM_ARM_FLUSH = WM_APP + 2;

// What the log host reaches in the main window; nothing here is owned.
struct TLogWindows
{
    CWnd* pMainWnd = nullptr;                        // owner of the flush timer
    CLogListBox* pView[2] = {nullptr, nullptr};      // 1000 (port1), 1001 (port2)
    CWnd* pHeader[2] = {nullptr, nullptr};           // 1007, 1008
    const std::atomic<bool>* pbMonitor = nullptr;    // the monitoring switch
    const ZEV::CSerialPort* pPort[2] = {nullptr, nullptr};  // give the port names
};

// The log host over the real windows of the main window:
//   CMainDlg members (declared before m_log):  CWindowLogHost m_logHost;
//   in OnInitDialog, after the data exchange and before the relays attach:
//       TLogWindows w; w.pMainWnd = this; w.pView[0] = &m_lbLog1; ...;
//       m_logHost.Attach(w); m_log.SetHost(&m_logHost);
// Attach pairs the two views, so that they share one row queue and one
// repaint timer.
// Settings are read from section "log-setting" of the INI file beside the
// executable (or of the file given to SetIniPath), anew at every call.
class CWindowLogHost : public ILogHost
{
public:
    CWindowLogHost() {}

    void Attach(const TLogWindows& windows);
    // Empty: the INI file beside the executable.
    void SetIniPath(const std::string& strPath) { m_strIniPath = strPath; }

    bool QueueRows(const std::string& strLeft, const std::string& strRight) override;
    bool NotifyRows() override;
    size_t GetQueuedRows() override;
    void ResetViews() override;
    void SetHeaderText(int nView, const char* pszText) override;
    bool StartFlushTimer(DWORD dwDelayMs) override;
    bool IsMonitoring() override;
    int ReadLogSetting(const char* pszKey, int nDefault) override;
    std::string GetPortName(int nIndex) override;

private:
    // The queue both views take their rows from; nullptr without views.
    CLogRowQueue* GetRowQueue() const;

    TLogWindows m_windows;
    std::string m_strIniPath;
};
