#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "serial/ThreadRunner.h"
#include "serial/WorkerThread.h"

// How often a poller reads lines that can be read, and lines that cannot
// (no modem lines, or the device is gone: no haste).
const DWORD LINE_POLL_PERIOD = 1;
const DWORD LINE_POLL_UNREADABLE = 10;
// Lines that have not changed for LINE_QUIET_AFTER ms are read every
// LINE_POLL_QUIET ms: a handshake's first change is seen within that, the
// ones that follow it within LINE_POLL_PERIOD, and an idle port costs a
// third of the polls.
const DWORD LINE_POLL_QUIET = 3;
const DWORD LINE_QUIET_AFTER = 1000;
// A poller whose quiet lines are left to the driver's events reads them
// once in this while anyway, should a wake-up go astray.
const DWORD LINE_QUIET_SLEEP = 1000;

// What one read of the lines found.
enum ELineRead { LINES_UNREADABLE, LINES_SAME, LINES_CHANGED };
// A poller that is not back from its read within this time is stuck in the
// driver and is abandoned; well within the receive thread's own stop limit.
const DWORD LINE_POLLER_STOP_LIMIT = 1000;

// Runs a port's line reading every few milliseconds on a thread of its own, where
// the driver gives no line events (a pty under Wine, a CDC-ACM device without
// CTS notification) or late ones (Wine's: there, once the lines have been
// quiet for LINE_QUIET_AFTER, the thread sleeps until Wake, which the
// receive thread calls on the next event or change). The receive thread then sleeps on its read for long:
// under Wine every wait is a round trip to its server, while a plain sleep
// and a status read are not, and a change is mirrored without waking
// another thread first. While it runs it holds the system timer at 1 ms:
// otherwise Windows sleeps a whole clock tick (15.6 ms) at a time.
//
// Stop, or the destructor, ends the thread, bounded. A thread stuck in its
// read is abandoned with its runner, which is then never freed; what the
// reading uses (the relay, the port's handle) must outlive the program's
// use of the port.
class CLinePoller
{
public:
    // fnReadLines reads and follows the lines.
    explicit CLinePoller(std::function<ELineRead()> fnReadLines);
    ~CLinePoller();

    CLinePoller(const CLinePoller&) = delete;
    CLinePoller& operator=(const CLinePoller&) = delete;

    // Only the first call starts the thread (the receive thread asks before
    // every wait); IsRunning tells whether a thread could be had. Every call
    // says whether quiet lines are left to the driver's events (see above).
    void Start(bool bQuietSleep = false);
    void Stop();
    bool IsRunning() const { return m_pThread != nullptr; }
    // The lines are moving again: polled every LINE_POLL_PERIOD from now.
    void Wake();

private:
    class CPollThread;

    std::function<ELineRead()> m_fnReadLines;
    CPollThread* m_pThread;
    bool m_bAsked;   // a refused thread is not asked for again at every wait
};
