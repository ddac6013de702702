#pragma once

#include <windows.h>

#include <string>

#include "settings/ProfileValue.h"

namespace ZEV {

class IProfile;

// One named section of a store, with typed reads and writes. It borrows the
// store and must not outlive it.
class CProfileSection {
public:
    // Throws CNullPointerException when pProfile is null.
    CProfileSection(IProfile* pProfile, const std::string& strName);

    const std::string& GetName() const { return m_strName; }
    IProfile* GetProfile() const { return m_pProfile; }

    DWORD GetValueType(const std::string& strKey) const;
    CProfileValue QueryValue(const std::string& strKey) const;
    bool WriteValue(const std::string& strKey, const CProfileValue& value) const;

    // An absent or empty value gives the default; text that is not a number
    // reads as far as it is one ("abc" gives 0, "8 bit" gives 8).
    DWORD ReadDword(const std::string& strKey, DWORD dwDefault) const;
    LONGLONG ReadInt64(const std::string& strKey, LONGLONG llDefault) const;
    bool WriteDword(const std::string& strKey, DWORD dwValue) const;
    bool WriteInt64(const std::string& strKey, LONGLONG llValue) const;

private:
    IProfile* m_pProfile;
    std::string m_strName;
};

}  // namespace ZEV
