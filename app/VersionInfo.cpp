#include "app/VersionInfo.h"

#include "support/Format.h"
#include "support/WideText.h"

namespace ZEV {

namespace {

constexpr DWORD VS_SIGNATURE = 0xFEEF04BD;

constexpr DWORD VS_FF_DEBUG_FLAG = 0x01;
constexpr DWORD VS_FF_PRERELEASE_FLAG = 0x02;
constexpr DWORD VS_FF_PRIVATEBUILD_FLAG = 0x08;
constexpr DWORD VS_FF_SPECIALBUILD_FLAG = 0x20;

// Sub-block names and values are the program's texts: Shift-JIS on our side,
// whatever the system's code page.
std::wstring Widen(const std::string& strText) {
    return ToWide(strText);
}

std::string Narrow(const WCHAR* pwsz, size_t nChars) {
    return FromWide(pwsz, static_cast<int>(nChars));
}

// Version values may or may not count their terminator; stop at the first zero.
size_t BoundedLength(const WCHAR* pwsz, UINT uLen) {
    size_t n = 0;
    while (n < uLen && pwsz[n] != L'\0') {
        ++n;
    }
    return n;
}

size_t BoundedLength(const char* psz, UINT uLen) {
    size_t n = 0;
    while (n < uLen && psz[n] != '\0') {
        ++n;
    }
    return n;
}

}  // namespace

CVersionInfo::CVersionInfo()
    : m_dwBlockSize(0), m_pFixedInfo(nullptr), m_pTranslations(nullptr), m_dwTranslationCount(0) {}

CVersionInfo::~CVersionInfo() = default;

void CVersionInfo::Clear() {
    m_dwBlockSize = 0;
    std::vector<BYTE>().swap(m_block);
    m_pFixedInfo = nullptr;
    m_pTranslations = nullptr;
    m_dwTranslationCount = 0;
    m_strPath.clear();
}

bool CVersionInfo::Load(const char* pszPath) {
    return pszPath != nullptr ? Load(ToWide(pszPath).c_str()) : (Clear(), false);
}

bool CVersionInfo::Load(const wchar_t* pszPath) {
    Clear();
    if (pszPath == nullptr) {
        return false;
    }
    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeW(pszPath, &dwHandle);
    if (dwSize == 0) {
        return false;
    }
    m_block.assign(dwSize, 0);
    m_dwBlockSize = dwSize;
    if (!GetFileVersionInfoW(pszPath, 0, dwSize, m_block.data())) {
        Clear();
        return false;
    }

    void* pFixed = nullptr;
    UINT uFixedLen = 0;
    if (!VerQueryValueW(m_block.data(), L"\\", &pFixed, &uFixedLen) || pFixed == nullptr ||
        uFixedLen < sizeof(VS_FIXEDFILEINFO) ||
        static_cast<const VS_FIXEDFILEINFO*>(pFixed)->dwSignature != VS_SIGNATURE) {
        Clear();
        return false;
    }

    void* pTranslations = nullptr;
    UINT uTranslationLen = 0;
    if (!VerQueryValueW(m_block.data(), L"\\VarFileInfo\\Translation", &pTranslations,
                        &uTranslationLen) ||
        pTranslations == nullptr) {
        Clear();
        return false;
    }

    m_pFixedInfo = static_cast<const VS_FIXEDFILEINFO*>(pFixed);
    m_pTranslations = static_cast<const TTranslation*>(pTranslations);
    m_dwTranslationCount = uTranslationLen / sizeof(TTranslation);
    m_strPath = FromWide(pszPath);
    return true;
}

bool CVersionInfo::IsSixteenBitResource() const {
    DWORD dwOs = m_pFixedInfo->dwFileOS;
    return dwOs == VOS_DOS_WINDOWS16 || dwOs == VOS_OS216_PM16;
}

bool CVersionInfo::QueryString(const std::string& strSubBlock, std::string& strValue) const {
    // The block is shared read-only; the query functions only read it for 32-bit resources.
    void* pBlock = const_cast<BYTE*>(m_block.data());
    void* pValue = nullptr;
    UINT uLen = 0;
    if (IsSixteenBitResource()) {
        if (!VerQueryValueA(pBlock, strSubBlock.c_str(), &pValue, &uLen)) {
            return false;
        }
        const char* psz = static_cast<const char*>(pValue);
        strValue = psz ? std::string(psz, BoundedLength(psz, uLen)) : std::string();
        return true;
    }
    std::wstring wide = Widen(strSubBlock);
    if (!VerQueryValueW(pBlock, wide.c_str(), &pValue, &uLen)) {
        return false;
    }
    const WCHAR* pwsz = static_cast<const WCHAR*>(pValue);
    strValue = pwsz ? Narrow(pwsz, BoundedLength(pwsz, uLen)) : std::string();
    return true;
}

std::string CVersionInfo::GetString(const char* pszName, WORD wLanguage) const {
    if (m_pFixedInfo == nullptr || m_pTranslations == nullptr || pszName == nullptr) {
        return std::string();
    }
    for (DWORD i = 0; i < m_dwTranslationCount; ++i) {
        const TTranslation& translation = m_pTranslations[i];
        if (wLanguage != 0 && translation.wLanguage != wLanguage) {
            continue;
        }
        std::string strSubBlock = Format("\\StringFileInfo\\%04x%04x\\%s", translation.wLanguage,
                                         translation.wCodePage, pszName);
        std::string strValue;
        if (QueryString(strSubBlock, strValue)) {
            return strValue;
        }
    }
    return std::string();
}

std::string CVersionInfo::GetLegalText(WORD wLanguage) const {
    return Format("%s %s", GetString("LegalCopyright", wLanguage).c_str(),
                  GetString("CompanyName", wLanguage).c_str());
}

std::string CVersionInfo::GetFileVersionText(WORD wLanguage) const {
    std::string strText = GetString("FileVersion", wLanguage);
    if (m_pFixedInfo != nullptr) {
        AppendBuildMarks(strText, m_pFixedInfo->dwFileFlags & m_pFixedInfo->dwFileFlagsMask,
                         wLanguage);
    }
    return strText;
}

void CVersionInfo::AppendBuildMarks(std::string& strText, DWORD dwFlags, WORD wLanguage) const {
    if (dwFlags & VS_FF_SPECIALBUILD_FLAG) {
        strText += " ";
        strText += GetString("SpecialBuild", wLanguage);
    }
    if (dwFlags & VS_FF_PRIVATEBUILD_FLAG) {
        strText += " ";
        strText += GetString("PrivateBuild", wLanguage);
    }
    if (dwFlags & VS_FF_PRERELEASE_FLAG) {
        strText += " [PreRelease版]";
    }
    if (dwFlags & VS_FF_DEBUG_FLAG) {
        strText += " ≪Debug版≫";
    }
}

std::string CVersionInfo::GetAboutText(const char* pszVersionWord, WORD wLanguage) const {
    if (m_pFixedInfo == nullptr) {
        return std::string();
    }
    return Format("%s %s %s\n\n%s", GetString("FileDescription", wLanguage).c_str(),
                  pszVersionWord ? pszVersionWord : "", GetFileVersionText(wLanguage).c_str(),
                  GetLegalText(wLanguage).c_str());
}

}  // namespace ZEV
