#include "log/TrafficLog.h"

#include <algorithm>

#include "log/DumpLines.h"
#include "settings/ProfileKeys.h"
#include "support/Format.h"
#include "support/Tick.h"

const char SIGNAL_UNKNOWN[] = "　　|";
const char SIGNAL_HIDDEN[] = "    |";
const char SIGNAL_ON[] = "┃　|";
const char SIGNAL_OFF[] = "　┃|";
const char SIGNAL_WENT_OFF[] = "┗┓|";
const char SIGNAL_WENT_ON[] = "┏┛|";

namespace {

const char OPEN_ROW[] = "----- Open -----";
const char CONTINUATION_TIME[] = "      |";
const char HEADER_FORMAT[] = " L H     <%s>        ";

// Putting the last time column half the tick range back makes the next one
// "------|": nothing before it belongs to the same session.
const DWORD TICK_FAR_PAST = 0x80000000;
const DWORD MAX_TIME_DIFF = 60000;
// A block is written out when its port has been quiet this long.
const DWORD FLUSH_DELAY_MS = 100;
// ... or when it holds this much: a port that never pauses would otherwise
// show nothing and grow one block without end.
const size_t MAX_BLOCK_BYTES = 64 * 1024;

} // namespace

CTrafficLog::CTrafficLog(ILogHost* pHost)
    : m_pHost(pHost), m_pSink(nullptr), m_dwLastTick(ZEV::GetTick() - TICK_FAR_PAST), m_nLineBytes(16), m_bFullDump(false),
      m_dwLastData(0), m_bTimerArmed(false), m_bUntold(false)
{
    m_strSignal[0] = m_strSignal[1] = SIGNAL_UNKNOWN;
    m_pending.data.reserve(MAX_BLOCK_BYTES);
}

CTrafficLog::~CTrafficLog()
{
}

void CTrafficLog::OnLineData(int nIndex, DWORD dwSize, const BYTE* pData)
{
    if (!m_pHost->IsMonitoring()) {
        ZEV::CSyncLock lock(m_lock);
        WritePending();
        return;
    }
    if (!IsValidPort(nIndex) || (pData == nullptr && dwSize != 0))
        return;
    ZEV::CSyncLock lock(m_lock);
    do {
        if (nIndex != m_pending.nPort) {
            WritePending();
            m_pending.nPort = nIndex;
            m_pending.strTime = MakeTimeColumn();
        }
        const DWORD dwTake = static_cast<DWORD>(std::min<size_t>(dwSize, MAX_BLOCK_BYTES - m_pending.data.size()));
        m_pending.data.insert(m_pending.data.end(), pData, pData + dwTake);
        pData += dwTake;
        dwSize -= dwTake;
        if (m_pending.data.size() >= MAX_BLOCK_BYTES)
            WritePending();
    } while (dwSize > 0);
    // Restarting the timer is a call into the window system, too dear for
    // every byte: the timer runs from the block's first byte, and when it
    // expires early it is armed again for the rest of the 100 ms.
    m_dwLastData = ZEV::GetTick();
    ArmFlushTimer(FLUSH_DELAY_MS);
}

void CTrafficLog::OnCtsChanged(int nIndex, bool bState)
{
    if (!IsValidPort(nIndex) || !AreSignalsShown())
        return;
    ZEV::CSyncLock lock(m_lock);
    WritePending();
    // The column follows the line also while monitoring is off, so that it is
    // right again when monitoring comes back on; only the row is left out.
    m_strSignal[nIndex] = bState ? SIGNAL_ON : SIGNAL_OFF;
    if (!m_pHost->IsMonitoring())
        return;
    const std::string strTime = MakeTimeColumn();
    std::string strOwn = bState ? SIGNAL_WENT_ON : SIGNAL_WENT_OFF;
    strOwn += strTime;
    strOwn += bState ? " RTS is Low" : " RTS is Hi";
    PostPair(nIndex, strOwn, m_strSignal[1 - nIndex] + strTime);
}

void CTrafficLog::OnLineEvent(int nIndex, ELineEvent eEvent)
{
    static const char* const TEXTS[] = {" BREAK", " Framing error", " Parity error", " Overrun error",
                                        " Receive overflow", " Line error"};
    const size_t nText = static_cast<size_t>(eEvent);
    if (!IsValidPort(nIndex) || nText >= sizeof(TEXTS) / sizeof(TEXTS[0]) || !AreSignalsShown())
        return;
    ZEV::CSyncLock lock(m_lock);
    // The bytes before the event go out first, so the row stands at its place.
    WritePending();
    if (!m_pHost->IsMonitoring())
        return;
    const std::string strTime = MakeTimeColumn();
    PostPair(nIndex, m_strSignal[nIndex] + strTime + TEXTS[nText], m_strSignal[1 - nIndex] + strTime);
}

