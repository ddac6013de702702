#pragma once

#include <string>

#include "settings/Profile.h"

namespace ZEV {

// Longest text one profile read returns, terminator included.
constexpr DWORD MAX_PROFILE_TEXT = 65536;

// The store over an INI file, through the Win32 private profile functions.
// Nothing is cached: every call goes to the file.
class CIniProfile : public IProfile {
public:
    // No path means the INI file beside the executable; a given path
    // (even an empty one) is used as is.
    explicit CIniProfile(const char* pszPath = nullptr);
    explicit CIniProfile(const std::string& strPath);

    void SetFile(const char* pszPath);
    void SetFile(const std::string& strPath) { m_strPath = strPath; }
    const std::string& GetFile() const { return m_strPath; }

    std::string GetTypeName() const override;
    bool Flush() override;
    TNameList EnumSections(const std::string& strParent) override;
    bool DeleteSection(const std::string& strName) override;
    TNameList EnumKeys(const std::string& strSection) override;
    DWORD GetValueType(const std::string& strSection, const std::string& strKey) override;
    CProfileValue QueryValue(const std::string& strSection, const std::string& strKey) override;
    bool WriteValue(const std::string& strSection, const std::string& strKey,
                    const CProfileValue& value) override;

private:
    std::string ReadString(const std::string& strSection, const std::string& strKey,
                           const char* pszDefault) const;
    TNameList ReadSectionNames() const;

    std::string m_strPath;
};

// The executable's path with its extension replaced by ".ini".
std::string GetDefaultIniPath();
// A path as the A functions take it. A name with characters the system's
// code page lacks (a Japanese folder on an English Windows) would read as
// '?' there: the short name, which is ASCII, stands in for it where the
// volume keeps short names, so settings still go beside the executable.
std::string ToAnsiPath(const std::wstring& strPath);
// The executable's path, as ToAnsiPath gives it.
std::string GetModulePathA();
// The INI path that belongs to an executable path: the extension of the file
// name is replaced by ".ini", or ".ini" is appended when it has none.
std::string MakeIniPath(const std::string& strExePath);

}  // namespace ZEV
