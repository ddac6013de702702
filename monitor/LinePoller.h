#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

// Runs a port's line reading every millisecond on a thread of its own, where
// the driver gives no line events (a pty under Wine, a CDC-ACM device without
// CTS notification). The receive thread then sleeps on its read for long:
// under Wine every wait is a round trip to its server, while a plain sleep
// and a status read are not, and a change is mirrored without waking
// another thread first.
//
// Stop, or the destructor, joins the thread: whatever the reading uses (the
// port's handle) must outlive the poller.
class CLinePoller
{
public:
    // fnReadLines reads and follows the lines; answers whether they could
    // be read (if not, the next try is later).
    explicit CLinePoller(std::function<bool()> fnReadLines);
    ~CLinePoller();

    CLinePoller(const CLinePoller&) = delete;
    CLinePoller& operator=(const CLinePoller&) = delete;

    // Only the first call starts the thread (the receive thread asks before
    // every wait); IsRunning tells whether a thread could be had.
    void Start();
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

private:
    void Run();

    std::function<bool()> m_fnReadLines;
    std::atomic<bool> m_bRun;
    bool m_bAsked;   // a refused thread is not asked for again at every wait
    std::thread m_thread;
};