void CTrafficLog::OnDsrChanged(int nIndex, bool bState)
{
    if (!IsValidPort(nIndex) || !AreSignalsShown())
        return;
    {
        ZEV::CSyncLock lock(m_lock);
        WritePending();
    }
    // Like the signal column, the header follows the line while monitoring is off.
    UpdateHeader(nIndex, bState);
}

void CTrafficLog::OnLineLost(int nIndex, DWORD dwBytes, DWORD dwLineChanges)
{
    if (!IsValidPort(nIndex))
        return;
    ZEV::CSyncLock lock(m_lock);
    WritePending();
    if (!m_pHost->IsMonitoring())
        return;
    const std::string strTime = MakeTimeColumn();
    std::string strOwn = m_strSignal[nIndex] + strTime
                         + ZEV::Format(" Not shown: %lu bytes, %lu line changes", static_cast<unsigned long>(dwBytes),
                                       static_cast<unsigned long>(dwLineChanges));
    PostPair(nIndex, strOwn, m_strSignal[1 - nIndex] + strTime);
}

void CTrafficLog::FlushPending()
{
    ZEV::CSyncLock lock(m_lock);
    m_bTimerArmed = false;
    if (m_bUntold)
        m_bUntold = !m_pHost->NotifyRows();
    if (m_pending.IsPending()) {
        const DWORD dwQuiet = ZEV::GetTick() - m_dwLastData;
        if (dwQuiet < FLUSH_DELAY_MS) {
            ArmFlushTimer(FLUSH_DELAY_MS - dwQuiet);
            return;
        }
        WritePending();
    }
    if (m_bUntold)
        ArmFlushTimer(FLUSH_DELAY_MS);   // asked again when the window has caught up
}

void CTrafficLog::WritePending()
{
    if (!m_pending.IsPending())
        return;
    const int nOwn = m_pending.nPort;
    const int nOther = 1 - nOwn;
    const std::vector<std::string> rows =
        MakeDumpLines(m_pending.data.data(), static_cast<DWORD>(m_pending.data.size()), m_bFullDump, m_nLineBytes);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0)
            PostPair(nOwn, m_strSignal[nOwn] + m_pending.strTime + " " + rows[0], m_strSignal[nOther] + m_pending.strTime);
        else
            PostPair(nOwn, m_strSignal[nOwn] + CONTINUATION_TIME + " " + rows[i], m_strSignal[nOther] + CONTINUATION_TIME);
    }
    // The timer is left to expire: stopping it here would cost a call into
    // the window system for every block, and a block per byte is common.
    m_pending.Reset();
}

void CTrafficLog::SetRowSink(ILogRowSink* pSink)
{
    ZEV::CSyncLock lock(m_lock);
    if (pSink == nullptr)
        WritePending();
    m_pSink = pSink;
}

void CTrafficLog::MarkOpen(const bool bCts[2], const bool bDsr[2])
{
    {
        ZEV::CSyncLock lock(m_lock);
        PostBoth(OPEN_ROW, OPEN_ROW);
        RestateSignals(bCts);
        for (int i = 0; i < 2; ++i)
            m_strHeader[i] = ZEV::Format(HEADER_FORMAT, m_pHost->GetPortName(i).c_str());
        m_dwLastTick = ZEV::GetTick() - TICK_FAR_PAST;
    }
    for (int i = 0; i < 2; ++i)
        UpdateHeader(i, bDsr[i]);
}

void CTrafficLog::ApplyLogSettings(const bool bCts[2])
{
    // Under the lock: the event threads read the columns and widths while flushing.
    ZEV::CSyncLock lock(m_lock);
    LoadDumpSettings();
    RestateSignals(bCts);
}

void CTrafficLog::LoadDumpSettings()
{
    ZEV::CSyncLock lock(m_lock);
    const int nWidth = m_pHost->ReadLogSetting(ZEV::INI_KEY_DATA_WIDTH, ZEV::INI_DEFAULT_DATA_WIDTH);
    const int nView = m_pHost->ReadLogSetting(ZEV::INI_KEY_DATA_VIEW_TYPE, ZEV::INI_DEFAULT_DATA_VIEW_TYPE);
    m_nLineBytes = nWidth == 0 ? 16 : 8;
    m_bFullDump = nView != 0;
}

