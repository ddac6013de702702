#include "tests/e2e/TapFixture.h"

namespace {

// Last write time of a file, 0 when it cannot be read.
ULONGLONG GetWriteTime(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

const int ID_DATA_WIDTH = 1010;
const int ID_DATA_VIEW = 1011;
const int ID_SIGNAL_MODE = 1014;

}  // namespace

class ViewMenuTest : public CTapFixture
{
protected:
    HWND OpenLogSettings(HWND hMain)
    {
        m_app.Command(hMain, CMD_LOG_SETTING);
        HWND hDlg = m_app.WaitDialog(LOG_DIALOG);
        EXPECT_NE(nullptr, hDlg);
        return hDlg;
    }

    bool Close(HWND hDlg, int nButton)
    {
        m_app.ClickButton(hDlg, nButton);
        return WaitWindowGone(hDlg, 10000);
    }
};

TEST_F(ViewMenuTest, MonitorSwitchAndLogSettingsShapeTheLog)
{
    CDevicePort host(3);
    CDevicePort instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    host.Drain();
    instrument.Drain();
    HWND hMain = StartAndOpen();
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));

    // The menu of another process cannot be read under Wine, so the check mark is left to
    // the in-process tests; here the switch shows in the log.
    // Off: one empty row in both views; bytes still cross but are not logged.
    ASSERT_TRUE(m_app.SendCommand(hMain, CMD_MONITOR));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 1));
    ASSERT_TRUE(host.Write("OFF"));
    EXPECT_EQ("OFF", instrument.Read(3, 10000));
    Sleep(500);
    EXPECT_EQ(static_cast<int>(START_ROWS + 1), GetListCount(hMain, ID_LEFT_VIEW));
    EXPECT_EQ(static_cast<int>(START_ROWS + 1), GetListCount(hMain, ID_RIGHT_VIEW));

    // On again: the next traffic has no time to refer to.
    ASSERT_TRUE(m_app.SendCommand(hMain, CMD_MONITOR));
    ASSERT_TRUE(host.Write("ON"));
    EXPECT_EQ("ON", instrument.Read(2, 10000));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 2));

    // A fresh installation shows 8 bytes a row; choosing 16 stores position 0.
    HWND hDlg = OpenLogSettings(hMain);
    ASSERT_NE(nullptr, hDlg);
    EXPECT_EQ("8", GetComboText(hDlg, ID_DATA_WIDTH));
    EXPECT_EQ("HEX表示（省略有り）", GetComboText(hDlg, ID_DATA_VIEW));
    EXPECT_EQ("表示あり", GetComboText(hDlg, ID_SIGNAL_MODE));
    ASSERT_TRUE(SelectComboItem(hDlg, ID_DATA_WIDTH, 0));
    ASSERT_TRUE(Close(hDlg, IDOK));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 3));
    std::string strIni = m_app.ReadIni();
    std::vector<std::string> logSetting = {"data-width=0", "data-view-type=0", "signal-mode=0"};
    EXPECT_EQ(logSetting, GetIniSection(strIni, "log-setting"));
    ULONGLONG nWritten = GetWriteTime(m_app.GetIniPath());
    ASSERT_NE(0u, nWritten);

    // Cancel stores nothing, whatever was chosen.
    hDlg = OpenLogSettings(hMain);
    ASSERT_NE(nullptr, hDlg);
    EXPECT_EQ("16", GetComboText(hDlg, ID_DATA_WIDTH));
    ASSERT_TRUE(SelectComboItem(hDlg, ID_DATA_WIDTH, 1));
    ASSERT_TRUE(SelectComboItem(hDlg, ID_DATA_VIEW, 1));
    ASSERT_TRUE(SelectComboItem(hDlg, ID_SIGNAL_MODE, 1));
    ASSERT_TRUE(Close(hDlg, IDCANCEL));
    Sleep(300);
    EXPECT_EQ(strIni, m_app.ReadIni());
    EXPECT_EQ(nWritten, GetWriteTime(m_app.GetIniPath())) << "Cancel does not touch the file";
    EXPECT_EQ(static_cast<int>(START_ROWS + 3), GetListCount(hMain, ID_LEFT_VIEW)) << "a cancelled dialog applies nothing";

    // OK without changes rewrites nothing.
    hDlg = OpenLogSettings(hMain);
    ASSERT_NE(nullptr, hDlg);
    ASSERT_TRUE(Close(hDlg, IDOK));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 4));
    EXPECT_EQ(strIni, m_app.ReadIni());
    EXPECT_EQ(nWritten, GetWriteTime(m_app.GetIniPath())) << "confirming unchanged values leaves the file alone";

    ASSERT_TRUE(host.Write("0123456789ABCDEFGHIJ"));
    EXPECT_EQ("0123456789ABCDEFGHIJ", instrument.Read(20, 10000));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 6));

    std::vector<TExportRow> rows = ExportRows(hMain);
    ASSERT_EQ(START_ROWS + 6, rows.size()) << DescribeRows(rows);
    ExpectStartRows(rows);
    std::vector<TExportRow> after(rows.begin() + START_ROWS, rows.end());
    EXPECT_EQ("", after[0].strLeft);
    EXPECT_EQ("", after[0].strRight);
    EXPECT_EQ("　┃|------| 0000 : 4F 4E -- -- -- -- -- --  : ON", after[1].strLeft);
    EXPECT_EQ("　┃|------|", after[1].strRight);
    for (size_t i = 2; i <= 3; ++i) {
        EXPECT_EQ(LINE_OFF, after[i].strLeft) << "signal columns restated, row " << i;
        EXPECT_EQ(LINE_OFF, after[i].strRight) << "signal columns restated, row " << i;
    }
    EXPECT_TRUE(MatchesRow(after[4].strLeft,
                           "　┃|######| 0000 : 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46  : 0123456789ABCDEF"))
        << after[4].strLeft;
    EXPECT_TRUE(MatchesRow(after[4].strRight, "　┃|######|")) << after[4].strRight;
    EXPECT_EQ("　┃|      | 0010 : 47 48 49 4A -- -- -- -- -- -- -- -- -- -- -- --  : GHIJ", after[5].strLeft);
    EXPECT_EQ("　┃|      |", after[5].strRight);

    // Clearing empties both views; the next traffic again has no time to refer to.
    ASSERT_TRUE(m_app.SendCommand(hMain, CMD_LOG_CLEAR));
    EXPECT_EQ(0, GetListCount(hMain, ID_LEFT_VIEW));
    EXPECT_EQ(0, GetListCount(hMain, ID_RIGHT_VIEW));
    ASSERT_TRUE(instrument.Write("Z"));
    EXPECT_EQ("Z", host.Read(1, 10000));
    ASSERT_TRUE(WaitRows(hMain, 1));
    rows = ExportRows(hMain);
    ASSERT_EQ(1u, rows.size()) << DescribeRows(rows);
    EXPECT_EQ("　┃|------|", rows[0].strLeft);
    EXPECT_EQ("　┃|------| 0000 : 5A -- -- -- -- -- -- -- -- -- -- -- -- -- -- --  : Z", rows[0].strRight);
    EXPECT_TRUE(m_app.Quit(hMain));
}
