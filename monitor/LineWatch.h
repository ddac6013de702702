#pragma once

#include <windows.h>

#include "serial/CommWaiter.h"

// How a receive thread follows its port's CTS and DSR: by the driver's line
// events where it offers them and keeps its word, else by reading the lines
// itself, often enough to follow a handshake. The whole choice is made here.
class CLineWatch
{
public:
    CLineWatch() : m_bReadable(false) {}

    // Longest sleep before the lines are read again.
    DWORD GetWait(const ZEV::CCommWaiter& waiter) const;
    // After a read of the lines that followed a wait: whether the read
    // succeeded and whether a line changed. A change that no event
    // reported (CDC-ACM devices have no CTS notification) makes the port
    // read its lines from then on.
    void Note(ZEV::CCommWaiter& waiter, bool bReadable, bool bChanged);

private:
    bool m_bReadable;
};
