#pragma once

#include <windows.h>

#include "serial/WriteQueue.h"

// A break received on one port, passed on to the partner through the writes
// to it, in order with the bytes around it. Neither Windows nor Wine tells
// how long a received break lasted, so it is held from its report until the
// next byte arrives (the write queue keeps it at least two character times
// at the partner's settings, as a receiver needs that long to see it), and
// at most BREAK_HOLD_LIMIT ms: a line that stays quiet is not held low for
// ever. Receive thread only.
class CBreakHold
{
public:
    explicit CBreakHold(ZEV::CWriteQueue& writes) : m_writes(writes), m_bHeld(false), m_dwStart(0) {}

    CBreakHold(const CBreakHold&) = delete;
    CBreakHold& operator=(const CBreakHold&) = delete;

    // A break came: on the partner's line after the bytes queued so far.
    void Begin();
    // Its end, before the bytes queued from now on.
    void End();
    // Ends it when its bound has passed.
    void EndIfDue();
    // How long the receive thread may sleep before the hold must end.
    DWORD GetWaitLeft() const;

private:
    ZEV::CWriteQueue& m_writes;
    bool m_bHeld;
    DWORD m_dwStart;
};

// The longest a relayed break is held: as long as tcsendbreak's 250 ms.
const DWORD BREAK_HOLD_LIMIT = 250;
