#pragma once

#include <windows.h>

namespace ZEV {

// One OVERLAPPED with its own manual-reset event, kept for the life of the
// owner: creating an event per call would cost a round trip to the system
// on every read and write.
class COverlappedIo {
public:
    COverlappedIo();
    ~COverlappedIo();

    COverlappedIo(const COverlappedIo&) = delete;
    COverlappedIo& operator=(const COverlappedIo&) = delete;

    // False when the system refused the event; every operation then fails.
    bool IsReady() const { return m_ov.hEvent != NULL; }
    HANDLE GetEvent() const { return m_ov.hEvent; }
    // The OVERLAPPED made ready for a new operation.
    OVERLAPPED* Begin();
    OVERLAPPED* Get() { return &m_ov; }

    // Finishes an operation just started on hPort: bStarted is what the
    // starting call answered. Waits at most dwTimeout ms, then cancels it.
    // Answers whether it succeeded, with the count it moved; an operation
    // cancelled here for its time succeeds with what it moved so far.
    bool Finish(HANDLE hPort, BOOL bStarted, DWORD dwTimeout, DWORD* pdwCount);
    // Cancels a pending operation and waits until the driver let go of it.
    void Abandon(HANDLE hPort);

private:
    OVERLAPPED m_ov;
};

} // namespace ZEV
