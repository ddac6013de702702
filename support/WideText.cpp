#include "support/WideText.h"

#include <cstring>
#include <cwchar>

namespace ZEV {

std::wstring ToWide(const char* pszText, int nBytes)
{
    if (pszText == nullptr)
        return std::wstring();
    if (nBytes < 0)
        nBytes = static_cast<int>(std::strlen(pszText));
    if (nBytes == 0)
        return std::wstring();
    int nChars = ::MultiByteToWideChar(SJIS_CODE_PAGE, 0, pszText, nBytes, nullptr, 0);
    std::wstring strWide(nChars > 0 ? nChars : 0, L'\0');
    if (nChars > 0)
        ::MultiByteToWideChar(SJIS_CODE_PAGE, 0, pszText, nBytes, &strWide[0], nChars);
    return strWide;
}

namespace {

std::string Narrow(UINT nCodePage, DWORD dwFlags, const wchar_t* pszText, int nChars, BOOL* pbLost)
{
    if (pbLost != nullptr)
        *pbLost = FALSE;
    if (pszText == nullptr)
        return std::string();
    if (nChars < 0)
        nChars = static_cast<int>(std::wcslen(pszText));
    if (nChars == 0)
        return std::string();
    int nBytes = ::WideCharToMultiByte(nCodePage, dwFlags, pszText, nChars, nullptr, 0, nullptr, nullptr);
    std::string strText(nBytes > 0 ? nBytes : 0, '\0');
    if (nBytes > 0)
        ::WideCharToMultiByte(nCodePage, dwFlags, pszText, nChars, &strText[0], nBytes, nullptr, pbLost);
    return strText;
}

} // namespace

std::string FromWide(const wchar_t* pszText, int nChars)
{
    return Narrow(SJIS_CODE_PAGE, 0, pszText, nChars, nullptr);
}

std::string FromWideIn(UINT nCodePage, const std::wstring& strText, BOOL* pbLost)
{
    return Narrow(nCodePage, WC_NO_BEST_FIT_CHARS, strText.data(), static_cast<int>(strText.size()), pbLost);
}

} // namespace ZEV
