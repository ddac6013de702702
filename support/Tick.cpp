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

// FILETIME counts 100 ns steps since 1601; this many lie before 1970.
const ULONGLONG FILETIME_1970 = 116444736000000000ULL;

typedef VOID(WINAPI* TPreciseTime)(LPFILETIME);

// Windows 7 has only the coarse time of day (one clock tick).
TPreciseTime FindPreciseTime()
{
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    FARPROC pfn = hKernel != NULL ? ::GetProcAddress(hKernel, "GetSystemTimePreciseAsFileTime") : nullptr;
    return reinterpret_cast<TPreciseTime>(reinterpret_cast<void*>(pfn));
}

} // namespace

ULONGLONG GetUtcMicros()
{
    static const TPreciseTime s_pfnPrecise = FindPreciseTime();
    FILETIME ft = {};
    if (s_pfnPrecise != nullptr)
        s_pfnPrecise(&ft);
    else
        ::GetSystemTimeAsFileTime(&ft);
    ULONGLONG qw = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return qw >= FILETIME_1970 ? (qw - FILETIME_1970) / 10 : 0;
}

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
