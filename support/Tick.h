#pragma once

#include <windows.h>

namespace ZEV {

typedef DWORD (*TTickSource)();

// Milliseconds since system start: GetTickCount unless a test installed a source.
DWORD GetTick();

// Microseconds since 1970-01-01 00:00 UTC, as precise as the system keeps
// the time of day (Windows 8 and later: below a microsecond).
ULONGLONG GetUtcMicros();

// Installs fn as the tick source (nullptr restores GetTickCount); returns the previous one.
TTickSource SetTickSource(TTickSource fn);

} // namespace ZEV
