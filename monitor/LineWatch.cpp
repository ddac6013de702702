#include "monitor/LineWatch.h"

namespace {

// With line events, or a poller that follows them, the lines
// are read only to catch a status that can no longer be read or a change
// the driver kept to itself. Should the poller not start, a readable line
// is followed within a couple of milliseconds, as a handshake needs; a
// status that cannot be read at all (no modem lines, device gone) needs no
// haste.
const DWORD LINE_EVENT_RECHECK = 50;
const DWORD LINE_POLL = 1;
const DWORD LINE_POLL_UNREADABLE = 10;

} // namespace

DWORD CLineWatch::GetWait(const ZEV::CCommWaiter& waiter)
{
    if (waiter.HasLineEvents())
        return LINE_EVENT_RECHECK;
    m_poller.Start();
    if (m_poller.IsRunning())
        return LINE_EVENT_RECHECK;
    return m_bReadable ? LINE_POLL : LINE_POLL_UNREADABLE;
}

void CLineWatch::Note(ZEV::CCommWaiter& waiter, bool bReadable, bool bChanged)
{
    m_bReadable = bReadable;
    if (bReadable && bChanged && waiter.HasLineEvents() && !waiter.SawLineEvent())
        waiter.DropLineEvents();
}
