#include <memory>

#include "tests/e2e/TapFixture.h"

namespace {

const int ID_PORT1 = 1004;
const int ID_PORT2 = 1005;
const int ID_SPEED = 1006;
const int ID_PARITY = 1007;
const int ID_STOPBIT = 1008;
const int ID_DATA = 1009;
const int ID_FLOW = 1013;

bool FileExists(const std::string& strPath)
{
    return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Decimal(LONG nValue)
{
    return std::to_string(nValue);
}

}  // namespace

class PortDialogTest : public CTapFixture
{
};

TEST_F(PortDialogTest, FirstRunSelectsTheDefaultsAndCancellingEndsWithoutAQuestion)
{
    HWND hDlg = StartToPortDialog();
    ASSERT_NE(nullptr, hDlg);

    EXPECT_EQ("COM1", GetComboText(hDlg, ID_PORT1));
    EXPECT_EQ("COM2", GetComboText(hDlg, ID_PORT2));
    EXPECT_EQ("4800", GetComboText(hDlg, ID_SPEED));
    EXPECT_EQ("なし", GetComboText(hDlg, ID_PARITY));
    EXPECT_EQ("1 bit", GetComboText(hDlg, ID_STOPBIT));
    EXPECT_EQ("8 bit", GetComboText(hDlg, ID_DATA));
    EXPECT_EQ("なし", GetComboText(hDlg, ID_FLOW));
    EXPECT_EQ(0, GetComboSelection(hDlg, ID_SPEED));
    EXPECT_EQ(0, GetComboSelection(hDlg, ID_FLOW));

    m_app.ClickButton(hDlg, IDCANCEL);
    EXPECT_FALSE(MessageBoxAppears(3000)) << "cancelling at start-up must not ask";
    EXPECT_TRUE(m_app.WaitExit(20000));
    EXPECT_TRUE(GetIniSection(m_app.ReadIni(), "setting").empty()) << "nothing is stored on Cancel";
}

TEST_F(PortDialogTest, SettingsAreStoredOnlyOnceBothPortsOpenAndTheFileHoldsAllThreeSections)
{
    // Another process holds COM2, as a terminal program left open would.
    std::unique_ptr<CDevicePort> pHolder(new CDevicePort(2));
    ASSERT_TRUE(pHolder->IsOpen());
    HWND hDlg = StartToPortDialog();
    ASSERT_NE(nullptr, hDlg);
    ASSERT_TRUE(SelectComboItem(hDlg, ID_SPEED, 5));
    EXPECT_EQ("115200", GetComboText(hDlg, ID_SPEED));

    m_app.ClickButton(hDlg, IDOK);
    HWND hBox = m_app.WaitMessageBox();
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ("指定のポート２はオープンできませんでした。", GetMessageText(hBox));
    m_app.ClickButton(hBox, IDOK);
    ASSERT_TRUE(WaitWindowGone(hBox, 10000));
    EXPECT_FALSE(MessageBoxAppears(1500)) << "only the port that failed is reported";
    EXPECT_TRUE(IsWindowVisible(hDlg)) << "the dialog stays for another try";
    EXPECT_FALSE(FileExists(m_app.GetIniPath())) << "nothing is stored while a port fails";

    pHolder.reset();
    m_app.ClickButton(hDlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(hDlg, 20000));
    HWND hMain = m_app.WaitMainWindow();
    ASSERT_NE(nullptr, hMain);
    std::vector<std::string> setting = {"port1=1", "port2=2", "speed=5", "parity=0",
                                        "stopbit=0", "data=0", "flow=0"};
    EXPECT_EQ(setting, GetIniSection(m_app.ReadIni(), "setting"));

    // Log settings confirmed once, then the window closed: the file of a first session.
    m_app.Command(hMain, CMD_LOG_SETTING);
    HWND hLog = m_app.WaitDialog(LOG_DIALOG);
    ASSERT_NE(nullptr, hLog);
    m_app.ClickButton(hLog, IDOK);
    ASSERT_TRUE(WaitWindowGone(hLog, 10000));
    WINDOWPLACEMENT wp = {sizeof(wp)};
    ASSERT_TRUE(GetWindowPlacement(hMain, &wp));
    ASSERT_TRUE(m_app.Quit(hMain));

    std::string strIni = m_app.ReadIni();
    std::vector<std::string> sections = {"setting", "log-setting", "main-dlg"};
    EXPECT_EQ(sections, GetIniSectionNames(strIni));
    EXPECT_EQ(setting, GetIniSection(strIni, "setting"));
    std::vector<std::string> logSetting = {"data-width=1", "data-view-type=0", "signal-mode=0"};
    EXPECT_EQ(logSetting, GetIniSection(strIni, "log-setting"));
    const RECT& rc = wp.rcNormalPosition;
    std::vector<std::string> placement = {"Valid=1",
                                          "SX=" + Decimal(rc.left),
                                          "SY=" + Decimal(rc.top),
                                          "EX=" + Decimal(rc.right),
                                          "EY=" + Decimal(rc.bottom),
                                          "Show=1",
                                          "Maximize=0"};
    EXPECT_EQ(placement, GetIniSection(strIni, "main-dlg"));
}
