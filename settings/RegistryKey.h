#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "settings/Profile.h"

namespace ZEV {

// The store over the registry: sections are key paths below a root key and
// keys are value names. The key of the section used last is kept open for
// the operations that follow on it. Copies share the open keys.
class CRegistryKey : public IProfile {
public:
    CRegistryKey(HKEY hRoot, REGSAM samAccess);

    std::string GetTypeName() const override;
    bool Flush() override;
    TNameList EnumSections(const std::string& strParent) override;
    // Removes the key and everything below it; the registry's result is left
    // as the thread's last error.
    bool DeleteSection(const std::string& strName) override;
    TNameList EnumKeys(const std::string& strSection) override;
    DWORD GetValueType(const std::string& strSection, const std::string& strKey) override;
    CProfileValue QueryValue(const std::string& strSection, const std::string& strKey) override;
    bool WriteValue(const std::string& strSection, const std::string& strKey,
                    const CProfileValue& value) override;

    // A registry string list as one text: backslashes doubled, the texts
    // joined by a backslash and a circumflex. SplitMultiText undoes it.
    static std::string JoinMultiText(const TNameList& texts);
    static TNameList SplitMultiText(const std::string& strJoined);

private:
    typedef std::shared_ptr<HKEY__> TKeyHolder;

    void SelectSection(const std::string& strSection);
    HKEY OpenForRead(const std::string& strSection);
    HKEY OpenForWrite(const std::string& strSection);
    bool ReadRawValue(HKEY hKey, const std::string& strKey, DWORD& dwType, CByteBuffer& data);
    bool SetValue(const std::string& strSection, const std::string& strKey, DWORD dwType,
                  const void* pData, size_t nSize);

    REGSAM m_samAccess;
    TKeyHolder m_pRootKey;
    std::string m_strSection;
    TKeyHolder m_pSectionKey;
};

}  // namespace ZEV
