#include "monitor/RelayQueue.h"

CRelayQueue::CRelayQueue(size_t nByteLimit, size_t nEntryLimit)
    : m_nByteLimit(nByteLimit), m_nEntryLimit(nEntryLimit), m_bWakeOut(false), m_qwLastMicros(0)
{
}

bool CRelayQueue::AddData(const BYTE* pData, DWORD dwSize, ULONGLONG qwMicros)
{
    if (dwSize == 0)
        return false;
    return Add(TRelayEntry{RELAY_DATA, dwSize, 0, qwMicros}, pData);
}

bool CRelayQueue::AddEntry(ERelayEntry eKind, DWORD dwValue, ULONGLONG qwMicros)
{
    return Add(TRelayEntry{eKind, dwValue, 0, qwMicros}, nullptr);
}

// Answers yes once per turn to non-empty, and marks the wake-up as on its way.
bool CRelayQueue::TakeWake()
{
    if (m_bWakeOut || m_entries.empty())
        return false;
    m_bWakeOut = true;
    return true;
}

bool CRelayQueue::Add(const TRelayEntry& entry, const BYTE* pData)
{
    ZEV::CSyncLock lock(m_lock);
    size_t nBytes = entry.eKind == RELAY_DATA ? entry.dwValue : 0;
    bool bFull = m_entries.size() >= m_nEntryLimit || m_bytes.size() + nBytes > m_nByteLimit;
    // Once something was given up, whatever follows until the event thread
    // takes the queue joins the same count: one gap, one report.
    if (bFull || (!m_entries.empty() && m_entries.back().eKind == RELAY_LOST)) {
        GiveUp(entry);
        return TakeWake();
    }
    if (nBytes > 0)
        m_bytes.insert(m_bytes.end(), pData, pData + nBytes);
    m_entries.push_back(entry);
    return TakeWake();
}

void CRelayQueue::GiveUp(const TRelayEntry& entry)
{
    if (m_entries.empty() || m_entries.back().eKind != RELAY_LOST)
        m_entries.push_back(TRelayEntry{RELAY_LOST, 0, 0, entry.qwMicros});
    TRelayEntry& lost = m_entries.back();
    if (entry.eKind == RELAY_DATA)
        lost.dwValue += entry.dwValue;
    else if (entry.eKind == RELAY_CTS || entry.eKind == RELAY_DSR)
        ++lost.dwLines;
}

void CRelayQueue::OnWakeRefused()
{
    ZEV::CSyncLock lock(m_lock);
    m_bWakeOut = false;
}

bool CRelayQueue::Rewake()
{
    ZEV::CSyncLock lock(m_lock);
    return TakeWake();
}

void CRelayQueue::Deliver(int nIndex, ILineListener* pListener)
{
    {
        ZEV::CSyncLock lock(m_lock);
        m_taken.swap(m_entries);
        m_takenBytes.swap(m_bytes);
        m_bWakeOut = false;
    }
    const BYTE* pNext = m_takenBytes.data();
    for (const TRelayEntry& entry : m_taken)
        DeliverOne(nIndex, pListener, entry, pNext);
    m_taken.clear();
    m_takenBytes.clear();
}

void CRelayQueue::DeliverOne(int nIndex, ILineListener* pListener, const TRelayEntry& entry, const BYTE*& pNext)
{
    const BYTE* pData = pNext;
    if (entry.eKind == RELAY_DATA)
        pNext += entry.dwValue;
    if (pListener == nullptr)
        return;
    if (entry.qwMicros != m_qwLastMicros) {
        m_qwLastMicros = entry.qwMicros;
        pListener->OnLineTime(nIndex, entry.qwMicros);
    }
    switch (entry.eKind) {
    case RELAY_DATA:
        // One byte per call, as the log expects.
        for (DWORD i = 0; i < entry.dwValue; ++i)
            pListener->OnLineData(nIndex, 1, pData + i);
        break;
    case RELAY_CTS:
        pListener->OnCtsChanged(nIndex, entry.dwValue != 0);
        break;
    case RELAY_DSR:
        pListener->OnDsrChanged(nIndex, entry.dwValue != 0);
        break;
    case RELAY_EVENT:
        pListener->OnLineEvent(nIndex, static_cast<ELineEvent>(entry.dwValue));
        break;
    case RELAY_LOST:
        pListener->OnLineLost(nIndex, entry.dwValue, entry.dwLines);
        break;
    }
}
