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

std::string FromWide(const wchar_t* pszText, int nChars)
{
    if (pszText == nullptr)
        return std::string();
    if (nChars < 0)
        nChars = static_cast<int>(std::wcslen(pszText));
    if (nChars == 0)
        return std::string();
    int nBytes = ::WideCharToMultiByte(SJIS_CODE_PAGE, 0, pszText, nChars, nullptr, 0, nullptr, nullptr);
    std::string strText(nBytes > 0 ? nBytes : 0, '\0');
    if (nBytes > 0)
        ::WideCharToMultiByte(SJIS_CODE_PAGE, 0, pszText, nChars, &strText[0], nBytes, nullptr, nullptr);
    return strText;
}

} // namespace ZEV
