#pragma once

#include <string>

namespace ZEV {

// Section paths separate their levels with a backslash. In Shift-JIS the
// second byte of a double-byte character can be 0x5C as well, so these
// searches step over whole characters. Both answer std::string::npos when
// the path holds no separator.
size_t FindFirstBackslash(const std::string& strPath);
size_t FindLastBackslash(const std::string& strPath);

}  // namespace ZEV
