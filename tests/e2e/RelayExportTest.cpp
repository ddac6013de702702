#include "tests/e2e/TapFixture.h"

namespace {

// Rows of an export, with '#' for the digits of a time column.
void ExpectRows(const std::vector<TExportRow>& rows, const std::vector<TExportRow>& patterns)
{
    ASSERT_EQ(patterns.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_TRUE(MatchesRow(rows[i].strLeft, patterns[i].strLeft))
            << "left row " << i << ": \"" << rows[i].strLeft << "\"";
        EXPECT_TRUE(MatchesRow(rows[i].strRight, patterns[i].strRight))
            << "right row " << i << ": \"" << rows[i].strRight << "\"";
    }
}

}  // namespace

class RelayExportTest : public CTapFixture
{
};

TEST_F(RelayExportTest, BytesCrossBothWaysAndTheExportHoldsBothSidesRowForRow)
{
    CDevicePort host(3);
    CDevicePort instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    host.Drain();
    instrument.Drain();
    HWND hMain = StartAndOpen();
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, 2));

    ASSERT_TRUE(host.Write("HELLO 123\r\n"));
    EXPECT_EQ("HELLO 123\r\n", instrument.Read(11, 10000));
    ASSERT_TRUE(instrument.Write("OK\r\n"));
    EXPECT_EQ("OK\r\n", host.Read(4, 10000));
    EXPECT_EQ("", instrument.Read(1, 300)) << "nothing is echoed or sent twice";
    EXPECT_EQ("", host.Read(1, 300));
    ASSERT_TRUE(WaitRows(hMain, 5));

    std::string strPath = m_app.GetWorkDir() + "\\export.txt";
    ASSERT_EQ("保存しました。", m_app.ExportLog(hMain, strPath));
    std::string strFile = ReadFileBytes(strPath);
    std::vector<std::string> lines = SplitLines(strFile);
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(std::string(OPEN_ROW) + std::string(54, ' ') + "," + OPEN_ROW, lines[0]);
    EXPECT_EQ(std::string(LINE_OFF) + std::string(65, ' ') + "," + LINE_OFF, lines[1]);
    EXPECT_EQ("\r\n", strFile.substr(strFile.size() - 2));

    bool bOk = false;
    std::vector<TExportRow> rows = ParseExport(strFile, &bOk);
    EXPECT_TRUE(bOk);
    ExpectRows(rows, {
        {OPEN_ROW, OPEN_ROW},
        {LINE_OFF, LINE_OFF},
        {"　┃|------| 0000 : 48 45 4C 4C 4F 20 31 32  : HELLO 12", "　┃|------|"},
        {"　┃|      | 0008 : 33 0D 0A -- -- -- -- --  : 3..", "　┃|      |"},
        {"　┃|######|", "　┃|######| 0000 : 4F 4B 0D 0A -- -- -- --  : OK.."},
    });
    ASSERT_EQ(5u, rows.size());
    EXPECT_EQ(rows[4].strLeft.substr(5, 7), rows[4].strRight.substr(5, 7)) << "one moment, one time column";

    std::string strMissing = m_app.GetWorkDir() + "\\no-such-folder\\export.txt";
    EXPECT_EQ("保存に失敗しました。", m_app.ExportLog(hMain, strMissing));
    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_TRUE(m_app.Quit(hMain));
}
