#pragma once

#include <windows.h>

#include <string>

// What the traffic log needs from the window that shows it. CTrafficLog calls
// these from the relays' event threads as well as from the window thread, so
// an implementation must follow the thread notes below. CWindowLogHost
// (log/WindowLogHost.h) is the implementation over the main window's two log
// views, header labels and flush timer; tests put fakes in its place.
//
// View and port index: 0 = port1 = left view, 1 = port2 = right view.
class ILogHost
{
public:
    virtual ~ILogHost() {}

    // Any thread, called with the log's lock held: hand a heap copy of the
    // row to the view without waiting for the window thread (a posted
    // message). Answers false when the row could not be handed over (the
    // window's queue is full); the caller keeps the text and retries later,
    // so an implementation must not keep anything on failure.
    virtual bool PostRow(int nView, const char* pszRow) = 0;

    // Window thread only: empty the view now.
    virtual void ResetView(int nView) = 0;

    // Any thread, never called with the log's lock held (it may wait for the
    // window thread): set the header label above the view.
    virtual void SetHeaderText(int nView, const char* pszText) = 0;

    // Any thread: (re)start the 100 ms flush timer of the window, whose
    // expiry must stop the timer and call CTrafficLog::FlushPending on the
    // window thread; and stop it.
    virtual void StartFlushTimer() = 0;
    virtual void StopFlushTimer() = 0;

    // Any thread: the window's monitoring switch.
    virtual bool IsMonitoring() = 0;

    // Any thread: a value of section "log-setting" of the INI file,
    // nDefault when the key is absent or empty.
    virtual int ReadLogSetting(const char* pszKey, int nDefault) = 0;

    // Window thread: the device name of the port with this index
    // (for example "\\.\COM3").
    virtual std::string GetPortName(int nIndex) = 0;
};
