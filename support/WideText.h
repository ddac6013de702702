#pragma once

#include <windows.h>

#include <string>

namespace ZEV {

// The program's texts are Shift-JIS whatever code page the system runs with. The
// Unicode functions get them converted from code page 932 here, never through the
// system's code page, so they read right on any Windows.
const UINT SJIS_CODE_PAGE = 932;

std::wstring ToWide(const char* pszText, int nBytes = -1);
inline std::wstring ToWide(const std::string& strText)
{
    return ToWide(strText.data(), static_cast<int>(strText.size()));
}

// Back to Shift-JIS; a character that has no Shift-JIS form becomes '?'.
std::string FromWide(const wchar_t* pszText, int nChars = -1);
inline std::string FromWide(const std::wstring& strText)
{
    return FromWide(strText.data(), static_cast<int>(strText.size()));
}
// Into another code page (CP_ACP: as the A functions convert), without
// look-alike substitutes; pbLost tells whether a character had no form there.
std::string FromWideIn(UINT nCodePage, const std::wstring& strText, BOOL* pbLost);

} // namespace ZEV
