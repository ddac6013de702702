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
// What a write leaves unsent when it ends (its time-out ran out, the port
// failed or closed) is given up, never sent again; so are the oldest queued
// bytes once the queue holds more than its limit. Both are counted.
class CWriteQueue {
public:
    explicit CWriteQueue(size_t nLimit);
    ~CWriteQueue();

    CWriteQueue(const CWriteQueue&) = delete;
    CWriteQueue& operator=(const CWriteQueue&) = delete;

    void Add(const BYTE* pData, DWORD dwSize);
    // Starts a write of what waits to port, unless one is pending.
    void Start(CSerialPort& port);
    // Set when the pending write ends; NULL while none is pending.
    HANDLE GetEvent() const;
    // Takes the pending write if it ended, or cancels it once it is past
    // its time (a driver that ignores its write time-out).
    void Take();
    // Ms until the pending write is past its time; 0 when none is pending.
    DWORD GetTimeLeft() const;
    // Cancels the pending write and gives up what waits: the port is about
    // to close, or the program stops.
    void Abort();
    bool IsEmpty() const { return !m_bPending && m_queued.empty(); }
    // Bytes given up so far; read by any thread.
    DWORD GetGivenUp() const { return m_dwGivenUp; }

private:
    void Finish(DWORD dwWritten);
    void ReleaseBuffer();

    const size_t m_nLimit;
    COverlappedIo m_io;
    std::deque<BYTE> m_queued;
    // The pending write's bytes: left to a driver that never lets go of it.
    BYTE* m_pBuffer;
    DWORD m_dwInFlight;
    HANDLE m_hPort;
    DWORD m_dwStarted;
    DWORD m_dwWait;
    bool m_bPending;
    std::atomic<DWORD> m_dwGivenUp;
};

} // namespace ZEV
