#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ZEV {

// One COM port present in the system, with what the device manager says
// about the device behind it.
struct TComPortInfo {
    WORD m_nPort = 0;                // n of COMn
    std::string m_strDescription;    // empty when the device reports none
    std::string m_strManufacturer;   // empty when the device reports none
    WORD m_nVendorId = 0;            // from "vid_" of the hardware id, 0 if none
    WORD m_nProductId = 0;           // from "pid_" of the hardware id, 0 if none

    // The text of the port's tool tip: the maker is left out when the
    // description already begins with it.
    std::string GetDisplayText() const;

    // Records order by port number alone.
    static int Compare(const TComPortInfo& a, const TComPortInfo& b);
};

typedef std::vector<TComPortInfo> TComPortList;

}  // namespace ZEV
