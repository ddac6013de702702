#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ZEV {

// Reads the version resource of one file and composes the texts the user sees
// from it, so that the about box always matches the file it describes.
class CVersionInfo {
public:
    CVersionInfo();
    virtual ~CVersionInfo();

    CVersionInfo(const CVersionInfo&) = delete;
    CVersionInfo& operator=(const CVersionInfo&) = delete;

    // Reads the resource of the file; on any failure the reader is left empty.
    bool Load(const wchar_t* pszPath);
    // The same with a Shift-JIS path.
    bool Load(const char* pszPath);

    // One value of the string table; language 0 takes any translation.
    std::string GetString(const char* pszName, WORD wLanguage = 0) const;
    // "LegalCopyright" and "CompanyName", separated by a blank.
    std::string GetLegalText(WORD wLanguage = 0) const;
    // "FileVersion" followed by the marks of the build's flags.
    std::string GetFileVersionText(WORD wLanguage = 0) const;
    // Description, version word, file version and legal text for the about box.
    std::string GetAboutText(const char* pszVersionWord, WORD wLanguage = 0) const;

    const VS_FIXEDFILEINFO* GetFixedInfo() const { return m_pFixedInfo; }
    DWORD GetTranslationCount() const { return m_dwTranslationCount; }
    const std::string& GetPath() const { return m_strPath; }

protected:
    // Appends the marks of the special, private, pre-release and debug flags.
    virtual void AppendBuildMarks(std::string& strText, DWORD dwFlags, WORD wLanguage) const;

private:
    struct TTranslation {
        WORD wLanguage;
        WORD wCodePage;
    };

    void Clear();
    bool QueryString(const std::string& strSubBlock, std::string& strValue) const;
    bool IsSixteenBitResource() const;

    DWORD m_dwBlockSize;
    std::vector<BYTE> m_block;
    const VS_FIXEDFILEINFO* m_pFixedInfo;
    const TTranslation* m_pTranslations;
    DWORD m_dwTranslationCount;
    std::string m_strPath;
};

}  // namespace ZEV
