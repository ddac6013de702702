#include "settings/RegistryKey.h"

#include <vector>

namespace ZEV {

namespace {

const DWORD NAME_BUFFER = 1024;
const DWORD DELETE_NAME_BUFFER = 256;
const REGSAM DELETE_ACCESS = DELETE | KEY_ENUMERATE_SUB_KEYS;

// The predefined roots (HKEY_LOCAL_MACHINE ...) belong to the system and are
// never closed by us.
bool IsPredefinedKey(HKEY hKey)
{
    ULONG_PTR nValue = reinterpret_cast<ULONG_PTR>(hKey);
    return nValue >= 0x80000000u && nValue <= 0x800000FFu;
}

void CloseKey(HKEY hKey)
{
    if (hKey && !IsPredefinedKey(hKey))
        RegCloseKey(hKey);
}

bool IsLeadByte(char ch)
{
    return IsDBCSLeadByte(static_cast<BYTE>(ch)) != FALSE;
}

DWORD KindOfRegistryType(DWORD dwType)
{
    switch (dwType) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return PROFILE_TYPE_TEXT;
    case REG_BINARY:
        return PROFILE_TYPE_BINARY;
    case REG_DWORD:
        return PROFILE_TYPE_DWORD;
    case REG_MULTI_SZ:
        return PROFILE_TYPE_MULTI_TEXT;
    case REG_QWORD:
        return PROFILE_TYPE_INT64;
    default:
        return PROFILE_TYPE_NONE;
    }
}

// Text of a string value; the stored data need not end in a zero.
std::string TextOfData(const CByteBuffer& data)
{
    const char* psz = reinterpret_cast<const char*>(data.GetData());
    size_t nLength = 0;
    while (nLength < data.GetSize() && psz[nLength])
        ++nLength;
    return std::string(psz ? psz : "", nLength);
}

std::string ExpandText(const std::string& strText)
{
    DWORD nSize = ExpandEnvironmentStringsA(strText.c_str(), nullptr, 0);
    if (nSize == 0)
        return strText;
    std::vector<char> buffer(nSize + 1);
    DWORD nDone = ExpandEnvironmentStringsA(strText.c_str(), buffer.data(), nSize + 1);
    if (nDone == 0 || nDone > nSize + 1)
        return strText;
    return std::string(buffer.data());
}

TNameList TextsOfMultiData(const CByteBuffer& data)
{
    TNameList texts;
    const char* psz = reinterpret_cast<const char*>(data.GetData());
    size_t nSize = data.GetSize();
    size_t nPos = 0;
    while (nPos < nSize && psz[nPos]) {
        size_t nEnd = nPos;
        while (nEnd < nSize && psz[nEnd])
            ++nEnd;
        texts.push_back(std::string(psz + nPos, nEnd - nPos));
        nPos = nEnd + 1;
    }
    return texts;
}

ULONGLONG NumberOfData(const CByteBuffer& data, size_t nWidth)
{
    ULONGLONG nValue = 0;
    size_t nBytes = data.GetSize() < nWidth ? data.GetSize() : nWidth;
    for (size_t i = 0; i < nBytes; ++i)
        nValue |= static_cast<ULONGLONG>(data.GetAt(i)) << (8 * i);
    return nValue;
}

// Deletes hParent\pszSubKey and everything below it, deepest keys first;
// answers the registry's result.
LONG DeleteKeyTree(HKEY hParent, const char* pszSubKey)
{
    if (!pszSubKey || !*pszSubKey)
        return ERROR_BADKEY;
    HKEY hKey = nullptr;
    LONG nResult = RegOpenKeyExA(hParent, pszSubKey, 0, DELETE_ACCESS, &hKey);
    if (nResult != ERROR_SUCCESS)
        return nResult;
    for (;;) {
        char szName[DELETE_NAME_BUFFER];
        DWORD nName = DELETE_NAME_BUFFER;
        nResult = RegEnumKeyExA(hKey, 0, szName, &nName, nullptr, nullptr, nullptr, nullptr);
        if (nResult == ERROR_NO_MORE_ITEMS) {
            RegCloseKey(hKey);
            return RegDeleteKeyA(hParent, pszSubKey);
        }
        if (nResult == ERROR_SUCCESS)
            nResult = DeleteKeyTree(hKey, szName);
        if (nResult != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(hKey);
    return nResult;
}

}  // namespace

CRegistryKey::CRegistryKey(HKEY hRoot, REGSAM samAccess)
    : m_samAccess(samAccess), m_pRootKey(hRoot, CloseKey)
{
}

std::string CRegistryKey::GetTypeName() const
{
    return "Registry";
}

bool CRegistryKey::Flush()
{
    if (!m_pSectionKey)
        return false;
    return RegFlushKey(m_pSectionKey.get()) == ERROR_SUCCESS;
}

void CRegistryKey::SelectSection(const std::string& strSection)
{
    // Paths that differ only in letter case count as different sections; at
    // worst the same key is opened once more.
    if (CompareStringA(LOCALE_USER_DEFAULT, 0, strSection.c_str(), -1, m_strSection.c_str(), -1)
        == CSTR_EQUAL)
        return;
    m_pSectionKey.reset();
    m_strSection = strSection;
}

HKEY CRegistryKey::OpenForRead(const std::string& strSection)
{
    SelectSection(strSection);
    if (m_pSectionKey)
        return m_pSectionKey.get();
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(m_pRootKey.get(), m_strSection.c_str(), 0, m_samAccess, &hKey)
        != ERROR_SUCCESS)
        return nullptr;
    m_pSectionKey = TKeyHolder(hKey, CloseKey);
    return hKey;
}

HKEY CRegistryKey::OpenForWrite(const std::string& strSection)
{
    HKEY hKey = OpenForRead(strSection);
    if (hKey)
        return hKey;
    if (RegCreateKeyExA(m_pRootKey.get(), m_strSection.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, m_samAccess, nullptr, &hKey, nullptr)
        != ERROR_SUCCESS)
        return nullptr;
    m_pSectionKey = TKeyHolder(hKey, CloseKey);
    return hKey;
}

namespace {

// Names of the sub-keys or the values of a key, by index until there are no more;
// empty when the listing fails part-way.
template <typename TEnumOne>
TNameList EnumNames(HKEY hKey, TEnumOne enumOne)
{
    TNameList names;
    if (!hKey)
        return names;
    for (DWORD nIndex = 0;; ++nIndex) {
        char szName[NAME_BUFFER];
        DWORD nName = NAME_BUFFER;
        LONG nResult = enumOne(hKey, nIndex, szName, &nName);
        if (nResult == ERROR_NO_MORE_ITEMS)
            return names;
        if (nResult != ERROR_SUCCESS)
            return TNameList();
        names.push_back(std::string(szName, nName));
    }
}

} // namespace

TNameList CRegistryKey::EnumSections(const std::string& strParent)
{
    HKEY hKey = strParent.empty() ? m_pRootKey.get() : OpenForRead(strParent);
    return EnumNames(hKey, [](HKEY h, DWORD i, char* psz, DWORD* pn) {
        return RegEnumKeyExA(h, i, psz, pn, nullptr, nullptr, nullptr, nullptr);
    });
}

bool CRegistryKey::DeleteSection(const std::string& strName)
{
    m_pSectionKey.reset();
    LONG nResult = DeleteKeyTree(m_pRootKey.get(), strName.c_str());
    SetLastError(static_cast<DWORD>(nResult));
    return nResult == ERROR_SUCCESS;
}

TNameList CRegistryKey::EnumKeys(const std::string& strSection)
{
    return EnumNames(OpenForRead(strSection), [](HKEY h, DWORD i, char* psz, DWORD* pn) {
        return RegEnumValueA(h, i, psz, pn, nullptr, nullptr, nullptr, nullptr);
    });
}

DWORD CRegistryKey::GetValueType(const std::string& strSection, const std::string& strKey)
{
    HKEY hKey = OpenForRead(strSection);
    if (!hKey)
        return PROFILE_TYPE_NONE;
    DWORD dwType = REG_NONE;
    if (RegQueryValueExA(hKey, strKey.c_str(), nullptr, &dwType, nullptr, nullptr)
        != ERROR_SUCCESS)
        return PROFILE_TYPE_NONE;
    return KindOfRegistryType(dwType);
}

bool CRegistryKey::ReadRawValue(HKEY hKey, const std::string& strKey, DWORD& dwType,
                                CByteBuffer& data)
{
    DWORD nSize = 0;
    if (RegQueryValueExA(hKey, strKey.c_str(), nullptr, &dwType, nullptr, &nSize)
        != ERROR_SUCCESS)
        return false;
    data.SetSize(nSize);
    if (nSize == 0)
        return true;
    DWORD dwReadType = REG_NONE;
    if (RegQueryValueExA(hKey, strKey.c_str(), nullptr, &dwReadType, data.GetData(), &nSize)
        != ERROR_SUCCESS)
        return false;
    // The value may have been replaced between the two queries.
    if (dwReadType != dwType || nSize > data.GetSize())
        return false;
    data.SetSize(nSize);
    return true;
}

CProfileValue CRegistryKey::QueryValue(const std::string& strSection, const std::string& strKey)
{
    DWORD dwKind = GetValueType(strSection, strKey);
    if (dwKind == PROFILE_TYPE_NONE)
        return CProfileValue();
    HKEY hKey = OpenForRead(strSection);
    DWORD dwType = REG_NONE;
    CByteBuffer data;
    if (!hKey || !ReadRawValue(hKey, strKey, dwType, data) || KindOfRegistryType(dwType) != dwKind)
        return CProfileValue();
    switch (dwKind) {
    case PROFILE_TYPE_BINARY:
        return CProfileValue(data);
    case PROFILE_TYPE_DWORD:
        return CProfileValue(static_cast<DWORD>(NumberOfData(data, 4)));
    case PROFILE_TYPE_INT64:
        return CProfileValue(static_cast<LONGLONG>(NumberOfData(data, 8)));
    case PROFILE_TYPE_TEXT:
        if (dwType == REG_EXPAND_SZ)
            return CProfileValue(ExpandText(TextOfData(data)));
        return CProfileValue(TextOfData(data));
    case PROFILE_TYPE_MULTI_TEXT:
        return CProfileValue(PROFILE_TYPE_MULTI_TEXT, JoinMultiText(TextsOfMultiData(data)));
    default:
        return CProfileValue();
    }
}

bool CRegistryKey::SetValue(const std::string& strSection, const std::string& strKey,
                            DWORD dwType, const void* pData, size_t nSize)
{
    HKEY hKey = OpenForWrite(strSection);
    if (!hKey)
        return false;
    return RegSetValueExA(hKey, strKey.c_str(), 0, dwType, static_cast<const BYTE*>(pData),
                          static_cast<DWORD>(nSize))
           == ERROR_SUCCESS;
}

bool CRegistryKey::WriteValue(const std::string& strSection, const std::string& strKey,
                              const CProfileValue& value)
{
    switch (value.GetType()) {
    case PROFILE_TYPE_TEXT: {
        const std::string& strText = value.GetText();
        return SetValue(strSection, strKey, REG_SZ, strText.c_str(), strText.size() + 1);
    }
    case PROFILE_TYPE_DWORD: {
        DWORD dwValue = static_cast<DWORD>(value.GetNumber());
        return SetValue(strSection, strKey, REG_DWORD, &dwValue, sizeof(dwValue));
    }
    case PROFILE_TYPE_INT64: {
        ULONGLONG nValue = value.GetNumber();
        return SetValue(strSection, strKey, REG_QWORD, &nValue, sizeof(nValue));
    }
    case PROFILE_TYPE_BINARY:
        return SetValue(strSection, strKey, REG_BINARY, value.GetBytes().GetData(),
                        value.GetBytes().GetSize());
    case PROFILE_TYPE_MULTI_TEXT: {
        std::string strData;
        for (const std::string& strText : SplitMultiText(value.GetText())) {
            if (strText.empty())
                continue;
            strData += strText;
            strData += '\0';
        }
        if (!strData.empty())
            strData += '\0';
        return SetValue(strSection, strKey, REG_MULTI_SZ, strData.data(), strData.size());
    }
    case PROFILE_TYPE_NONE: {
        HKEY hKey = OpenForRead(strSection);
        return hKey && RegDeleteValueA(hKey, strKey.c_str()) == ERROR_SUCCESS;
    }
    default:
        return false;
    }
}

std::string CRegistryKey::JoinMultiText(const TNameList& texts)
{
    std::string strJoined;
    for (size_t nText = 0; nText < texts.size(); ++nText) {
        if (nText > 0)
            strJoined += "\\^";
        const std::string& strText = texts[nText];
        for (size_t nPos = 0; nPos < strText.size(); ++nPos) {
            char ch = strText[nPos];
            strJoined += ch;
            if (IsLeadByte(ch) && nPos + 1 < strText.size())
                strJoined += strText[++nPos];
            else if (ch == '\\')
                strJoined += '\\';
        }
    }
    return strJoined;
}

TNameList CRegistryKey::SplitMultiText(const std::string& strJoined)
{
    TNameList texts;
    std::string strText;
    for (size_t nPos = 0; nPos < strJoined.size(); ++nPos) {
        char ch = strJoined[nPos];
        if (IsLeadByte(ch) && nPos + 1 < strJoined.size()) {
            strText += ch;
            strText += strJoined[++nPos];
            continue;
        }
        char chNext = nPos + 1 < strJoined.size() ? strJoined[nPos + 1] : '\0';
        if (ch == '\\' && chNext == '^') {
            texts.push_back(strText);
            strText.clear();
            ++nPos;
            continue;
        }
        strText += ch;
        // A doubled backslash stands for one; a lone one is kept as it is.
        if (ch == '\\' && chNext == '\\')
            ++nPos;
    }
    texts.push_back(strText);
    return texts;
}

}  // namespace ZEV
