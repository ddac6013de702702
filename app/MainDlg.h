#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "framework/Afx.h"
#include "layout/LayoutDialog.h"
#include "log/CaptureRecorder.h"
#include "log/LogListBox.h"
#include "log/LogRecorder.h"
#include "log/TrafficLog.h"
#include "log/WindowLogHost.h"
#include "monitor/LineRelay.h"

// The program's main window: two header labels and two log views side by side,
// port1 on the left and port2 on the right. It owns the two relays and the
// traffic log they report to, opens the ports through the port settings dialog
// right after it is shown, and dispatches the menu commands.
class CMainDlg : public ZEV::CLayoutDialog
{
public:
    explicit CMainDlg(CWnd* pParent = NULL);
    ~CMainDlg() override;

    // Runs the port settings dialog; on OK primes the output lines and marks the
    // opening in the log. Answers whether the dialog ended with OK. Virtual so
    // that a test can bring the window up without a user at the dialog.
    virtual bool OpenPorts();

    CTrafficLog& GetLog() { return m_log; }
    bool IsMonitoring() const { return m_bMonitor; }
    bool IsRecording() const { return m_pRecorder != nullptr; }
    // A port's receive thread is still in a driver call it was abandoned in:
    // the relays must outlive it, up to the process's end.
    bool HoldsAbandonedThread() const { return m_port1.IsUnusable() || m_port2.IsUnusable(); }
    // Once the ports are open at start-up, the log is recorded into this file
    // (appended to when it exists).
    void RecordFromStart(const std::wstring& strPath) { m_strStartRecording = strPath; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar) override;
    void OnOK() override;
    void OnCancel() override;

    void OnSelChangeLog1();
    void OnSelChangeLog2();
    void OnPortSetting();
    void ExportLog();
    void OnRecordLog();
    void OnRecordStopped(WPARAM nRecording);
    void OnExit();
    void OnMonitor();
    void OnLogSetting();
    void OnLogClear();
    void OnVersion();

private:
    void AddAboutItem();
    void BuildLayout();
    void SavePlacement();
    void AttachLogHost();
    void SyncTopIndex(CLogListBox& from, CLogListBox& to);
    bool AskSavePath(CFileDialog& dlg, const std::string& strInitialName, std::wstring& strPath);
    // A file ending in ".pcapng" gets a capture, any other the text log.
    void StartRecording(const std::wstring& strPath, bool bAppend);
    // A capture's ports: names, frame gaps, input lines.
    void RestateCapture();
    // The log stops handing rows over; the writer completes the file on its own.
    void StopRecording();
    void CheckRecordItem();

public:
    CStatic m_stHeader2;
    CStatic m_stHeader1;
    CLogListBox m_lbLog1;
    CLogListBox m_lbLog2;
    HICON m_hIcon;
    // Read by the traffic log from the relays' event threads.
    std::atomic<bool> m_bMonitor;

private:
    // Declared before the relays so that it outlives them: a relay's event thread
    // may still hand the log a queued event while the relay is being destroyed.
    CWindowLogHost m_logHost;
    // Before the log, which hands them rows until it is destroyed.
    std::unique_ptr<CFileRecorder> m_pRecorder;
    std::unique_ptr<CFileRecorder> m_pFinishing;  // completing its file
    CCaptureRecorder* m_pCapture;                 // m_pRecorder when it records a capture
    WPARAM m_nRecording;                          // counts the recordings started
    bool m_bMaximizeWhenShown;                    // saved maximised, not yet shown
    std::wstring m_strStartRecording;
    CTrafficLog m_log;

public:
    CLineRelay m_port1;
    CLineRelay m_port2;
};
