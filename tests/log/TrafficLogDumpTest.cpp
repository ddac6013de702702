#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/DumpLines.h"

namespace {

std::vector<BYTE> Counting(size_t n)
{
    std::vector<BYTE> data(n);
    for (size_t i = 0; i < n; ++i)
        data[i] = static_cast<BYTE>(i);
    return data;
}

std::vector<std::string> Dump(const std::vector<BYTE>& data, bool bFull, DWORD nWidth)
{
    return MakeDumpLines(data.data(), static_cast<DWORD>(data.size()), bFull, nWidth);
}

bool HasSkipRow(const std::vector<std::string>& rows)
{
    for (const std::string& row : rows)
        if (row == " :                     :")
            return true;
    return false;
}

TEST(TrafficLogDumpTest, ControlBytesShowAsDotsOtherBytesAsThemselves)
{
    const std::vector<BYTE> data = {0x00, 0x0D, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xA5, 0xDF, 0xFD, 0xFF};
    const std::vector<std::string> rows = Dump(data, true, 16);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("0000 : 00 0D 1F 20 7E 7F 80 A5 DF FD FF -- -- -- -- --  : ... ~\x7F\x80\xA5\xDF\xFD\xFF", rows[0]);
}

TEST(TrafficLogDumpTest, AbbreviatedBlockKeepsHeadAndTail)
{
    const std::vector<std::string> rows = Dump(Counting(100), false, 8);
    std::vector<std::string> offsets;
    for (const std::string& row : rows)
        offsets.push_back(row.substr(0, 4));
    EXPECT_EQ((std::vector<std::string>{"0000", "0008", "0010", "0018", "0020", " :  ", "0048", "0050", "0058", "0060"}),
              offsets);
    EXPECT_EQ(" :                     :", rows[5]);
    EXPECT_EQ("0048 : 48 49 4A 4B 4C 4D 4E 4F  : HIJKLMNO", rows[6]);
    EXPECT_EQ("0060 : 60 61 62 63 -- -- -- --  : `abc", rows[9]);

    const std::vector<std::string> full = Dump(Counting(100), true, 8);
    ASSERT_EQ(13u, full.size());
    EXPECT_EQ("0028 : 28 29 2A 2B 2C 2D 2E 2F  : ()*+,-./", full[5]);
    EXPECT_FALSE(HasSkipRow(full));
}

TEST(TrafficLogDumpTest, AbbreviationStartsAt144BytesFor16AndAt80BytesFor8)
{
    EXPECT_FALSE(HasSkipRow(Dump(Counting(143), false, 16)));
    EXPECT_EQ(9u, Dump(Counting(143), false, 16).size());
    EXPECT_TRUE(HasSkipRow(Dump(Counting(144), false, 16)));
    EXPECT_FALSE(HasSkipRow(Dump(Counting(79), false, 8)));
    EXPECT_TRUE(HasSkipRow(Dump(Counting(80), false, 8)));

    // A long block still ends with its true last offset.
    const std::vector<std::string> rows = Dump(Counting(100000), false, 16);
    ASSERT_EQ(9u, rows.size());
    EXPECT_EQ("8690 : ", rows.back().substr(0, 7)) << "offsets show their low 16 bits";
}

TEST(TrafficLogDumpTest, DoubleByteCharacterIsShownWholeAndNeverHalfOrTwice)
{
    ASSERT_EQ(932u, GetACP()) << "the tests run with the Japanese code page";
    // "ABCDEFG" then あ (82 A0) across the row boundary, then "H".
    const std::vector<BYTE> data = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 0x82, 0xA0, 'H'};
    const std::vector<std::string> rows = Dump(data, true, 8);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("0000 : 41 42 43 44 45 46 47 82  : ABCDEFG\x82\xA0", rows[0]);
    EXPECT_EQ("0008 : A0 48 -- -- -- -- -- --  : .H", rows[1]);

    const std::vector<BYTE> cut = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 0x82};
    EXPECT_EQ("0000 : 41 42 43 44 45 46 47 82  : ABCDEFG.", Dump(cut, true, 8)[0]);

    // A lead byte anywhere else is written as it is; its trail byte follows.
    const std::vector<BYTE> inside = {0x82, 0xA0, 'x'};
    EXPECT_EQ("0000 : 82 A0 78 -- -- -- -- --  : \x82\xA0x", Dump(inside, true, 8)[0]);

    // A character that ends in the last column is not taken for one that
    // begins there, though its trail byte 0xE8 is also a lead byte: "MSG 測定" "開始".
    const std::vector<BYTE> ends = {'M', 'S', 'G', ' ', 0x91, 0xAA, 0x92, 0xE8, 0x8A, 0x4A, 0x8E, 0x6E};
    const std::vector<std::string> endRows = Dump(ends, true, 8);
    EXPECT_EQ("0000 : 4D 53 47 20 91 AA 92 E8  : MSG \x91\xAA\x92\xE8", endRows[0]);
    EXPECT_EQ("0008 : 8A 4A 8E 6E -- -- -- --  : \x8A\x4A\x8E\x6E", endRows[1]);
    // "亜" (88 9F) ends row 0020, where a block may be abbreviated; 9F is a lead byte too.
    const std::string k39 = std::string(39, 'a') + "\x88\x9F";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {k39 + "b", {"0020 : 61 61 61 61 61 61 61 88  : aaaaaaa\x88\x9F", "0028 : 9F 62 -- -- -- -- -- --  : .b"}},
        {k39 + std::string(59, 'c'), {" :                     :", "0048 : 63 63 63 63 63 63 63 63  : cccccccc"}},
        {"A\x82\r" "B\x82," "\x82", {"0000 : 41 82 0D 42 82 2C 82 --  : A..B.,."}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> rows = Dump(std::vector<BYTE>(c.first.begin(), c.first.end()), false, 8);
        EXPECT_NE(rows.end(), std::search(rows.begin(), rows.end(), c.second.begin(), c.second.end())) << c.second[0];
    }
}

TEST(TrafficLogDumpTest, LeadByteInLastColumnNeverPullsUpLineBreakOrNul)
{
    ASSERT_EQ(932u, GetACP());
    for (const DWORD nWidth : {16u, 8u}) {
        for (const BYTE next : {0x0A, 0x0D, 0x00}) {
            std::vector<BYTE> data(nWidth - 1, 'A');
            data.insert(data.end(), {0x82, next, 'B'});
            const std::vector<std::string> rows = Dump(data, true, nWidth);
            SCOPED_TRACE(testing::Message() << nWidth << " bytes per row, next byte " << int(next));
            ASSERT_EQ(2u, rows.size());
            EXPECT_EQ(std::string(nWidth - 1, 'A') + ".", rows[0].substr(rows[0].rfind(" : ") + 3));
            EXPECT_EQ(".B", rows[1].substr(rows[1].rfind(" : ") + 3)) << "the next byte starts the next row";
            for (const std::string& row : rows)
                for (const char c : row)
                    EXPECT_GE(static_cast<BYTE>(c), 0x20) << row;
        }
    }
}

TEST(TrafficLogDumpTest, EmptyBlockGivesNoRowsAndNarrowWidthIsWidened)
{
    EXPECT_TRUE(Dump({}, false, 16).empty());
    const std::vector<std::string> rows = Dump({'a', 'b', 'c'}, true, 1);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("0000 : 61 62  : ab", rows[0]);
    EXPECT_EQ("0002 : 63 --  : c", rows[1]);
}

} // namespace
