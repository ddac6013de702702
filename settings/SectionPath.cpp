#include "settings/SectionPath.h"

#include <windows.h>

namespace ZEV {

namespace {

// Length in bytes of the character starting at nPos; a lead byte at the very
// end of the text counts alone.
size_t CharLength(const std::string& str, size_t nPos)
{
    if (IsDBCSLeadByte(static_cast<BYTE>(str[nPos])) && nPos + 1 < str.size())
        return 2;
    return 1;
}

}  // namespace

size_t FindFirstBackslash(const std::string& strPath)
{
    for (size_t nPos = 0; nPos < strPath.size(); nPos += CharLength(strPath, nPos)) {
        if (strPath[nPos] == '\\')
            return nPos;
    }
    return std::string::npos;
}

size_t FindLastBackslash(const std::string& strPath)
{
    size_t nFound = std::string::npos;
    for (size_t nPos = 0; nPos < strPath.size(); nPos += CharLength(strPath, nPos)) {
        if (strPath[nPos] == '\\')
            nFound = nPos;
    }
    return nFound;
}

}  // namespace ZEV
