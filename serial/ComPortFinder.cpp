#include "serial/ComPortFinder.h"

#include <cstdlib>

#include "settings/SectionPath.h"

namespace ZEV {

namespace {

const char DEVICE_PARAMETERS[] = "Device Parameters";
const char PORT_NAME[] = "PortName";
const char DRIVER[] = "Driver";
const char COM_PREFIX[] = "COM";

}  // namespace

CComPortFinder::CComPortFinder(IProfile& profile)
    : CRegistryWalker(profile)
{
}

void CComPortFinder::Clear()
{
    m_ports.clear();
    m_driverKeys.clear();
}

WORD CComPortFinder::ParsePortNumber(const std::string& strPortName)
{
    if (strPortName.size() < 4)
        return 0;
    long nPort = std::strtol(strPortName.c_str() + 3, nullptr, 10);
    // Cutting a larger number to 16 bits would name some other port.
    if (nPort < 0 || nPort > 0xFFFF)
        return 0;
    return static_cast<WORD>(nPort);
}

int CComPortFinder::OnFindKey(const std::string& strName, const std::string& strSection, int)
{
    if (CompareStringA(LOCALE_USER_DEFAULT, 0, strName.c_str(), -1, DEVICE_PARAMETERS, -1)
        != CSTR_EQUAL)
        return FIND_ENTER;
    IProfile& profile = GetProfile();
    if (profile.GetValueType(strSection, PORT_NAME) == PROFILE_TYPE_NONE)
        return FIND_ENTER;
    std::string strPortName = profile.QueryValue(strSection, PORT_NAME).ToString();
    if (strPortName.compare(0, 3, COM_PREFIX) == 0) {
        size_t nCut = FindLastBackslash(strSection);
        std::string strInstance = nCut == std::string::npos ? std::string() : strSection.substr(0, nCut);
        m_ports.push_back(ParsePortNumber(strPortName));
        m_driverKeys.push_back(profile.QueryValue(strInstance, DRIVER).ToString());
    }
    // The parameters key is what we came for; the instance's other keys
    // hold nothing more about its port.
    return FIND_LEAVE_LEVEL;
}

}  // namespace ZEV
