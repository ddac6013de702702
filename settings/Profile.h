#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/ProfileSection.h"
#include "settings/ProfileValue.h"

namespace ZEV {

typedef std::vector<std::string> TNameList;

// A settings store: sections (backslash-separated paths) holding named
// values. The INI file and the registry implement it.
class IProfile {
public:
    virtual ~IProfile();
    virtual std::string GetTypeName() const = 0;
    // Makes written data durable.
    virtual bool Flush();
    // Names directly below strParent; an empty parent means the top level.
    virtual TNameList EnumSections(const std::string& strParent) = 0;
    virtual bool DeleteSection(const std::string& strName) = 0;
    virtual TNameList EnumKeys(const std::string& strSection) = 0;
    // The kind QueryValue would report, 'n' when the key is absent.
    virtual DWORD GetValueType(const std::string& strSection, const std::string& strKey) = 0;
    virtual CProfileValue QueryValue(const std::string& strSection, const std::string& strKey) = 0;
    // A value of kind 'n' deletes the key.
    virtual bool WriteValue(const std::string& strSection, const std::string& strKey,
                            const CProfileValue& value) = 0;

    CProfileSection GetSection(const std::string& strName);
};

}  // namespace ZEV
