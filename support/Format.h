#pragma once

#include <cstdarg>
#include <string>

namespace ZEV {

// printf-style formatting into a std::string; the result is never truncated.
std::string Format(const char* fmt, ...);
std::string FormatV(const char* fmt, va_list args);

} // namespace ZEV
