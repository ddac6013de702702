#include "serial/ComPortEnum.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "serial/ComPortFinder.h"
#include "settings/RegistryKey.h"
#include "support/ZevException.h"

namespace ZEV {

namespace {

const char ENUM_SECTION[] = "SYSTEM\\CurrentControlSet\\Enum";
const REGSAM ENUM_ACCESS = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

// The first text of a property; a string list keeps only its first entry.
std::string FirstText(const std::string& strData)
{
    return std::string(strData.c_str());
}

std::string ReadText(IPresentDevices& devices, DWORD dwProperty)
{
    std::string strData;
    if (!devices.ReadProperty(dwProperty, strData))
        return std::string();
    return FirstText(strData);
}

std::string ToLower(const std::string& strText)
{
    if (strText.empty())
        return strText;
    int nLength = static_cast<int>(strText.size());
    int nSize = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, strText.c_str(), nLength,
                             nullptr, 0);
    if (nSize <= 0)
        return strText;
    std::vector<char> buffer(nSize);
    nSize = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, strText.c_str(), nLength,
                         buffer.data(), nSize);
    if (nSize <= 0)
        return strText;
    return std::string(buffer.data(), nSize);
}

// Index of the first driver key equal to strDriver, or -1.
int FindDriverKey(const std::vector<std::string>& driverKeys, const std::string& strDriver)
{
    for (size_t i = 0; i < driverKeys.size(); ++i) {
        if (CompareStringA(LOCALE_USER_DEFAULT, 0, driverKeys[i].c_str(), -1, strDriver.c_str(), -1)
            == CSTR_EQUAL)
            return static_cast<int>(i);
    }
    return -1;
}

TComPortInfo MakeRecord(IPresentDevices& devices, WORD nPort)
{
    TComPortInfo info;
    info.m_nPort = nPort;
    info.m_strDescription = ReadText(devices, SPDRP_DEVICEDESC);
    info.m_strManufacturer = ReadText(devices, SPDRP_MFG);
    std::string strHardwareId;
    if (devices.ReadProperty(SPDRP_HARDWAREID, strHardwareId)) {
        std::string strLower = ToLower(FirstText(strHardwareId));
        info.m_nVendorId = ParseHardwareId(strLower, "vid_");
        info.m_nProductId = ParseHardwareId(strLower, "pid_");
    }
    return info;
}

TComPortList MatchPresentDevices(const CComPortFinder& finder, IPresentDevices& devices)
{
    TComPortList ports;
    if (!devices.Open())
        return ports;
    for (DWORD nIndex = 0; devices.SelectDevice(nIndex); ++nIndex) {
        std::string strDriver;
        if (!devices.ReadProperty(SPDRP_DRIVER, strDriver))
            continue;
        int nMatch = FindDriverKey(finder.GetDriverKeys(), FirstText(strDriver));
        if (nMatch < 0)
            continue;
        if (static_cast<size_t>(nMatch) >= finder.GetPorts().size())
            throw CIndexOutOfBoundsException(0);
        ports.push_back(MakeRecord(devices, finder.GetPorts()[nMatch]));
    }
    devices.Close();
    return ports;
}

}  // namespace

WORD ParseHardwareId(const std::string& strLowerId, const char* pszMarker)
{
    size_t nFound = strLowerId.find(pszMarker);
    if (nFound == std::string::npos)
        return 0;
    std::string strDigits = strLowerId.substr(nFound + std::strlen(pszMarker), 4);
    return static_cast<WORD>(std::strtoul(strDigits.c_str(), nullptr, 16));
}

TComPortList EnumComPorts(IProfile& registry, const std::string& strEnumSection,
                          IPresentDevices& devices)
{
    try {
        CComPortFinder finder(registry);
        finder.Clear();
        finder.SetDepth(0);
        finder.Walk(strEnumSection);
        // Without a port name in the tree the device manager need not be asked.
        if (finder.GetDriverKeys().empty())
            return TComPortList();
        TComPortList ports = MatchPresentDevices(finder, devices);
        std::stable_sort(ports.begin(), ports.end(),
                         [](const TComPortInfo& a, const TComPortInfo& b) {
                             return TComPortInfo::Compare(a, b) < 0;
                         });
        return ports;
    } catch (const CZevException&) {
        // A failure of the support library means no usable list.
        return TComPortList();
    }
}

TComPortList EnumComPorts()
{
    CRegistryKey registry(HKEY_LOCAL_MACHINE, ENUM_ACCESS);
    CSetupDiDevices devices;
    return EnumComPorts(registry, ENUM_SECTION, devices);
}

}  // namespace ZEV
