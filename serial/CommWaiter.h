#pragma once

#include <windows.h>

#include "serial/OverlappedIo.h"

namespace ZEV {

// Lets a receive thread sleep until its port has something for it: a
// pending 1-byte read that ends when the first byte arrives and a pending
// wait for breaks and line errors, which also waits for CTS and DSR changes
// where the driver reports them promptly. Every wait is bounded, so that the
// caller still reads its lines and its run flag.
//
// The port must be open for overlapped I/O, with read time-outs under which
// a 1-byte read waits for its byte (ReadIntervalTimeout and
// ReadTotalTimeoutMultiplier MAXDWORD, the constant dwReadWait). One waiter
// per port and thread; Stop, or the destructor, ends what is still pending.
class CCommWaiter {
public:
    // hStop: an event that ends any wait at once (may be NULL).
    CCommWaiter(HANDLE hPort, HANDLE hStop, DWORD dwReadWait);
    ~CCommWaiter();

    CCommWaiter(const CCommWaiter&) = delete;
    CCommWaiter& operator=(const CCommWaiter&) = delete;

    // Waits at most dwTimeout ms, also for hOther (may be NULL: the caller's
    // own pending write). Answers whether a byte came (then in byFirst);
    // other wake-ups (a line event, hOther, the stop event, the time-out)
    // answer no.
    // bRead no: no new read is armed (the caller has no room for bytes; they
    // wait in the driver).
    bool Wait(DWORD dwTimeout, BYTE& byFirst, HANDLE hOther = NULL, bool bRead = true);
    // Whether the driver takes CTS and DSR event waits; known after the first Wait.
    bool HasLineEvents() const { return m_bLineEvents; }
    // EV_BREAK and EV_ERR the event wait brought since the last take.
    DWORD TakeFaultEvents();
    // Error bits (CE_*) the waiter's own ClearCommError calls found since
    // the last take.
    DWORD TakeLineErrors();
    // Whether a line event was taken by the last Wait, or has come since.
    bool SawLineEvent();
    // Gives up the driver's CTS and DSR events: the caller reads the lines
    // itself; breaks and errors are still waited for.
    void DropLineEvents();
    // Ends the pending read and line wait, each bounded; answers whether
    // the read brought a byte first (then in byLast). Idempotent.
    bool Stop(BYTE& byLast);

private:
    void ArmRead();
    void ArmLineWait();
    bool TakeRead(BYTE& byFirst, bool bSignalled);
    void TakeLineWait();
    void EndLineWait();
    bool IsReadHeld();
    DWORD GetHoldLeft() const;
    void ClearErrors(COMSTAT* pStat);
    void GiveUpEvents();

    HANDLE m_hPort;
    HANDLE m_hStop;
    DWORD m_dwReadWait;
    COverlappedIo m_read;
    COverlappedIo m_line;
    BYTE m_byRead;
    DWORD m_dwEvents;
    DWORD m_dwMask;          // what the event wait asks for
    DWORD m_dwFaultEvents;   // EV_BREAK, EV_ERR not yet taken
    DWORD m_dwLineErrors;    // CE_* bits not yet taken
    // When the pending read was armed; an empty read that ends well before
    // its time-out (a driver that ignores it) holds the next one back until
    // m_dwHoldEnd.
    DWORD m_dwArmed;
    DWORD m_dwHoldEnd;
    bool m_bHold;
    bool m_bReadPending;
    bool m_bLinePending;
    bool m_bLineEvents;
    bool m_bEventWaits;      // the driver takes event waits at all
    bool m_bLineTaken;
};

} // namespace ZEV
