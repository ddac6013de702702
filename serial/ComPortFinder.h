#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "serial/RegistryWalker.h"

namespace ZEV {

// Collects, from the device key tree, every device instance that has a COM
// port name: the port number and, at the same index, the instance's driver
// key, by which the device manager's present devices are matched.
class CComPortFinder : public CRegistryWalker {
public:
    explicit CComPortFinder(IProfile& profile);

    void Clear();
    const std::vector<WORD>& GetPorts() const { return m_ports; }
    const std::vector<std::string>& GetDriverKeys() const { return m_driverKeys; }

    // The number of a "COMn" port name: 0 when there is no number or it does
    // not fit a port number.
    static WORD ParsePortNumber(const std::string& strPortName);

protected:
    int OnFindKey(const std::string& strName, const std::string& strSection, int nDepth) override;

private:
    std::vector<WORD> m_ports;
    std::vector<std::string> m_driverKeys;
};

}  // namespace ZEV
