#pragma once

#include <windows.h>

#include <atomic>
#include <deque>

#include "serial/OverlappedIo.h"

namespace ZEV {

class CSerialPort;

// Bytes on their way out of a port, written in order, one overlapped write
// at a time, so that the thread that hands them over never waits for the
// port: a write held back by flow control or a slow driver holds up only the
// bytes queued behind it, while that thread keeps reading and watching its
// own port. One thread uses it; its wait includes GetEvent.
//
// What a write leaves unsent when its time-out runs out, or the port fails
// or closes, is given up, never sent again, and counted; a write the driver
// ends early with time left goes on with the rest. The queue's limit is for
// its user: past it, stop taking bytes in (they wait in the driver).
class CWriteQueue {
public:
    explicit CWriteQueue(size_t nLimit);
    ~CWriteQueue();

    CWriteQueue(const CWriteQueue&) = delete;
    CWriteQueue& operator=(const CWriteQueue&) = delete;

    void Add(const BYTE* pData, DWORD dwSize);
    // Bytes that may still be added within the limit.
    size_t GetRoom() const { return m_queued.size() < m_nLimit ? m_nLimit - m_queued.size() : 0; }
    // The partner's line goes into a break (bOn) once every byte added
    // before has been written, and comes out of it before the bytes added
    // after AddBreak(false), at the earliest two character times later.
    void AddBreak(bool bOn);
    // Starts a write of what waits to port, unless one is pending.
    void Start(CSerialPort& port);
    // Set when the pending write ends; NULL while none is pending.
    HANDLE GetEvent() const;
    // Takes the pending write if it ended, or cancels it once it is past
    // its time (a driver that ignores its write time-out).
    void Take();
    // Ms until the pending write is past its time; 0 when none is pending.
    DWORD GetTimeLeft() const;
    // Ms the pending write has taken so far; 0 when none is pending.
    DWORD GetTimeSpent() const { return m_bPending ? ::GetTickCount() - m_dwStarted : 0; }
    // Cancels the pending write and gives up what waits: the port is about
    // to close, or the program stops.
    void Abort();
    bool IsEmpty() const { return !m_bPending && m_queued.empty() && m_breaks.empty(); }
    // Bytes given up so far; read by any thread.
    DWORD GetGivenUp() const { return m_dwGivenUp; }

private:
    void Finish(DWORD dwWritten, bool bEnded);
    // Of the write last started, pending or not.
    DWORD GetTimeLeftOf() const;
    void ReleaseBuffer();
    void TakeQueued(DWORD dwCount);
    void ApplyBreaks(CSerialPort& port);
    DWORD GetNextPiece() const;
    void EndBreak();

    // A break's start or end, at a place in the stream of bytes added.
    struct TBreakMark {
        ULONGLONG qwAt;
        bool bOn;
    };

    const size_t m_nLimit;
    COverlappedIo m_io;
    std::deque<BYTE> m_queued;
    std::deque<TBreakMark> m_breaks;
    // Bytes ever added, and ever taken out of m_queued (written or given up).
    ULONGLONG m_qwAdded;
    ULONGLONG m_qwTaken;
    // The port whose line this queue put into a break, and since when.
    CSerialPort* m_pBreakPort;
    DWORD m_dwBreakStart;
    // The pending write's bytes: left to a driver that never lets go of it.
    BYTE* m_pBuffer;
    DWORD m_dwInFlight;
    // The rest of a write the driver ended early, at the queue's front: it
    // goes next, within the time of the write it belongs to.
    DWORD m_dwRest;
    HANDLE m_hPort;
    DWORD m_dwStarted;
    DWORD m_dwWait;
    bool m_bPending;
    std::atomic<DWORD> m_dwGivenUp;
};

} // namespace ZEV
