#include "monitor/BreakHold.h"

void CBreakHold::Begin()
{
    // Two breaks without a byte between them are one break on the partner's line.
    if (!m_bHeld)
        m_writes.AddBreak(true);
    m_bHeld = true;
    m_dwStart = ::GetTickCount();
}

void CBreakHold::End()
{
    if (!m_bHeld)
        return;
    m_writes.AddBreak(false);
    m_bHeld = false;
}

void CBreakHold::EndIfDue()
{
    if (m_bHeld && ::GetTickCount() - m_dwStart >= BREAK_HOLD_LIMIT)
        End();
}

DWORD CBreakHold::GetWaitLeft() const
{
    if (!m_bHeld)
        return INFINITE;
    DWORD dwHeld = ::GetTickCount() - m_dwStart;
    return dwHeld < BREAK_HOLD_LIMIT ? BREAK_HOLD_LIMIT - dwHeld : 0;
}
