#include "serial/ComPortInfo.h"

#include "support/Format.h"

namespace ZEV {

std::string TComPortInfo::GetDisplayText() const
{
    if (m_strDescription.compare(0, m_strManufacturer.size(), m_strManufacturer) == 0)
        return Format("%s (COM%d)", m_strDescription.c_str(), m_nPort);
    return Format("%s %s (COM%d)", m_strManufacturer.c_str(), m_strDescription.c_str(), m_nPort);
}

int TComPortInfo::Compare(const TComPortInfo& a, const TComPortInfo& b)
{
    return static_cast<int>(a.m_nPort) - static_cast<int>(b.m_nPort);
}

}  // namespace ZEV
