#pragma once

#include <windows.h>

#include "serial/SyncObject.h"

namespace ZEV {

// A meeting point for exactly two threads that swap one byte each. A third
// caller waits at the gate until the pair in front of it is done.
class CRendezvous {
public:
    CRendezvous();

    CRendezvous(const CRendezvous&) = delete;
    CRendezvous& operator=(const CRendezvous&) = delete;

    // Blocks until a second thread calls Exchange too; answers its value.
    BYTE Exchange(BYTE byValue);

private:
    volatile LONG m_nArrivals;
    CSyncSemaphore m_gate;
    CSyncEvent m_firstSide;
    CSyncEvent m_secondSide;
    volatile BYTE m_byFirst;
    volatile BYTE m_bySecond;
};

} // namespace ZEV
