#include "tests/e2e/TapFixture.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Counts in the null-modem cable's file (tools/nullmodem.py) as with_ports.sh connects it:
// a 32-byte header, then 64 bytes an end; slot 0 joins COM1 and COM3, slot 1 COM2 and COM4.
enum ECount { BRK = 20, FRAME = 24, PARITY = 28, OVERRUN = 32, TX = 40, BRK_TX = 44, BRK_US = 48 };
const DWORD HOST_END = 32 + 64;        // COM3: a device injects errors into its own counts
const DWORD PORT2_END = 32 + 2 * 64;   // COM2: where the program's breaks fell in its bytes

// Reads a count, or adds one to nAdd neighbouring counts in one write (one event on the line).
DWORD Cable(DWORD dwAt, int nAdd = 0)
{
    std::string strPath = std::string("Z:") + (getenv("TAPLINAR_NULL_MODEM") ? getenv("TAPLINAR_NULL_MODEM") : "");
    std::replace(strPath.begin(), strPath.end(), '/', '\\');
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD values[2] = {}, dwDone = 0;
    OVERLAPPED at = {};
    at.Offset = dwAt;
    ReadFile(hFile, values, sizeof(values), &dwDone, &at);
    for (int i = 0; i < nAdd; ++i)
        ++values[i];
    if (nAdd > 0)
        WriteFile(hFile, values, 4 * nAdd, &dwDone, &at);
    CloseHandle(hFile);
    return values[0];
}

}  // namespace

class BreakTest : public CTapFixture {};

// What a device makes besides bytes reaches the other device as it was made: a break as
// a break (never a 0x00 in its place) between the bytes around it. Each break and error
// is a row of the port that saw it, after the bytes received before it; under Wine every
// error kind reads as "Line error" (the driver gives no error bits).
TEST_F(BreakTest, BreaksReachTheOtherDeviceInPlaceAndBreaksAndErrorsAreRowsOfTheirPort)
{
    CDevicePort host(3);
    CDevicePort instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    HWND hMain = StartAndOpen();
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));
    // A held break is the device's SetCommBreak; an error, or a break and one, is counted on the cable.
    const struct { const char* pszName; bool bHeld; ECount eCount; int nCounts; std::vector<std::string> rows; } cases[] = {
        {"break between two bursts", true, BRK, 0, {"41 42 ", "BREAK", "43 44 "}},
        {"framing error", false, FRAME, 1, {"41 42 ", "Line error", "43 44 "}},
        {"parity error", false, PARITY, 1, {"41 42 ", "Line error", "43 44 "}},
        {"overrun", false, OVERRUN, 1, {"41 42 ", "Line error", "43 44 "}},
        {"break and error together", false, BRK, 2, {"41 42 ", "BREAK", "Line error", "43 44 "}},
    };
    std::string strSent;
    const DWORD dwTx = Cable(PORT2_END + TX);   // the cable may have carried bytes of other tests
    int nRows = START_ROWS;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const bool bBreak = c.rows[1] == "BREAK";
        DWORD dwBreaks = Cable(PORT2_END + BRK);
        ASSERT_TRUE(host.Write("AB"));
        strSent += "AB";
        if (c.bHeld)
            ASSERT_TRUE(host.HoldBreak(true));
        Cable(HOST_END + c.eCount, c.nCounts);
        EXPECT_EQ("AB", instrument.Read(2, 5000));
        ASSERT_TRUE(WaitRows(hMain, nRows += static_cast<int>(c.rows.size()) - 1));
        if (bBreak) {
            EXPECT_TRUE(WaitUntil([&] { return Cable(PORT2_END + BRK) == dwBreaks + 1; }, 5000));
            EXPECT_EQ(dwTx + strSent.size(), Cable(PORT2_END + BRK_TX)) << "bytes before the break";
        }
        if (c.bHeld)
            ASSERT_TRUE(host.HoldBreak(false));
        ASSERT_TRUE(host.Write("CD"));
        strSent += "CD";
        EXPECT_EQ("CD", instrument.Read(2, 5000)) << "no 0x00 for the break, the bytes after it after it";
        ASSERT_TRUE(WaitRows(hMain, ++nRows));
        if (bBreak)   // two characters at 9600 bit/s at least, ended by the next byte
            EXPECT_TRUE(Cable(PORT2_END + BRK_US) >= 2000 && Cable(PORT2_END + BRK_US) < 1000000);
    }

    std::vector<TExportRow> rows = ExportRows(hMain);
    ASSERT_EQ(static_cast<size_t>(nRows), rows.size()) << DescribeRows(rows);
    size_t nAt = START_ROWS;
    for (const auto& c : cases) {
        for (const std::string& strText : c.rows) {
            const TExportRow& row = rows[nAt++];
            EXPECT_TRUE(MatchesRow(row.strLeft.substr(0, 12), "　┃|??????|")
                        && row.strLeft.find(" " + strText) != std::string::npos) << c.pszName << ": " << row.strLeft;
            EXPECT_TRUE(MatchesRow(row.strRight, "　┃|??????|")) << c.pszName << ": " << row.strRight;
        }
    }
    EXPECT_TRUE(m_app.Quit(hMain));
}
