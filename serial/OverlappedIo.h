#pragma once

#include <windows.h>

namespace ZEV {

// One OVERLAPPED with its own manual-reset event, kept for the life of the
// owner: creating an event per call would cost a round trip to the system
// on every read and write.
class COverlappedIo {
public:
    // How an operation ended: by itself, cut short (its time-out, a cancel,
    // the caller's stop; what it moved still counts), or failed.
    enum EEnd { END_DONE, END_CUT, END_FAILED };

    COverlappedIo();
    ~COverlappedIo();

    COverlappedIo(const COverlappedIo&) = delete;
    COverlappedIo& operator=(const COverlappedIo&) = delete;

    // False when the system refused the event, or while a driver still holds
    // an operation it was asked to give up; operations then fail.
    bool IsReady();
    HANDLE GetEvent() const { return m_pOv->hEvent; }
    // The OVERLAPPED made ready for a new operation.
    OVERLAPPED* Begin();
    OVERLAPPED* Get() { return m_pOv; }
    // A word kept with the OVERLAPPED for what the operation writes (a
    // 1-byte read's byte, an event wait's mask): it outlives the owner too
    // when a driver never lets go.
    DWORD* GetSpare() { return &reinterpret_cast<TBlock*>(m_pOv)->dwSpare; }

    // Finishes an operation just started on hPort: bStarted is what the
    // starting call answered. Waits at most dwTimeout ms, or until hStop (may
    // be NULL) is set, then cancels it. *pdwCount: what it moved.
    EEnd Finish(HANDLE hPort, BOOL bStarted, DWORD dwTimeout, HANDLE hStop, DWORD* pdwCount);
    // Cancels a pending operation and waits, bounded, until the driver let
    // go of it; answers whether it did, with what the operation moved.
    bool Cancel(HANDLE hPort, DWORD* pdwCount);
    // Waits, bounded, for an operation the caller has already ended in its
    // own way (a line-event wait ends when the event mask is cleared).
    bool Settle(HANDLE hPort, DWORD* pdwCount);

private:
    struct TBlock {
        OVERLAPPED ov;
        DWORD dwSpare;
    };

    // On the heap, so that it can be left to a driver that never lets go:
    // the driver writes into it (and sets its event) whenever it ends.
    OVERLAPPED* m_pOv;
    // A cancelled operation that did not end within the bound.
    bool m_bHeld;
};

} // namespace ZEV
