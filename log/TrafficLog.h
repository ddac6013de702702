#pragma once

#include <windows.h>

#include <string>

#include "log/LogHost.h"
#include "log/LogItem.h"
#include "log/LogRowSink.h"
#include "monitor/LineListener.h"
#include "serial/SyncObject.h"

// Signal column texts (Shift-JIS, 5 bytes each).
extern const char SIGNAL_UNKNOWN[];     // before the ports were first opened
extern const char SIGNAL_HIDDEN[];      // signal lines not shown
extern const char SIGNAL_ON[];          // line asserted: bar in the L cell
extern const char SIGNAL_OFF[];         // line not asserted: bar in the H cell
extern const char SIGNAL_WENT_OFF[];    // transition row, on -> off
extern const char SIGNAL_WENT_ON[];     // transition row, off -> on

// Turns what the two relays report into the rows of the two log views: bytes
// of one port are collected into a block until the other port speaks, a
// signal event comes, the flush timer fires or the block holds 64 KiB, then
// written out as dump rows.
// Every event adds the same number of rows to both views, so row N of the left
// and of the right view describe the same moment.
//
// Called from both relays' event threads and from the window thread; m_lock
// (recursive) serialises all of it. Rows only ever leave as pairs through
// ILogHost::QueueRows, so no thread waits for the window while holding m_lock.
class CTrafficLog : public ILineListener
{
public:
    explicit CTrafficLog(ILogHost* pHost = nullptr);
    ~CTrafficLog() override;

    CTrafficLog(const CTrafficLog&) = delete;
    CTrafficLog& operator=(const CTrafficLog&) = delete;

    // The host must be set before the relays are attached.
    void SetHost(ILogHost* pHost) { m_pHost = pHost; }
    // From the next row on, every row pair also goes to pSink (nullptr: to
    // none); a block still pending is written out first when a sink leaves,
    // so that it holds every byte received before.
    void SetRowSink(ILogRowSink* pSink);

    void OnLineData(int nIndex, DWORD dwSize, const BYTE* pData) override;
    void OnCtsChanged(int nIndex, bool bState) override;
    void OnDsrChanged(int nIndex, bool bState) override;
    // A break or line error: a row in the port's view, shown with the line rows.
    void OnLineEvent(int nIndex, ELineEvent eEvent) override;
    // One row in the port's view at the place of the gap: the relay could
    // not report these (they were relayed all the same).
    void OnLineLost(int nIndex, DWORD dwBytes, DWORD dwLineChanges) override;

    // The flush timer expired (the window has stopped it): writes the pending
    // block out once its last byte is 100 ms old, else arms the timer for the
    // rest; asks the window again to take rows it could not be told about.
    void FlushPending();

    // The ports were opened: marker rows, signal columns, header labels.
    void MarkOpen(const bool bCts[2], const bool bDsr[2]);
    // The log settings changed: dump layout and signal columns.
    void ApplyLogSettings(const bool bCts[2]);
    // Reads bytes per row and dump mode from the settings (start-up).
    void LoadDumpSettings();
    void ClearLog();
    // Monitoring was switched off: the pending block, then an empty row in both views.
    void MarkPause();
    // The next time column shows "------|" (monitoring switched on).
    void ResetTimeColumn();
    // No block pending and signal columns unknown (start-up).
    void ResetPending();
    void UpdateHeader(int nPort, bool bDsrOn);

    // "%06d|" milliseconds since the previous time column, "------|" beyond a minute.
    std::string MakeTimeColumn();

    DWORD GetLineBytes() const { return m_nLineBytes; }
    bool IsFullDump() const { return m_bFullDump; }
    std::string GetSignalColumn(int nPort);
    // Row pairs handed over that the window has not taken yet.
    size_t GetBacklogSize();
    // Bytes of memory held for the pending block.
    size_t GetPendingMemory();

private:
    bool IsValidPort(int nIndex) const { return nIndex == 0 || nIndex == 1; }
    bool AreSignalsShown();
    void RestateSignals(const bool bCts[2]);
    // Writes the pending block out as rows now.
    void WritePending();
    void PostPair(int nOwnView, const std::string& strOwn, const std::string& strOther);
    void PostBoth(const std::string& strLeft, const std::string& strRight);
    void ArmFlushTimer(DWORD dwDelayMs);

    ILogHost* m_pHost;
    ILogRowSink* m_pSink;
    ZEV::CSyncSection m_lock;
    TLogItem m_pending;
    DWORD m_dwLastTick;
    DWORD m_nLineBytes;
    bool m_bFullDump;
    std::string m_strSignal[2];
    std::string m_strHeader[2];
    DWORD m_dwLastData;     // tick of the pending block's last byte
    bool m_bTimerArmed;     // the flush timer runs
    bool m_bUntold;         // rows are queued that the window could not be told about
};
