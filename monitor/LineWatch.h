#pragma once

#include <windows.h>

#include "monitor/LinePoller.h"
#include "serial/CommDriver.h"
#include "serial/CommWaiter.h"

// How a receive thread follows its port's CTS and DSR: by the driver's line
// events where it offers them and keeps its word, else by reading the lines
// itself, often enough to follow a handshake (on a poller thread); with late
// events (Wine's), by both: the event for a quiet port's first change, the
// poller for those after it. The whole choice is made here.
class CLineWatch
{
public:
    // fnReadLines as for CLinePoller; what it uses must outlive this object.
    explicit CLineWatch(std::function<ELineRead()> fnReadLines)
        : m_bReadable(false),
          m_bPromptEvents(ZEV::CommDriver().HasPromptLineEvents()),
          m_nMissed(0),
          m_poller(std::move(fnReadLines))
    {
    }

    // Longest sleep before the receive thread reads the lines again;
    // without line events the poller is started first.
    DWORD GetWait(const ZEV::CCommWaiter& waiter);
    // After a read of the lines that followed a wait: whether the read
    // succeeded and whether a line changed. A change that no event
    // reported (CDC-ACM devices have no CTS notification), a second time
    // since the last one an event did report, makes the port read its lines
    // from then on.
    void Note(ZEV::CCommWaiter& waiter, bool bReadable, bool bChanged);

private:
    bool m_bReadable;
    bool m_bPromptEvents;
    int m_nMissed;
    CLinePoller m_poller;
};
