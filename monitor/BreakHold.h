#pragma once

#include <windows.h>

#include "serial/SerialPort.h"

// A break received on one port, held on the partner's transmit line. Neither
// Windows nor Wine tells how long a received break lasted, so it is held from
// the break's report until the next byte arrives, at least two character
// times at the partner's settings (a receiver needs that long to see it) and
// at most BREAK_HOLD_LIMIT ms: a line that stays quiet is not held low for
// ever. One hold per receive thread; it never outlives its loop.
class CBreakHold
{
public:
    CBreakHold() : m_pPort(nullptr), m_dwStart(0) {}
    // A break is never left on when the loop ends.
    ~CBreakHold() { End(); }

    CBreakHold(const CBreakHold&) = delete;
    CBreakHold& operator=(const CBreakHold&) = delete;

    // Starts the break on pPort (ending one still held there first).
    void Begin(ZEV::CSerialPort* pPort);
    // Ends it now, once its least length has passed: before the next byte.
    void End();
    // Ends it when its bound has passed.
    void EndIfDue();
    // How long the receive thread may sleep before the hold must end.
    DWORD GetWaitLeft() const;
    bool IsHeld() const { return m_pPort != nullptr; }

private:
    DWORD GetHeldMs() const { return ::GetTickCount() - m_dwStart; }

    ZEV::CSerialPort* m_pPort;
    DWORD m_dwStart;
};

// The longest a relayed break is held: as long as tcsendbreak's 250 ms.
const DWORD BREAK_HOLD_LIMIT = 250;
