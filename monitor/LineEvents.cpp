#include "monitor/LineEvents.h"

std::vector<ELineEvent> LineEventsOf(bool bReportsErrors, DWORD dwErrors, DWORD dwEvents)
{
    std::vector<ELineEvent> events;
    if (!bReportsErrors) {
        if (dwEvents & EV_BREAK)
            events.push_back(LINE_BREAK);
        if (dwEvents & EV_ERR)
            events.push_back(LINE_ERROR);
        return events;
    }
    static const struct { DWORD dwBit; ELineEvent eEvent; } BITS[] = {{CE_BREAK, LINE_BREAK},
        {CE_FRAME, LINE_FRAMING_ERROR}, {CE_RXPARITY, LINE_PARITY_ERROR}, {CE_OVERRUN, LINE_OVERRUN_ERROR},
        {CE_RXOVER, LINE_RECEIVE_OVERFLOW}};
    for (const auto& bit : BITS) {
        if (dwErrors & bit.dwBit)
            events.push_back(bit.eEvent);
    }
    return events;
}

DWORD FindBreakByte(const BYTE* pData, DWORD dwSize)
{
    for (DWORD i = dwSize; i > 0; --i) {
        if (pData[i - 1] == 0)
            return i - 1;
    }
    return dwSize;
}
