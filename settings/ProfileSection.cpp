#include "settings/ProfileSection.h"

#include "settings/Profile.h"
#include "support/ZevException.h"

namespace ZEV {

CProfileSection::CProfileSection(IProfile* pProfile, const std::string& strName)
    : m_pProfile(pProfile), m_strName(strName)
{
    if (!m_pProfile)
        throw CNullPointerException(0);
}

DWORD CProfileSection::GetValueType(const std::string& strKey) const
{
    return m_pProfile->GetValueType(m_strName, strKey);
}

CProfileValue CProfileSection::QueryValue(const std::string& strKey) const
{
    return m_pProfile->QueryValue(m_strName, strKey);
}

bool CProfileSection::WriteValue(const std::string& strKey, const CProfileValue& value) const
{
    return m_pProfile->WriteValue(m_strName, strKey, value);
}

DWORD CProfileSection::ReadDword(const std::string& strKey, DWORD dwDefault) const
{
    CProfileValue value = QueryValue(strKey);
    if (value.IsEmpty())
        return dwDefault;
    return static_cast<DWORD>(value.ToInt64());
}

LONGLONG CProfileSection::ReadInt64(const std::string& strKey, LONGLONG llDefault) const
{
    CProfileValue value = QueryValue(strKey);
    if (value.IsEmpty())
        return llDefault;
    return value.ToInt64();
}

bool CProfileSection::WriteDword(const std::string& strKey, DWORD dwValue) const
{
    return WriteValue(strKey, CProfileValue(dwValue));
}

bool CProfileSection::WriteInt64(const std::string& strKey, LONGLONG llValue) const
{
    return WriteValue(strKey, CProfileValue(llValue));
}

}  // namespace ZEV
