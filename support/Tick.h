#pragma once

#include <windows.h>

namespace ZEV {

typedef DWORD (*TTickSource)();

// Milliseconds since system start: GetTickCount unless a test installed a source.
DWORD GetTick();

// Installs fn as the tick source (nullptr restores GetTickCount); returns the previous one.
TTickSource SetTickSource(TTickSource fn);

} // namespace ZEV
