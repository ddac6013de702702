#pragma once

#include <windows.h>

#include <deque>
#include <vector>

#include "monitor/LineListener.h"
#include "serial/SyncObject.h"

// What a receive thread saw, one entry per thing seen, in the order seen.
enum ERelayEntry
{
    RELAY_DATA,   // dwValue bytes, kept in the queue's byte store
    RELAY_CTS,    // dwValue: the new CTS state, 0 or 1
    RELAY_DSR,    // dwValue: the new DSR state, 0 or 1
    RELAY_EVENT,  // dwValue: an ELineEvent
    RELAY_LOST,   // dwValue bytes and dwLines line changes were given up here
};

struct TRelayEntry
{
    ERelayEntry eKind;
    DWORD dwValue;
    DWORD dwLines;
    // When the receive thread read it: microseconds since 1970, UTC.
    ULONGLONG qwMicros;
};

// The one ordered hand-over from a relay's receive thread (and its line
// poller) to its event thread. Windows refuses posts past 10,000 queued
// messages, so the event thread is woken by one post when the queue turns
// non-empty, never one per entry. Bounded in memory: what does not fit is
// given up and counted, and the count is reported at its place.
class CRelayQueue
{
public:
    CRelayQueue(size_t nByteLimit, size_t nEntryLimit);

    CRelayQueue(const CRelayQueue&) = delete;
    CRelayQueue& operator=(const CRelayQueue&) = delete;

    // Each Add answers whether the caller must wake the event thread (the
    // queue had nothing for it, or a wake-up could not be posted).
    bool AddData(const BYTE* pData, DWORD dwSize, ULONGLONG qwMicros);
    bool AddEntry(ERelayEntry eKind, DWORD dwValue, ULONGLONG qwMicros);
    // The post of a wake-up failed: the next Add or Rewake asks again.
    void OnWakeRefused();
    // Whether entries wait with no wake-up on its way (after a refused post).
    bool Rewake();

    // Event thread: hands every entry queued so far to the listener (none:
    // they are only taken), with OnLineTime before each new receive time.
    void Deliver(int nIndex, ILineListener* pListener);

private:
    bool Add(const TRelayEntry& entry, const BYTE* pData);
    void GiveUp(const TRelayEntry& entry);
    bool TakeWake();
    void DeliverOne(int nIndex, ILineListener* pListener, const TRelayEntry& entry, const BYTE*& pNext);

    const size_t m_nByteLimit;
    const size_t m_nEntryLimit;
    ZEV::CSyncSection m_lock;
    // Under m_lock.
    std::deque<TRelayEntry> m_entries;
    std::vector<BYTE> m_bytes;
    bool m_bWakeOut;
    // Event thread only.
    ULONGLONG m_qwLastMicros;
    std::deque<TRelayEntry> m_taken;
    std::vector<BYTE> m_takenBytes;
};
