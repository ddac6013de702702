#pragma once

#include <windows.h>

#include <vector>

#include "monitor/LineListener.h"

// What a driver told of a port's line besides bytes, as the events the log
// shows, in its order: break, framing, parity, overrun, receive overflow.
// With bReportsErrors the driver's error bits (CE_*) say it all and its
// EV_BREAK / EV_ERR only wake the reader; without (Wine) the events are all
// there is, and EV_ERR says only that an error happened.
std::vector<ELineEvent> LineEventsOf(bool bReportsErrors, DWORD dwErrors, DWORD dwEvents);

// Where the 0x00 byte a driver delivers with a break (CE_BREAK) stands in
// bytes read together with the error: the last 0x00, as bytes after the
// break come later than the break's own. dwSize when there is none.
DWORD FindBreakByte(const BYTE* pData, DWORD dwSize);
