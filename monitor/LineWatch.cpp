#include "monitor/LineWatch.h"

namespace {

// With line events the lines are read only to catch a status that can no
// longer be read or a change the driver kept to itself; without them a
// readable line is followed within a couple of milliseconds, as a
// handshake needs; a status that cannot be read at all (no modem lines,
// device gone) needs no haste.
const DWORD LINE_EVENT_RECHECK = 50;
const DWORD LINE_POLL = 1;
const DWORD LINE_POLL_UNREADABLE = 10;

} // namespace

DWORD CLineWatch::GetWait(const ZEV::CCommWaiter& waiter) const
{
    if (waiter.HasLineEvents())
        return LINE_EVENT_RECHECK;
    return m_bReadable ? LINE_POLL : LINE_POLL_UNREADABLE;
}

void CLineWatch::Note(ZEV::CCommWaiter& waiter, bool bReadable, bool bChanged)
{
    m_bReadable = bReadable;
    if (bReadable && bChanged && waiter.HasLineEvents() && !waiter.SawLineEvent())
        waiter.DropLineEvents();
}
