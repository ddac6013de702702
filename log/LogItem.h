#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The block of bytes being collected for one port until it is written out as
// dump rows.
struct TLogItem
{
    int nPort = -1;             // port index of the block, -1 when none is pending
    std::string strTime;        // time column taken when the block began
    std::vector<BYTE> data;     // the block's bytes in arrival order

    bool IsPending() const { return nPort >= 0; }

    void Reset()
    {
        nPort = -1;
        strTime.clear();
        data.clear();
    }
};
