// Recording the log into a file while both devices talk.
#include <algorithm>

#include "tests/e2e/TapFixture.h"

namespace {

// Waits until the views have not grown for half a second.
void WaitQuiet(HWND hMain)
{
    for (int nRows = -1; GetListCount(hMain, ID_LEFT_VIEW) != nRows; Sleep(500))
        nRows = GetListCount(hMain, ID_LEFT_VIEW);
}

}  // namespace

class RecordTest : public CTapFixture
{
};

TEST_F(RecordTest, TheFileHoldsTheExportsRowsBetweenItsMarkersWhenStartedFromTheCommandLineOrTheMenu)
{
    CDevicePort host(3), instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    char szTemp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, szTemp);
    const std::string strPath = std::string(szTemp) + "taplinar-record-e2e.txt";
    const std::string strEarlier = "an earlier recording\r\n";
    ASSERT_TRUE(WriteFileBytes(strPath, strEarlier));
    ASSERT_TRUE(m_app.Start(GetProgramPath(), std::string(), "/record \"" + strPath + "\""));
    HWND hMain = m_app.ConfirmPorts();
    ASSERT_NE(nullptr, hMain);
    // Both devices talk, in blocks long enough to be abbreviated in the views.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(host.Write("REQ " + std::string(i * 10, '*') + "\r\n"));
        Sleep(150);
        ASSERT_TRUE(instrument.Write("ANS " + std::to_string(i) + "\r\n"));
    }
    WaitQuiet(hMain);
    ASSERT_TRUE(m_app.SendCommand(hMain, CMD_RECORD)) << "choosing the item again stops the recording";
    const std::string strExport = m_app.GetWorkDir() + "\\export.txt";
    ASSERT_EQ("保存しました。", m_app.ExportLog(hMain, strExport));
    const std::string strFile = ReadFileBytes(strPath);
    DeleteFileA(strPath.c_str());
    ASSERT_EQ(strEarlier, strFile.substr(0, strEarlier.size())) << "appended to";
    const std::vector<std::string> lines = SplitLines(strFile.substr(strEarlier.size()));
    ASSERT_GT(lines.size(), 40u);
    EXPECT_TRUE(IsMarkerLine(lines.front(), "Record")) << lines.front();
    EXPECT_TRUE(IsMarkerLine(lines.back(), "Stop")) << lines.back();
    const std::vector<std::string> recorded(lines.begin() + 1, lines.end() - 1);
    const std::vector<std::string> exported = SplitLines(ReadFileBytes(strExport));
    // The relays' first reports of their lines may come before the recording starts.
    ASSERT_LE(recorded.size(), exported.size());
    EXPECT_LE(exported.size(), recorded.size() + 2);
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), exported.end() - recorded.size()));

    // From the menu: the save dialog offers a name of the time, and the exit completes the file.
    m_app.Command(hMain, CMD_RECORD);
    HWND hSave = m_app.WaitSaveDialog();
    char szName[MAX_PATH] = "";
    SendMessageA(GetDlgItem(hSave, 0x47C), WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(szName));
    EXPECT_TRUE(MatchesRow(szName, "taplinar-########-######.txt")) << szName;
    // Choosing the capture type puts its extension on the name offered.
    HWND hTypes = GetDlgItem(hSave, 0x470);
    EXPECT_EQ(2, SendMessageA(hTypes, CB_GETCOUNT, 0, 0));
    SendMessageA(hTypes, CB_SETCURSEL, 1, 0);
    SendMessageA(hSave, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), reinterpret_cast<LPARAM>(hTypes));
    SendMessageA(GetDlgItem(hSave, 0x47C), WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(szName));
    EXPECT_TRUE(MatchesRow(szName, "taplinar-########-######.pcapng")) << szName;
    const std::string strMenuPath = m_app.GetWorkDir() + "\\menu.txt";
    ASSERT_TRUE(m_app.FillSaveDialog(hSave, strMenuPath));
    ASSERT_TRUE(WaitWindowGone(hSave, 10000));
    ASSERT_TRUE(instrument.Write("LAST\r\n"));
    ASSERT_TRUE(WaitRows(hMain, static_cast<int>(exported.size()) + 1));
    ASSERT_TRUE(m_app.Quit(hMain));
    const std::vector<std::string> menuLines = SplitLines(ReadFileBytes(strMenuPath));
    ASSERT_EQ(3u, menuLines.size());
    EXPECT_NE(std::string::npos, menuLines[1].find(" 0000 : 4C 41 53 54 0D 0A -- --  : LAST..")) << menuLines[1];
    EXPECT_TRUE(IsMarkerLine(menuLines[2], "Stop")) << menuLines[2];
}
