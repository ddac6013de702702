#include "support/Format.h"

#include <cstdio>

namespace ZEV {

std::string FormatV(const char* fmt, va_list args)
{
    if (fmt == nullptr)
        return std::string();

    // Try a stack buffer first; most texts are short.
    char buf[512];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(buf, sizeof(buf), fmt, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof(buf))
        return std::string(buf, static_cast<size_t>(n));

    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_copy(copy, args);
    int m = vsnprintf(&out[0], out.size(), fmt, copy);
    va_end(copy);
    if (m < 0)
        return std::string();
    out.resize(static_cast<size_t>(m));
    return out;
}

std::string Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}

} // namespace ZEV
