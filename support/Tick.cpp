#include "support/Tick.h"

#include <atomic>

namespace ZEV {

namespace {

DWORD SystemTick()
{
    return ::GetTickCount();
}

// Read from every thread, written by tests only; atomic so a swap is never torn.
std::atomic<TTickSource> g_tickSource(&SystemTick);

} // namespace

DWORD GetTick()
{
    return g_tickSource.load()();
}

TTickSource SetTickSource(TTickSource fn)
{
    TTickSource prev = g_tickSource.exchange(fn != nullptr ? fn : &SystemTick);
    return prev == &SystemTick ? nullptr : prev;
}

} // namespace ZEV
