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

    // Any thread, called with the log's lock held: queue a pair of rows, one
    // for the left and one for the right view, behind the pairs queued before,
    // without waiting for the window thread (one posted message tells the
    // window when rows start waiting; it then takes all of them). Answers false
    // when the window could not be told (its message queue is full): the rows
    // stay queued and the caller asks again later with NotifyRows.
    virtual bool QueueRows(const std::string& strLeft, const std::string& strRight) = 0;
    // Any thread, with the log's lock held: tell the window of the rows
    // waiting, unless it has been told; false as above.
    virtual bool NotifyRows() = 0;
    // Any thread: row pairs queued that the window has not taken yet.
    virtual size_t GetQueuedRows() = 0;

    // Window thread only: empty both views and drop the rows queued for them.
    virtual void ResetViews() = 0;

    // Any thread, never called with the log's lock held (it may wait for the
    // window thread): set the header label above the view.
    virtual void SetHeaderText(int nView, const char* pszText) = 0;

    // Any thread, with the log's lock held: (re)start the flush timer of the
    // window to expire in dwDelayMs; its expiry must stop the timer and call
    // CTrafficLog::FlushPending on the window thread. False when the timer
    // could not be started.
    virtual bool StartFlushTimer(DWORD dwDelayMs) = 0;

    // Any thread: the window's monitoring switch.
    virtual bool IsMonitoring() = 0;

    // Any thread: a value of section "log-setting" of the INI file,
    // nDefault when the key is absent or empty.
    virtual int ReadLogSetting(const char* pszKey, int nDefault) = 0;

    // Window thread: the device name of the port with this index
    // (for example "\\.\COM3").
    virtual std::string GetPortName(int nIndex) = 0;
};
