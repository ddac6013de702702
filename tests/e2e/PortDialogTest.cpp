#include <cstdio>

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

// A COM port that the device manager lists but that has no device behind it, as when an
// adapter was unplugged. (Wine does not refuse a second open of a COM port, so a port
// held by another process would open.) Registered for the life of the object.
class CVanishedPort
{
public:
    explicit CVanishedPort(int nPort)
    {
        snprintf(m_szKey, sizeof(m_szKey), "System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%04d", nPort);
        char szDriver[64];
        snprintf(szDriver, sizeof(szDriver), "{4d36e978-e325-11ce-bfc1-08002be10318}\\%04d", nPort);
        char szName[16];
        snprintf(szName, sizeof(szName), "COM%d", nPort);
        static const char HARDWARE_ID[] = "USB\\VID_1A86&PID_7523\0";
        m_bOk = SetText(m_szKey, "Driver", szDriver) && SetText(m_szKey, "DeviceDesc", "Unplugged adapter") &&
                SetText(m_szKey, "Mfg", "Taplinar test devices") && SetText(m_szKey, "Class", "Ports") &&
                SetText(m_szKey, "ClassGUID", "{4d36e978-e325-11ce-bfc1-08002be10318}") &&
                SetValue(m_szKey, "HardwareID", REG_MULTI_SZ, HARDWARE_ID, sizeof(HARDWARE_ID)) &&
                SetText((std::string(m_szKey) + "\\Device Parameters").c_str(), "PortName", szName);
    }

    ~CVanishedPort() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, m_szKey); }

    bool IsRegistered() const { return m_bOk; }

private:
    static bool SetValue(const char* pszKey, const char* pszName, DWORD dwType, const void* pData, DWORD dwSize)
    {
        HKEY hKey = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) !=
            ERROR_SUCCESS) {
            return false;
        }
        LONG nResult = RegSetValueExA(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), dwSize);
        RegCloseKey(hKey);
        return nResult == ERROR_SUCCESS;
    }

    static bool SetText(const char* pszKey, const char* pszName, const char* pszText)
    {
        return SetValue(pszKey, pszName, REG_SZ, pszText, static_cast<DWORD>(strlen(pszText) + 1));
    }

    char m_szKey[128];
    bool m_bOk;
};

// Selects the entry of a port list whose item data is the port number.
bool SelectPort(HWND hDlg, int nId, int nPort)
{
    HWND hCombo = GetDlgItem(hDlg, nId);
    int nCount = static_cast<int>(SendMessageA(hCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i) {
        if (SendMessageA(hCombo, CB_GETITEMDATA, i, 0) == nPort) {
            return SelectComboItem(hDlg, nId, i);
        }
    }
    return false;
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
    CVanishedPort vanished(37);
    ASSERT_TRUE(vanished.IsRegistered());
    HWND hDlg = StartToPortDialog();
    ASSERT_NE(nullptr, hDlg);
    ASSERT_TRUE(SelectPort(hDlg, ID_PORT2, 37)) << "the unplugged port is listed";
    EXPECT_EQ("COM37", GetComboText(hDlg, ID_PORT2));
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

    ASSERT_TRUE(SelectPort(hDlg, ID_PORT2, 2));
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
    // Not maximised, so the window's rectangle is its normal one.
    RECT rc;
    ASSERT_TRUE(GetWindowRect(hMain, &rc));
    ASSERT_TRUE(m_app.Quit(hMain));

    std::string strIni = m_app.ReadIni();
    std::vector<std::string> sections = {"setting", "log-setting", "main-dlg"};
    EXPECT_EQ(sections, GetIniSectionNames(strIni));
    EXPECT_EQ(setting, GetIniSection(strIni, "setting"));
    std::vector<std::string> logSetting = {"data-width=1", "data-view-type=0", "signal-mode=0"};
    EXPECT_EQ(logSetting, GetIniSection(strIni, "log-setting"));
    // "Show" is the window's visibility when it is destroyed, after the dialog has ended.
    std::vector<std::string> placement = {"Valid=1",
                                          "SX=" + Decimal(rc.left),
                                          "SY=" + Decimal(rc.top),
                                          "EX=" + Decimal(rc.right),
                                          "EY=" + Decimal(rc.bottom),
                                          "Show=#",
                                          "Maximize=0"};
    ExpectIniSection(strIni, "main-dlg", placement);
}
