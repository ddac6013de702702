#include "settings/IniProfile.h"

#include <windows.h>

#include <vector>

#include "settings/SectionPath.h"
#include "support/WideText.h"

namespace ZEV {

namespace {

// The private profile functions cannot tell an absent key from an empty one,
// so a key is read with two defaults that cannot both come back from a file.
const char ABSENT_MARK_1[] = "*1";
const char ABSENT_MARK_2[] = "*2";

bool IsSameText(const char* pszA, int nA, const char* pszB, int nB, DWORD dwFlags)
{
    return CompareStringA(LOCALE_USER_DEFAULT, dwFlags, pszA, nA, pszB, nB) == CSTR_EQUAL;
}

bool IsSameText(const std::string& strA, const std::string& strB)
{
    return IsSameText(strA.c_str(), -1, strB.c_str(), -1, 0);
}

// True when strName is strParent itself or lies below it. Unrelated sections
// that merely start with the same letters ("A" and "AB") do not count.
bool IsWithinSection(const std::string& strName, const std::string& strParent)
{
    size_t nLength = strParent.size();
    if (strName.size() < nLength)
        return false;
    if (!IsSameText(strName.c_str(), static_cast<int>(nLength), strParent.c_str(),
                    static_cast<int>(nLength), NORM_IGNORECASE))
        return false;
    return strName.size() == nLength || strName[nLength] == '\\';
}

// Splits a list of zero-terminated texts of nLength bytes in all.
TNameList SplitZeroList(const char* pszList, DWORD nLength)
{
    TNameList names;
    const char* pszEnd = pszList + nLength;
    for (const char* psz = pszList; psz < pszEnd && *psz; ) {
        std::string strItem(psz);
        psz += strItem.size() + 1;
        names.push_back(strItem);
    }
    return names;
}

std::string StripTrailingBackslash(const std::string& strPath)
{
    if (!strPath.empty() && FindLastBackslash(strPath) == strPath.size() - 1)
        return strPath.substr(0, strPath.size() - 1);
    return strPath;
}

// The first level of strName below strBase (the top level when strBase is
// empty); empty when strName does not lie below strBase.
std::string ChildName(const std::string& strName, const std::string& strBase)
{
    std::string strRest = strName;
    if (!strBase.empty()) {
        if (!IsWithinSection(strName, strBase))
            return std::string();
        strRest = strName.substr(strBase.size());
        if (!strRest.empty() && strRest[0] == '\\')
            strRest.erase(0, 1);
    }
    return strRest.substr(0, FindFirstBackslash(strRest));
}

// Section names are case-insensitive: "A\X" and "a\Y" share one top.
void AppendUnique(TNameList& names, const std::string& strName)
{
    for (const std::string& strSeen : names) {
        if (IsSameText(strSeen.c_str(), -1, strName.c_str(), -1, NORM_IGNORECASE))
            return;
    }
    names.push_back(strName);
}

}  // namespace

CIniProfile::CIniProfile(const char* pszPath)
{
    SetFile(pszPath);
}

CIniProfile::CIniProfile(const std::string& strPath)
    : m_strPath(strPath)
{
}

void CIniProfile::SetFile(const char* pszPath)
{
    m_strPath = pszPath ? std::string(pszPath) : GetDefaultIniPath();
}

std::string CIniProfile::GetTypeName() const
{
    return "Inifile";
}

bool CIniProfile::Flush()
{
    // Writing nothing flushes the system's cached copy of the file.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_strPath.c_str());
    return true;
}

std::string CIniProfile::ReadString(const std::string& strSection, const std::string& strKey,
                                    const char* pszDefault) const
{
    std::vector<char> buffer(MAX_PROFILE_TEXT);
    DWORD nLength = GetPrivateProfileStringA(strSection.c_str(), strKey.c_str(), pszDefault,
                                             buffer.data(), MAX_PROFILE_TEXT, m_strPath.c_str());
    return std::string(buffer.data(), nLength);
}

TNameList CIniProfile::ReadSectionNames() const
{
    std::vector<char> buffer(MAX_PROFILE_TEXT);
    DWORD nLength = GetPrivateProfileSectionNamesA(buffer.data(), MAX_PROFILE_TEXT,
                                                   m_strPath.c_str());
    return SplitZeroList(buffer.data(), nLength);
}

TNameList CIniProfile::EnumSections(const std::string& strParent)
{
    std::string strBase = StripTrailingBackslash(strParent);
    TNameList result;
    for (const std::string& strName : ReadSectionNames()) {
        std::string strChild = ChildName(strName, strBase);
        if (!strChild.empty())
            AppendUnique(result, strChild);
    }
    return result;
}

bool CIniProfile::DeleteSection(const std::string& strName)
{
    TNameList names = ReadSectionNames();
    if (names.empty())
        return false;
    std::string strBase = StripTrailingBackslash(strName);
    for (const std::string& strSection : names) {
        if (!IsWithinSection(strSection, strBase))
            continue;
        if (!WritePrivateProfileStringA(strSection.c_str(), nullptr, nullptr, m_strPath.c_str()))
            return false;
    }
    return true;
}

TNameList CIniProfile::EnumKeys(const std::string& strSection)
{
    std::vector<char> buffer(MAX_PROFILE_TEXT);
    DWORD nLength = GetPrivateProfileSectionA(strSection.c_str(), buffer.data(), MAX_PROFILE_TEXT,
                                              m_strPath.c_str());
    TNameList keys;
    for (const std::string& strLine : SplitZeroList(buffer.data(), nLength))
        keys.push_back(strLine.substr(0, strLine.find('=')));
    return keys;
}

DWORD CIniProfile::GetValueType(const std::string& strSection, const std::string& strKey)
{
    if (!IsSameText(ReadString(strSection, strKey, ABSENT_MARK_1), ABSENT_MARK_1))
        return PROFILE_TYPE_TEXT;
    if (IsSameText(ReadString(strSection, strKey, ABSENT_MARK_2), ABSENT_MARK_2))
        return PROFILE_TYPE_NONE;
    return PROFILE_TYPE_TEXT;
}

CProfileValue CIniProfile::QueryValue(const std::string& strSection, const std::string& strKey)
{
    std::string strText = ReadString(strSection, strKey, ABSENT_MARK_1);
    if (!IsSameText(strText, ABSENT_MARK_1))
        return CProfileValue(strText);
    if (IsSameText(ReadString(strSection, strKey, ABSENT_MARK_2), ABSENT_MARK_2))
        return CProfileValue();
    return CProfileValue(strText);
}

bool CIniProfile::WriteValue(const std::string& strSection, const std::string& strKey,
                             const CProfileValue& value)
{
    if (value.GetType() == PROFILE_TYPE_NONE) {
        if (GetValueType(strSection, strKey) == PROFILE_TYPE_NONE)
            return false;
        return WritePrivateProfileStringA(strSection.c_str(), strKey.c_str(), nullptr,
                                          m_strPath.c_str()) != FALSE;
    }
    std::string strText = value.ToString();
    // Leave the file alone when the value would not change, so that its time
    // stamp tells when a setting really changed.
    DWORD nSize = static_cast<DWORD>(strText.size() + 2);
    std::vector<char> buffer(nSize);
    DWORD nLength = GetPrivateProfileStringA(strSection.c_str(), strKey.c_str(), "",
                                             buffer.data(), nSize, m_strPath.c_str());
    bool bSame = nLength == strText.size()
                 && (nLength == 0
                     || IsSameText(buffer.data(), static_cast<int>(nLength), strText.c_str(),
                                   static_cast<int>(strText.size()), 0));
    // An empty read also comes back for an absent key, which must be created.
    if (bSame && (nLength != 0 || GetValueType(strSection, strKey) != PROFILE_TYPE_NONE))
        return true;
    return WritePrivateProfileStringA(strSection.c_str(), strKey.c_str(), strText.c_str(),
                                      m_strPath.c_str()) != FALSE;
}

std::string MakeIniPath(const std::string& strExePath)
{
    // Only a dot in the file name starts an extension; one in a folder name
    // ("C:\tools.v2\tap") must not cut the path.
    size_t nSeparator = FindLastBackslash(strExePath);
    size_t nNameStart = nSeparator == std::string::npos ? 0 : nSeparator + 1;
    size_t nDot = strExePath.rfind('.');
    if (nDot == std::string::npos || nDot < nNameStart)
        return strExePath + ".ini";
    return strExePath.substr(0, nDot) + ".ini";
}

std::string GetDefaultIniPath()
{
    std::string strExe = GetModulePathA();
    return strExe.empty() ? ".ini" : MakeIniPath(strExe);
}

std::string ToAnsiPath(const std::wstring& strPath)
{
    BOOL bLost = FALSE;
    std::string strAnsi = FromWideIn(CP_ACP, strPath, &bLost);
    if (!bLost)
        return strAnsi;
    // Short names are ASCII (and may be longer than the long ones); a volume
    // that keeps none answers the long path.
    DWORD nNeeded = GetShortPathNameW(strPath.c_str(), nullptr, 0);
    if (nNeeded == 0)
        return strAnsi;
    std::wstring strShort(nNeeded, L'\0');
    DWORD nLength = GetShortPathNameW(strPath.c_str(), &strShort[0], nNeeded);
    if (nLength == 0 || nLength >= nNeeded)
        return strAnsi;
    strShort.resize(nLength);
    return FromWideIn(CP_ACP, strShort, &bLost);
}

std::string GetModulePathA()
{
    std::wstring strPath(MAX_PATH, L'\0');
    for (;;) {
        DWORD nLength = GetModuleFileNameW(nullptr, &strPath[0], static_cast<DWORD>(strPath.size()));
        // A cut path would name somebody else's file; ask again with room.
        if (nLength < strPath.size() || strPath.size() >= 32768) {
            strPath.resize(nLength);
            return ToAnsiPath(strPath);
        }
        strPath.resize(strPath.size() * 2);
    }
}

}  // namespace ZEV

