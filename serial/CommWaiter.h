#pragma once

#include <windows.h>

#include "serial/OverlappedIo.h"

namespace ZEV {

// Lets a receive thread sleep until its port has something for it: a
// pending 1-byte read that ends when the first byte arrives and, where the
// driver offers them, a pending wait for CTS and DSR changes. Every wait is
// bounded, so that the caller still reads its lines and its run flag.
//
// The port must be open for overlapped I/O, with read time-outs under which
// a 1-byte read waits for its byte (ReadIntervalTimeout and
// ReadTotalTimeoutMultiplier MAXDWORD, a constant). One waiter per port and
// thread; its destructor cancels what is still pending.
class CCommWaiter {
public:
    // hStop: an event that ends any wait at once (may be NULL).
    CCommWaiter(HANDLE hPort, HANDLE hStop);
    ~CCommWaiter();

    CCommWaiter(const CCommWaiter&) = delete;
    CCommWaiter& operator=(const CCommWaiter&) = delete;

    // Waits at most dwTimeout ms. Answers whether a byte came (then in
    // byFirst); other wake-ups (a line event, the stop event, the time-out)
    // answer no.
    bool Wait(DWORD dwTimeout, BYTE& byFirst);
    // Whether the driver takes line-event waits; known after the first Wait.
    bool HasLineEvents() const { return m_bLineEvents; }

private:
    void ArmRead();
    void ArmLineWait();
    bool TakeRead(BYTE& byFirst, bool bSignalled);
    void TakeLineWait();

    HANDLE m_hPort;
    HANDLE m_hStop;
    COverlappedIo m_read;
    COverlappedIo m_line;
    BYTE m_byRead;
    DWORD m_dwEvents;
    bool m_bReadPending;
    bool m_bLinePending;
    bool m_bLineEvents;
};

} // namespace ZEV
