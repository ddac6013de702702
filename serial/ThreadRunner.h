#pragma once

#include <windows.h>

#include "serial/Rendezvous.h"

namespace ZEV {

// The work of a CWorkerThread. Run polls the can-run flag on every pass and
// returns once it is cleared; a body that ignores it is terminated when its
// thread is stopped.
class IThreadRunner {
public:
    IThreadRunner() : m_bCanRun(true) {}
    virtual ~IThreadRunner() {}

    IThreadRunner(const IThreadRunner&) = delete;
    IThreadRunner& operator=(const IThreadRunner&) = delete;

    // The thread body; answers the exit code.
    virtual DWORD Run() = 0;
    // Runs on the new thread before the starting thread is released.
    virtual void OnThreadStart() {}
    // Runs on the thread after Run returned.
    virtual void OnThreadExit() {}

    bool CanRun() const { return m_bCanRun; }

    // Written by the stopping thread and read by the body without a lock;
    // volatile so that the body reads it afresh on every pass.
    volatile bool m_bCanRun;
    CRendezvous m_startRendezvous;
};

} // namespace ZEV
