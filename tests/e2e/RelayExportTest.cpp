#include <cstring>

#include "tests/e2e/TapFixture.h"

namespace {

// Rows of an export, with '#' for the digits of a time column.
void ExpectRows(const std::vector<TExportRow>& rows, const std::vector<TExportRow>& patterns)
{
    ASSERT_EQ(patterns.size(), rows.size()) << DescribeRows(rows);
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
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));
    // The headers name each port; a pty has no modem lines, so the peer's DTR reads high.
    EXPECT_EQ(" L H     <\\\\.\\COM1>        DTR(HI)", GetText(GetDlgItem(hMain, ID_LEFT_HEADER)));
    EXPECT_EQ(" L H     <\\\\.\\COM2>        DTR(HI)", GetText(GetDlgItem(hMain, ID_RIGHT_HEADER)));

    ASSERT_TRUE(host.Write("HELLO 123\r\n"));
    EXPECT_EQ("HELLO 123\r\n", instrument.Read(11, 10000));
    // Each port's bytes reach the log through its own event thread, which may lag the
    // wire by several bytes on a busy machine; an answer given at once would be logged
    // interleaved with the request. The instrument answers once the request is logged.
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 2));
    ASSERT_TRUE(instrument.Write("OK\r\n"));
    EXPECT_EQ("OK\r\n", host.Read(4, 10000));
    EXPECT_EQ("", instrument.Read(1, 300)) << "nothing is echoed or sent twice";
    EXPECT_EQ("", host.Read(1, 300));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 3));

    std::string strPath = m_app.GetWorkDir() + "\\export.txt";
    ASSERT_EQ("保存しました。", m_app.ExportLog(hMain, strPath));
    std::string strFile = ReadFileBytes(strPath);
    std::vector<std::string> lines = SplitLines(strFile);
    ASSERT_EQ(START_ROWS + 3, lines.size()) << strFile;
    EXPECT_EQ("\r\n", strFile.substr(strFile.size() - 2));
    // The padding written out: a short left row is filled to 70 bytes, the comma is byte 71.
    size_t nOpen = 0;
    while (nOpen < START_ROWS && lines[nOpen].compare(0, strlen(OPEN_ROW), OPEN_ROW) != 0) {
        ++nOpen;
    }
    ASSERT_LT(nOpen + 1, START_ROWS);
    EXPECT_EQ(std::string(OPEN_ROW) + std::string(54, ' ') + "," + OPEN_ROW, lines[nOpen]);
    EXPECT_EQ(std::string(LINE_OFF) + std::string(65, ' ') + "," + LINE_OFF, lines[nOpen + 1]);

    bool bOk = false;
    std::vector<TExportRow> rows = ParseExport(strFile, &bOk);
    EXPECT_TRUE(bOk);
    ExpectStartRows(rows);
    ExpectRows(std::vector<TExportRow>(rows.begin() + START_ROWS, rows.end()), {
        {"　┃|------| 0000 : 48 45 4C 4C 4F 20 31 32  : HELLO 12", "　┃|------|"},
        {"　┃|      | 0008 : 33 0D 0A -- -- -- -- --  : 3..", "　┃|      |"},
        {"　┃|######|", "　┃|######| 0000 : 4F 4B 0D 0A -- -- -- --  : OK.."},
    });
    const TExportRow& answer = rows.back();
    EXPECT_EQ(answer.strLeft.substr(5, 7), answer.strRight.substr(5, 7)) << "one moment, one time column";

    std::string strMissing = m_app.GetWorkDir() + "\\no-such-folder\\export.txt";
    EXPECT_EQ("保存に失敗しました。", m_app.ExportLog(hMain, strMissing));
    EXPECT_TRUE(m_app.IsRunning());

    // Cancelling the port settings later leaves the open ports relaying.
    m_app.Command(hMain, CMD_PORT_SETTING);
    HWND hDlg = m_app.WaitDialog(PORT_DIALOG);
    ASSERT_NE(nullptr, hDlg);
    m_app.ClickButton(hDlg, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(hDlg, 10000));
    ASSERT_TRUE(host.Write("AGAIN"));
    EXPECT_EQ("AGAIN", instrument.Read(5, 10000));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 4));

    // Confirming them reopens both ports: a new marker, and the lines, which did not
    // change, are not reported again.
    m_app.Command(hMain, CMD_PORT_SETTING);
    hDlg = m_app.WaitDialog(PORT_DIALOG);
    ASSERT_NE(nullptr, hDlg);
    m_app.ClickButton(hDlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(hDlg, 10000));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 6));
    ASSERT_TRUE(instrument.Write("BACK"));
    EXPECT_EQ("BACK", host.Read(4, 10000));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 7));
    std::vector<TExportRow> reopened = ExportRows(hMain);
    ASSERT_EQ(START_ROWS + 7, reopened.size()) << DescribeRows(reopened);
    ExpectRows(std::vector<TExportRow>(reopened.begin() + START_ROWS + 3, reopened.end()), {
        {"　┃|######| 0000 : 41 47 41 49 4E -- -- --  : AGAIN", "　┃|######|"},
        {OPEN_ROW, OPEN_ROW},
        {LINE_OFF, LINE_OFF},
        {"　┃|------|", "　┃|------| 0000 : 42 41 43 4B -- -- -- --  : BACK"},
    });
    EXPECT_TRUE(m_app.Quit(hMain));
}