void CTrafficLog::RestateSignals(const bool bCts[2])
{
    if (!AreSignalsShown()) {
        m_strSignal[0] = m_strSignal[1] = SIGNAL_HIDDEN;
        return;
    }
    for (int i = 0; i < 2; ++i)
        m_strSignal[i] = bCts[i] ? SIGNAL_ON : SIGNAL_OFF;
    PostBoth(m_strSignal[0], m_strSignal[1]);
}

void CTrafficLog::ClearLog()
{
    ZEV::CSyncLock lock(m_lock);
    // Rows not yet taken belong to the log being cleared.
    m_pHost->ResetViews();
    m_bUntold = false;
    m_dwLastTick = ZEV::GetTick() - TICK_FAR_PAST;
}

void CTrafficLog::MarkPause()
{
    ZEV::CSyncLock lock(m_lock);
    // The block came before the pause, so its rows go before the empty one.
    WritePending();
    PostBoth(std::string(), std::string());
}

void CTrafficLog::ResetTimeColumn()
{
    ZEV::CSyncLock lock(m_lock);
    m_dwLastTick = ZEV::GetTick() - TICK_FAR_PAST;
}

void CTrafficLog::ResetPending()
{
    ZEV::CSyncLock lock(m_lock);
    m_pending.Reset();
    m_strSignal[0] = m_strSignal[1] = SIGNAL_UNKNOWN;
}

void CTrafficLog::UpdateHeader(int nPort, bool bDsrOn)
{
    if (!IsValidPort(nPort))
        return;
    std::string strText;
    {
        ZEV::CSyncLock lock(m_lock);
        strText = m_strHeader[nPort];
    }
    if (strText.empty())
        return;
    if (AreSignalsShown())
        strText += bDsrOn ? "DTR(LOW)" : "DTR(HI)";
    // Outside the lock: setting a label waits for the window thread.
    m_pHost->SetHeaderText(nPort, strText.c_str());
}

std::string CTrafficLog::MakeTimeColumn()
{
    ZEV::CSyncLock lock(m_lock);
    const DWORD dwNow = ZEV::GetTick();
    const DWORD dwDiff = dwNow - m_dwLastTick;
    m_dwLastTick = dwNow;
    if (dwDiff > MAX_TIME_DIFF)
        return "------|";
    return ZEV::Format("%06u|", static_cast<unsigned>(dwDiff));
}

std::string CTrafficLog::GetSignalColumn(int nPort)
{
    ZEV::CSyncLock lock(m_lock);
    return IsValidPort(nPort) ? m_strSignal[nPort] : std::string();
}

size_t CTrafficLog::GetBacklogSize()
{
    return m_pHost->GetQueuedRows();
}

size_t CTrafficLog::GetPendingMemory()
{
    ZEV::CSyncLock lock(m_lock);
    return m_pending.data.capacity();
}

bool CTrafficLog::AreSignalsShown()
{
    // Read anew each time: the log settings dialog stores it without telling us.
    return m_pHost->ReadLogSetting(ZEV::INI_KEY_SIGNAL_MODE, ZEV::INI_DEFAULT_SIGNAL_MODE) == 0;
}

void CTrafficLog::PostPair(int nOwnView, const std::string& strOwn, const std::string& strOther)
{
    if (nOwnView == 0)
        PostBoth(strOwn, strOther);
    else
        PostBoth(strOther, strOwn);
}

void CTrafficLog::PostBoth(const std::string& strLeft, const std::string& strRight)
{
    // Before the queue to the views, which drops rows when the window falls behind.
    if (m_pSink != nullptr)
        m_pSink->AddRows(strLeft, strRight);
    if (m_pHost->QueueRows(strLeft, strRight))
        return;
    // The rows wait in the queue, in their place; the flush timer asks the
    // window again if no later row gets it told first.
    m_bUntold = true;
    ArmFlushTimer(FLUSH_DELAY_MS);
}

void CTrafficLog::ArmFlushTimer(DWORD dwDelayMs)
{
    if (!m_bTimerArmed)
        m_bTimerArmed = m_pHost->StartFlushTimer(dwDelayMs);
}
