#include "monitor/LinePoller.h"

#include <system_error>

namespace {

const DWORD POLL_READABLE = 1;
// No modem lines to read (or the device is gone): no haste.
const DWORD POLL_UNREADABLE = 10;

} // namespace

CLinePoller::CLinePoller(std::function<bool()> fnReadLines)
    : m_fnReadLines(std::move(fnReadLines)), m_bRun(false), m_bAsked(false)
{
}

CLinePoller::~CLinePoller() { Stop(); }

void CLinePoller::Start()
{
    if (m_bAsked)
        return;
    m_bAsked = true;
    m_bRun = true;
    try {
        m_thread = std::thread(&CLinePoller::Run, this);
    } catch (const std::system_error&) {
        // No thread to be had: the receive thread reads the lines itself.
        m_bRun = false;
    }
}

void CLinePoller::Stop()
{
    m_bRun = false;
    if (m_thread.joinable())
        m_thread.join();
}

void CLinePoller::Run()
{
    // As prompt as the receive thread whose lines it follows.
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    while (m_bRun)
        ::Sleep(m_fnReadLines() ? POLL_READABLE : POLL_UNREADABLE);
}
