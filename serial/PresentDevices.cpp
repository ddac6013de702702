#include "serial/PresentDevices.h"

namespace ZEV {

namespace {

// Large enough for every property the enumeration reads.
const DWORD PROPERTY_BUFFER = 200;

}  // namespace

IPresentDevices::~IPresentDevices()
{
}

CSetupDiDevices::CSetupDiDevices()
    : m_hDevInfo(INVALID_HANDLE_VALUE), m_device(), m_bSelected(false)
{
}

CSetupDiDevices::~CSetupDiDevices()
{
    Close();
}

bool CSetupDiDevices::Open()
{
    Close();
    m_hDevInfo = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    return m_hDevInfo != INVALID_HANDLE_VALUE;
}

bool CSetupDiDevices::SelectDevice(DWORD nIndex)
{
    m_bSelected = false;
    if (m_hDevInfo == INVALID_HANDLE_VALUE)
        return false;
    m_device = SP_DEVINFO_DATA();
    m_device.cbSize = sizeof(m_device);
    m_bSelected = SetupDiEnumDeviceInfo(m_hDevInfo, nIndex, &m_device) != FALSE;
    return m_bSelected;
}

bool CSetupDiDevices::ReadProperty(DWORD dwProperty, std::string& strData)
{
    strData.clear();
    if (!m_bSelected)
        return false;
    BYTE abBuffer[PROPERTY_BUFFER] = {};
    DWORD nRequired = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(m_hDevInfo, &m_device, dwProperty, nullptr, abBuffer,
                                           sizeof(abBuffer), &nRequired))
        return false;
    if (nRequired > sizeof(abBuffer))
        nRequired = sizeof(abBuffer);
    strData.assign(reinterpret_cast<const char*>(abBuffer), nRequired);
    return true;
}

void CSetupDiDevices::Close()
{
    m_bSelected = false;
    if (m_hDevInfo == INVALID_HANDLE_VALUE)
        return;
    SetupDiDestroyDeviceInfoList(m_hDevInfo);
    m_hDevInfo = INVALID_HANDLE_VALUE;
}

}  // namespace ZEV
