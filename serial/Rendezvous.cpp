#include "serial/Rendezvous.h"

namespace ZEV {

CRendezvous::CRendezvous()
    : m_nArrivals(0),
      m_gate(nullptr, 2),
      m_firstSide(false, true, nullptr),
      m_secondSide(false, true, nullptr),
      m_byFirst(0),
      m_bySecond(0)
{
}

BYTE CRendezvous::Exchange(BYTE byValue)
{
    m_gate.Lock(INFINITE);
    if (::InterlockedIncrement(&m_nArrivals) == 1) {
        m_byFirst = byValue;
        m_secondSide.Lock(INFINITE);
        BYTE byResult = m_bySecond;
        m_firstSide.Unlock();
        // The second side opens the gate for both of us: were the first to
        // leave now, the next caller could overwrite the first value before
        // the second side has read it.
        return byResult;
    }
    m_nArrivals = 0;
    m_bySecond = byValue;
    m_secondSide.Unlock();
    m_firstSide.Lock(INFINITE);
    BYTE byResult = m_byFirst;
    m_gate.Unlock();
    m_gate.Unlock();
    return byResult;
}

} // namespace ZEV
