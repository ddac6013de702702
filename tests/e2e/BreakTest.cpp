#include "tests/e2e/TapFixture.h"

#include <cstdlib>

namespace {

// The null-modem cable's shared file (tools/nullmodem.py), as with_ports.sh connects
// it: slot 0 joins COM1 and COM3, slot 1 COM2 and COM4, the program's port first.
// A device injects line errors into its own end's counts; the program's COM2 end
// tells where its breaks fell among the bytes it wrote.
class CCable
{
public:
    enum EField { BRK = 20, FRAME = 24, PARITY = 28, OVERRUN = 32, TX = 40, BRK_TX = 44, BRK_US = 48 };
    // A 32-byte header, then 64 bytes an end.
    static const DWORD HOST_END = 32 + 1 * 64;    // slot 0, end 1: COM3
    static const DWORD PORT2_END = 32 + 2 * 64;   // slot 1, end 0: COM2

    CCable()
    {
        const char* pszPath = getenv("TAPLINAR_NULL_MODEM");
        std::string strPath = "Z:" + std::string(pszPath != nullptr ? pszPath : "/nonexistent");
        for (char& c : strPath)
            c = c == '/' ? '\\' : c;
        m_hFile = CreateFileA(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~CCable() { CloseHandle(m_hFile); }
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    DWORD Get(DWORD dwEnd, EField field) const
    {
        DWORD dwValue = 0, dwDone = 0;
        OVERLAPPED at = {};
        at.Offset = dwEnd + field;
        ReadFile(m_hFile, &dwValue, sizeof(dwValue), &dwDone, &at);
        return dwValue;
    }
    // Counts one more of nCount neighbouring counts at once, as one event on the line.
    void Bump(DWORD dwEnd, EField first, int nCount = 1) const
    {
        DWORD values[2] = {}, dwDone = 0;
        for (int i = 0; i < nCount; ++i)
            values[i] = Get(dwEnd, static_cast<EField>(first + 4 * i)) + 1;
        OVERLAPPED at = {};
        at.Offset = dwEnd + first;
        WriteFile(m_hFile, values, 4 * nCount, &dwDone, &at);
    }

private:
    HANDLE m_hFile;
};

}  // namespace

class BreakTest : public CTapFixture
{
};

// What a device makes besides bytes reaches the other device as it was made: a break as
// a break (never a 0x00 in its place) between the bytes around it. Each break and error
// is a row of the port that saw it, after the bytes received before it; under Wine every
// error kind reads as "Line error" (the driver gives no error bits).
TEST_F(BreakTest, BreaksReachTheOtherDeviceInPlaceAndBreaksAndErrorsAreRowsOfTheirPort)
{
    CDevicePort host(3);
    CDevicePort instrument(4);
    CCable cable;
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen() && cable.IsOpen());
    HWND hMain = StartAndOpen();
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));
    // A held break goes through the device's SetCommBreak; an error, or a break with a
    // framing error, is counted on the cable.
    const struct {
        const char* pszName;
        bool bHeld;
        CCable::EField eCount;
        int nCounts;
        std::vector<std::string> rows;
    } cases[] = {
        {"break between two bursts", true, CCable::BRK, 0, {"41 42 ", "BREAK", "43 44 "}},
        {"framing error", false, CCable::FRAME, 1, {"41 42 ", "Line error", "43 44 "}},
        {"parity error", false, CCable::PARITY, 1, {"41 42 ", "Line error", "43 44 "}},
        {"overrun", false, CCable::OVERRUN, 1, {"41 42 ", "Line error", "43 44 "}},
        {"break and error together", false, CCable::BRK, 2, {"41 42 ", "BREAK", "Line error", "43 44 "}},
    };
    std::string strSent;
    int nRows = START_ROWS;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const bool bBreak = c.rows[1] == "BREAK";
        DWORD dwBreaks = cable.Get(CCable::PORT2_END, CCable::BRK);
        ASSERT_TRUE(host.Write("AB"));
        strSent += "AB";
        if (c.bHeld)
            ASSERT_TRUE(host.HoldBreak(true));
        else
            cable.Bump(CCable::HOST_END, c.eCount, c.nCounts);
        EXPECT_EQ("AB", instrument.Read(2, 5000));
        ASSERT_TRUE(WaitRows(hMain, nRows += static_cast<int>(c.rows.size()) - 1));
        if (bBreak) {
            EXPECT_TRUE(WaitUntil([&] { return cable.Get(CCable::PORT2_END, CCable::BRK) == dwBreaks + 1; }, 5000));
            EXPECT_EQ(strSent.size(), cable.Get(CCable::PORT2_END, CCable::BRK_TX)) << "bytes before the break";
        }
        if (c.bHeld)
            ASSERT_TRUE(host.HoldBreak(false));
        ASSERT_TRUE(host.Write("CD"));
        strSent += "CD";
        EXPECT_EQ("CD", instrument.Read(2, 5000)) << "no 0x00 for the break, the bytes after it after it";
        ASSERT_TRUE(WaitRows(hMain, ++nRows));
        if (bBreak) {
            DWORD dwLength = cable.Get(CCable::PORT2_END, CCable::BRK_US);
            EXPECT_TRUE(dwLength >= 2000 && dwLength < 5000000) << dwLength << " us";
        }
    }
    EXPECT_EQ(strSent.size(), cable.Get(CCable::PORT2_END, CCable::TX)) << "nothing but the bursts went out";

    std::vector<TExportRow> rows = ExportRows(hMain);
    ASSERT_EQ(static_cast<size_t>(nRows), rows.size()) << DescribeRows(rows);
    size_t nAt = START_ROWS;
    for (const auto& c : cases) {
        for (const std::string& strText : c.rows) {
            const TExportRow& row = rows[nAt++];
            EXPECT_TRUE(MatchesRow(row.strLeft.substr(0, 12), "　┃|??????|") && row.strLeft.find(" " + strText) != std::string::npos)
                << c.pszName << ": " << row.strLeft;
            EXPECT_TRUE(MatchesRow(row.strRight, "　┃|??????|")) << c.pszName << ": " << row.strRight;
        }
    }
    EXPECT_TRUE(m_app.Quit(hMain));
}
