#include "support/Format.h"
#include "support/Tick.h"

#include <gtest/gtest.h>

#include <string>

using ZEV::Format;

namespace {

std::string Wrapped(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string s = ZEV::FormatV(fmt, args);
    va_end(args);
    return s;
}

DWORD FixedTick()
{
    return 123456u;
}

DWORD OtherTick()
{
    return 7u;
}

} // namespace

TEST(FormatTest, ResultLongerThan64KiBIsWhole)
{
    std::string big(70000, 'x');
    big[69999] = 'y';
    std::string s = Format("<%s|%d>", big.c_str(), 42);
    ASSERT_EQ(s.size(), 70000u + 5u);
    EXPECT_EQ(s.substr(0, 2), "<x");
    EXPECT_EQ(s.substr(s.size() - 5), "y|42>");
}

TEST(FormatTest, FieldWidthsCountShiftJisBytes)
{
    // "ログ" is four bytes in Shift-JIS, so a width of 6 adds two spaces.
    EXPECT_EQ(Format("%-6s|", "ログ"), std::string("\x83\x8D\x83\x4F  |"));
    EXPECT_EQ(Format("%-70s,%s", "a", "b").size(), 72u);
    // The INI store writes 64-bit numbers this way.
    EXPECT_EQ(Format("%I64d|%u", -9007199254740993LL, 4294967295u), "-9007199254740993|4294967295");
}

TEST(FormatTest, FormatVTakesTheCallersArguments)
{
    EXPECT_EQ(Wrapped("%s=%d", "count", 3), "count=3");
    std::string big(1000, 'z');
    // A second pass over the arguments must not reuse a consumed list.
    EXPECT_EQ(Wrapped("%s%d", big.c_str(), 9), big + "9");
    EXPECT_EQ(Format(""), "");
}

TEST(TickTest, InstalledSourceDrivesGetTickUntilRestored)
{
    EXPECT_EQ(ZEV::SetTickSource(&FixedTick), nullptr);
    EXPECT_EQ(ZEV::GetTick(), 123456u);
    EXPECT_EQ(ZEV::SetTickSource(&OtherTick), &FixedTick);
    EXPECT_EQ(ZEV::GetTick(), 7u);

    EXPECT_EQ(ZEV::SetTickSource(nullptr), &OtherTick);
    DWORD dwSystem = ::GetTickCount();
    EXPECT_LT(ZEV::GetTick() - dwSystem, 10000u);
}
