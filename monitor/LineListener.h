#pragma once

#include <windows.h>

// What a relay saw on its port besides bytes and the two input lines: a
// break, or a line error as the driver reports it (one call per event; a
// driver that says only that an error happened gives LINE_ERROR).
enum ELineEvent
{
    LINE_BREAK,
    LINE_FRAMING_ERROR,
    LINE_PARITY_ERROR,
    LINE_OVERRUN_ERROR,
    LINE_RECEIVE_OVERFLOW,
    LINE_ERROR,
};

// Receiver of what a relay sees on its port. The calls arrive on the relay's
// event thread, never on the window thread; the two relays of a pair call in
// on two different threads, so an implementation does its own locking.
class ILineListener
{
public:
    virtual ~ILineListener() {}

    // Bytes received on the port with this index (0 = port1, 1 = port2).
    // The relay hands over one byte per call.
    virtual void OnLineData(int nIndex, DWORD dwSize, const BYTE* pData) = 0;

    // The port's CTS input changed (bState: MS_CTS_ON is set).
    virtual void OnCtsChanged(int nIndex, bool bState) = 0;

    // The port's DSR input changed (bState: MS_DSR_ON is set).
    virtual void OnDsrChanged(int nIndex, bool bState) = 0;

    // When the receive thread read what the calls that follow report, in
    // microseconds since 1970-01-01 00:00 UTC; comes before them, and again
    // whenever the time changes.
    virtual void OnLineTime(int /*nIndex*/, ULONGLONG /*qwMicros*/) {}

    // A break or a line error, at its place among the other calls.
    virtual void OnLineEvent(int /*nIndex*/, ELineEvent /*eEvent*/) {}

    // The relay had to give up reporting this many received bytes and line
    // changes (they were relayed, only the report is lost), at their place.
    virtual void OnLineLost(int /*nIndex*/, DWORD /*dwBytes*/, DWORD /*dwLineChanges*/) {}
};
