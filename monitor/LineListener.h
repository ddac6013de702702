#pragma once

#include <windows.h>

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
};
