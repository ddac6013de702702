#pragma once

#include <windows.h>

#include <atomic>

#include "serial/Rendezvous.h"

namespace ZEV {

// How long a stop waits for a thread to end before it abandons it.
const DWORD THREAD_STOP_LIMIT = 15000;

// The work of a CWorkerThread. Run looks at the can-run flag on every pass
// and returns once it is cleared; a body that ignores it past the stop's
// limit is abandoned (never terminated), and so is one stuck in a call.
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

    // Written by the stopping thread, read by the body on every pass.
    std::atomic<bool> m_bCanRun;
    CRendezvous m_startRendezvous;
};

} // namespace ZEV
