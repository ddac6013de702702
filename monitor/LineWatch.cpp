#include "monitor/LineWatch.h"

namespace {

// With line events, or a poller that follows them, the lines
// are read only to catch a status that can no longer be read or a change
// the driver kept to itself. Should the poller not start, the receive
// thread reads the lines at the poller's periods.
const DWORD LINE_EVENT_RECHECK = 50;
// Changes the events missed before the port reads its lines itself: a
// status read may win the race against the driver's event once in a while,
// a driver without the event misses every change.
const int LINE_EVENT_MISSES = 2;

} // namespace

DWORD CLineWatch::GetWait(const ZEV::CCommWaiter& waiter)
{
    bool bEvents = waiter.HasLineEvents();
    if (bEvents && m_bPromptEvents)
        return LINE_EVENT_RECHECK;
    // Late events (Wine's) still see a quiet port's first change; the
    // poller follows the changes after it.
    m_poller.Start(bEvents);
    if (m_poller.IsRunning())
        return LINE_EVENT_RECHECK;
    return m_bReadable ? LINE_POLL_PERIOD : LINE_POLL_UNREADABLE;
}

void CLineWatch::Note(ZEV::CCommWaiter& waiter, bool bReadable, bool bChanged)
{
    m_bReadable = bReadable;
    if (!bReadable || !bChanged)
        return;
    m_poller.Wake();
    // Late events are the same status read a little later: a read that is
    // first is no miss.
    if (!waiter.HasLineEvents() || !m_bPromptEvents)
        return;
    if (waiter.SawLineEvent()) {
        m_nMissed = 0;
        return;
    }
    if (++m_nMissed >= LINE_EVENT_MISSES)
        waiter.DropLineEvents();
}
