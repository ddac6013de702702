#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>

namespace ZEV {

// The device manager's list of present devices, as far as the COM port
// enumeration needs it. The system's list answers in production; tests put a
// list of their own behind it.
class IPresentDevices {
public:
    virtual ~IPresentDevices();
    // Takes a fresh list of the devices present; false when none can be had.
    virtual bool Open() = 0;
    // Makes device nIndex of the list the current one; false past the end.
    virtual bool SelectDevice(DWORD nIndex) = 0;
    // Raw data of a registry property (SPDRP_...) of the current device, as
    // the system stores it (a string list keeps its zero bytes).
    virtual bool ReadProperty(DWORD dwProperty, std::string& strData) = 0;
    virtual void Close() = 0;
};

// The present devices of all classes, from the system's device setup.
class CSetupDiDevices : public IPresentDevices {
public:
    CSetupDiDevices();
    ~CSetupDiDevices() override;
    CSetupDiDevices(const CSetupDiDevices&) = delete;
    CSetupDiDevices& operator=(const CSetupDiDevices&) = delete;

    bool Open() override;
    bool SelectDevice(DWORD nIndex) override;
    bool ReadProperty(DWORD dwProperty, std::string& strData) override;
    void Close() override;

private:
    HDEVINFO m_hDevInfo;
    SP_DEVINFO_DATA m_device;  // the current device
    bool m_bSelected;
};

}  // namespace ZEV
