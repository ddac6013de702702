#pragma once

#include <windows.h>

#include "settings/ProfileSection.h"

namespace ZEV {

// Puts hWnd where the placement record of the section ("Valid", "SX", "SY",
// "EX", "EY", "Show", "Maximize") says it was. Without bRestoreSize the window
// keeps its size and only moves; bApplyShow also restores its visibility.
// With pbMaximize the record's maximised state is answered there instead of
// applied. Answers false, changing nothing, when there is no usable record.
bool RestoreWindowPlacement(const CProfileSection& section, HWND hWnd, bool bRestoreSize,
                            bool bApplyShow, bool* pbMaximize = nullptr);

}  // namespace ZEV
