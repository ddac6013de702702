#pragma once

#include "serial/ComPortInfo.h"
#include "serial/PresentDevices.h"
#include "settings/Profile.h"

namespace ZEV {

// The COM ports of the system, sorted by port number: every device key with
// a COM port name that belongs to a device present in the device manager.
// Nothing is cached; each call looks again.
TComPortList EnumComPorts();

// The same over a given device key tree (the tree below strEnumSection of
// registry) and list of present devices.
TComPortList EnumComPorts(IProfile& registry, const std::string& strEnumSection,
                          IPresentDevices& devices);

// Reads the hexadecimal id after a marker ("vid_", "pid_") of a lower-cased
// hardware id; 0 when the marker is missing.
WORD ParseHardwareId(const std::string& strLowerId, const char* pszMarker);

}  // namespace ZEV
