#include "monitor/BreakHold.h"

void CBreakHold::Begin(ZEV::CSerialPort* pPort)
{
    if (pPort != m_pPort)
        End();
    m_pPort = pPort;
    m_dwStart = ::GetTickCount();
    pPort->SetBreak(true);
}

void CBreakHold::End()
{
    if (m_pPort == nullptr)
        return;
    DWORD dwLeast = m_pPort->GetTwoCharacterMs();
    DWORD dwHeld = GetHeldMs();
    if (dwHeld < dwLeast)
        ::Sleep(dwLeast - dwHeld);
    m_pPort->SetBreak(false);
    m_pPort = nullptr;
}

void CBreakHold::EndIfDue()
{
    if (m_pPort != nullptr && GetHeldMs() >= BREAK_HOLD_LIMIT)
        End();
}

DWORD CBreakHold::GetWaitLeft() const
{
    if (m_pPort == nullptr)
        return INFINITE;
    DWORD dwHeld = GetHeldMs();
    return dwHeld < BREAK_HOLD_LIMIT ? BREAK_HOLD_LIMIT - dwHeld : 0;
}
