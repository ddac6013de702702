#include "settings/PortSettingDlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/settings/DialogTestKit.h"
#include "tests/sim/SimPortPair.h"

namespace {

typedef std::vector<std::string> TTexts;

ZEV::TComPortInfo MakePort(WORD nPort, const char* pszDescription, const char* pszMaker) {
    ZEV::TComPortInfo info;
    info.m_nPort = nPort;
    info.m_strDescription = pszDescription;
    info.m_strManufacturer = pszMaker;
    return info;
}

// The dialog with the ports present given by the test instead of the system's.
class CTestPortSettingDlg : public CPortSettingDlg {
public:
    ZEV::TComPortList m_ports;

    CComPortCombo& Port1() { return m_cbPort1; }
    CComPortCombo& Port2() { return m_cbPort2; }

protected:
    ZEV::TComPortList EnumeratePorts() override { return m_ports; }
};

class PortSettingDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim.Install();
        m_dlg.m_pPort1 = &m_port1;
        m_dlg.m_pPort2 = &m_port2;
        m_dlg.m_ports = {MakePort(1, "USB シリアル", "Kestrel"), MakePort(2, "Modem 2", "Modem"),
                         MakePort(3, "Bluetooth link", "")};
    }

    void TearDown() override {
        m_dlg.DestroyWindow();
        m_port1.Close();
        m_port2.Close();
    }

    HWND Open() {
        EXPECT_TRUE(m_dlg.Create(IDD_PORT_SETTING));
        return m_dlg.m_hWnd;
    }

    // One confirmed run of the dialog with these list positions.
    void Confirm(int nPort1, int nPort2, int nSpeed) {
        HWND hDlg = Open();
        ChooseItem(hDlg, IDC_PORT1, nPort1);
        ChooseItem(hDlg, IDC_PORT2, nPort2);
        ChooseItem(hDlg, IDC_SPEED, nSpeed);
        ClickButton(hDlg, IDOK);
        m_dlg.DestroyWindow();
    }

    CDefaultIniGuard m_ini;
    CSimPortPair m_sim;  // devices on COM1 and COM2; COM3 is listed but absent
    CLineRelay m_port1;
    CLineRelay m_port2;
    CTestPortSettingDlg m_dlg;
    CMessageBoxCatcher m_boxes;
};

const char PORT1_FAILED[] = "指定のポート１はオープンできませんでした。";
const char PORT2_FAILED[] = "指定のポート２はオープンできませんでした。";

}  // namespace

TEST_F(PortSettingDlgTest, FirstRunSelectsFirstTwoPortsAndTheFirstOfEachList) {
    HWND hDlg = Open();
    EXPECT_EQ((TTexts{"COM1", "COM2", "COM3"}), GetItems(hDlg, IDC_PORT1));
    EXPECT_EQ((TTexts{"COM1", "COM2", "COM3"}), GetItems(hDlg, IDC_PORT2));
    EXPECT_EQ("COM1", GetSelectedText(hDlg, IDC_PORT1));
    EXPECT_EQ("COM2", GetSelectedText(hDlg, IDC_PORT2));

    EXPECT_EQ((TTexts{"4800", "9600", "19200", "38400", "57600", "115200", "230400", "460800",
                      "921600"}),
              GetItems(hDlg, IDC_SPEED));
    EXPECT_EQ((TTexts{"なし", "奇数", "偶数"}), GetItems(hDlg, IDC_PARITY));
    EXPECT_EQ((TTexts{"1 bit", "1.5 bit", "2 bit"}), GetItems(hDlg, IDC_STOPBIT));
    EXPECT_EQ((TTexts{"8 bit", "7 bit"}), GetItems(hDlg, IDC_DATABIT));
    EXPECT_EQ((TTexts{"なし", "あり"}), GetItems(hDlg, IDC_FLOW));
    EXPECT_EQ("4800", GetSelectedText(hDlg, IDC_SPEED));
    EXPECT_EQ("\x82\xc8\x82\xb5", GetSelectedText(hDlg, IDC_PARITY));  // なし
    EXPECT_EQ("1 bit", GetSelectedText(hDlg, IDC_STOPBIT));
    EXPECT_EQ("8 bit", GetSelectedText(hDlg, IDC_DATABIT));
    EXPECT_EQ("なし", GetSelectedText(hDlg, IDC_FLOW));

    EXPECT_EQ("Kestrel USB シリアル (COM1)",
              GetToolTipText(m_dlg.Port1().GetToolTipWindow(), m_dlg.Port1().m_hWnd));
    EXPECT_EQ("Modem 2 (COM2)",
              GetToolTipText(m_dlg.Port2().GetToolTipWindow(), m_dlg.Port2().m_hWnd));
    EXPECT_FALSE(m_ini.Exists());
}

TEST_F(PortSettingDlgTest, StoredChoicesAreSelectedAndBadOnesFallBack) {
    m_ini.WriteBytes("[setting]\r\nport1=3\r\nport2=1\r\nspeed=5\r\nparity=2\r\nstopbit=1\r\n"
                     "data=1\r\nflow=1\r\n");
    HWND hDlg = Open();
    EXPECT_EQ("COM3", GetSelectedText(hDlg, IDC_PORT1));
    EXPECT_EQ("COM1", GetSelectedText(hDlg, IDC_PORT2));
    EXPECT_EQ("115200", GetSelectedText(hDlg, IDC_SPEED));
    EXPECT_EQ("偶数", GetSelectedText(hDlg, IDC_PARITY));
    EXPECT_EQ("1.5 bit", GetSelectedText(hDlg, IDC_STOPBIT));
    EXPECT_EQ("7 bit", GetSelectedText(hDlg, IDC_DATABIT));
    EXPECT_EQ("あり", GetSelectedText(hDlg, IDC_FLOW));
    EXPECT_EQ("Bluetooth link (COM3)",
              GetToolTipText(m_dlg.Port1().GetToolTipWindow(), m_dlg.Port1().m_hWnd));
    m_dlg.DestroyWindow();

    // Vanished ports keep the first entry; positions past the end select
    // nothing; unreadable text reads as 0 and empty text as the default.
    m_ini.WriteBytes("[setting]\r\nport1=7\r\nport2=12\r\nspeed=9\r\nparity=abc\r\nstopbit=\r\n"
                     "data=4294967295\r\n");
    hDlg = Open();
    EXPECT_EQ("COM1", GetSelectedText(hDlg, IDC_PORT1));
    EXPECT_EQ("COM1", GetSelectedText(hDlg, IDC_PORT2));
    EXPECT_EQ(CB_ERR, GetSelection(hDlg, IDC_SPEED));
    EXPECT_EQ(0, GetSelection(hDlg, IDC_PARITY));
    EXPECT_EQ(0, GetSelection(hDlg, IDC_STOPBIT));
    EXPECT_EQ(CB_ERR, GetSelection(hDlg, IDC_DATABIT));
    EXPECT_EQ(0, GetSelection(hDlg, IDC_FLOW));
}

TEST_F(PortSettingDlgTest, OkConfiguresOpensAndStoresPositions) {
    HWND hDlg = Open();
    ChooseItem(hDlg, IDC_PORT1, 1);    // COM2
    ChooseItem(hDlg, IDC_PORT2, 0);    // COM1
    ChooseItem(hDlg, IDC_SPEED, 5);    // 115200
    ChooseItem(hDlg, IDC_PARITY, 1);   // odd
    ChooseItem(hDlg, IDC_STOPBIT, 2);  // two
    ChooseItem(hDlg, IDC_DATABIT, 1);  // 7 bit
    ChooseItem(hDlg, IDC_FLOW, 1);
    ClickButton(hDlg, IDOK);

    EXPECT_TRUE(m_boxes.GetTexts().empty());
    EXPECT_EQ(IDOK, m_dlg.m_nModalResult);
    ASSERT_TRUE(m_port1.IsOpen());
    ASSERT_TRUE(m_port2.IsOpen());
    ZEV::TPortSetting setting = m_port1.GetPortSetting();
    EXPECT_EQ("\\\\.\\COM2", setting.strPortName);
    EXPECT_EQ(115200u, setting.dwBaudRate);
    EXPECT_EQ(7, setting.nByteSize);
    EXPECT_EQ(static_cast<DWORD>(ODDPARITY), setting.dwParity);
    EXPECT_EQ(static_cast<DWORD>(TWOSTOPBITS), setting.dwStopBits);
    EXPECT_EQ("\\\\.\\COM1", m_port2.GetPortSetting().strPortName);
    EXPECT_TRUE(m_port1.m_bCtsFlow);
    EXPECT_TRUE(m_port2.m_bCtsFlow);

    // What the drivers got: COM2 is the pair's port 1.
    DCB dcb = m_sim.GetDcb(1);
    EXPECT_EQ(115200u, dcb.BaudRate);
    EXPECT_EQ(7, dcb.ByteSize);
    EXPECT_EQ(ODDPARITY, dcb.Parity);
    EXPECT_EQ(TWOSTOPBITS, dcb.StopBits);
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_EQ(115200u, m_sim.GetDcb(0).BaudRate);

    EXPECT_EQ("[setting]\r\nport1=2\r\nport2=1\r\nspeed=5\r\nparity=1\r\nstopbit=2\r\ndata=1\r\n"
              "flow=1\r\n",
              m_ini.ReadBytes());
}

TEST_F(PortSettingDlgTest, OnlySecondPortFailingShowsOneMessageAndStoresNothing) {
    const std::string before = "[setting]\r\nport1=1\r\nport2=2\r\nspeed=0\r\n";
    m_ini.WriteBytes(before);
    const ULONGLONG ullAged = m_ini.GetWriteTime();
    m_sim.SetFault(1, CSimPortPair::SIM_ABSENT, true);

    HWND hDlg = Open();
    ChooseItem(hDlg, IDC_SPEED, 5);
    ClickButton(hDlg, IDOK);

    EXPECT_EQ((TTexts{PORT2_FAILED}), m_boxes.GetTexts());
    EXPECT_EQ(-1, m_dlg.m_nModalResult);
    EXPECT_TRUE(IsWindow(hDlg));
    EXPECT_EQ(before, m_ini.ReadBytes());
    EXPECT_EQ(ullAged, m_ini.GetWriteTime());
}

TEST_F(PortSettingDlgTest, FailedRetryReopensThePreviousPorts) {
    Confirm(0, 1, 1);  // COM1, COM2 at 9600
    ASSERT_TRUE(m_port1.IsOpen() && m_port2.IsOpen());
    const std::string stored = m_ini.ReadBytes();

    HWND hDlg = Open();
    ChooseItem(hDlg, IDC_PORT2, 2);  // COM3: nothing there
    ChooseItem(hDlg, IDC_SPEED, 2);  // 19200
    ClickButton(hDlg, IDOK);

    EXPECT_EQ((TTexts{PORT2_FAILED}), m_boxes.GetTexts());
    EXPECT_TRUE(m_port1.IsOpen());
    EXPECT_TRUE(m_port2.IsOpen());
    EXPECT_EQ("\\\\.\\COM1", m_port1.GetPortSetting().strPortName);
    EXPECT_EQ("\\\\.\\COM2", m_port2.GetPortSetting().strPortName);
    EXPECT_EQ(9600u, m_port1.GetPortSetting().dwBaudRate);
    EXPECT_EQ(9600u, m_sim.GetDcb(0).BaudRate);
    EXPECT_EQ(9600u, m_sim.GetDcb(1).BaudRate);
    EXPECT_EQ(stored, m_ini.ReadBytes());
}

TEST_F(PortSettingDlgTest, CancelTouchesNeitherPortsNorFile) {
    HWND hDlg = Open();
    ChooseItem(hDlg, IDC_SPEED, 3);
    ChooseItem(hDlg, IDC_PORT1, 2);
    ClickButton(hDlg, IDCANCEL);
    EXPECT_EQ(IDCANCEL, m_dlg.m_nModalResult);
    EXPECT_FALSE(m_port1.IsOpen());
    EXPECT_FALSE(m_port2.IsOpen());
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_OPEN));
    EXPECT_FALSE(m_ini.Exists());
}

TEST_F(PortSettingDlgTest, RefreshKeepsPresentSelectionsAndTheirToolTips) {
    HWND hDlg = Open();
    ChooseItem(hDlg, IDC_PORT1, 2);  // COM3
    CComPortCombo& port1 = m_dlg.Port1();
    EXPECT_EQ("Bluetooth link (COM3)", GetToolTipText(port1.GetToolTipWindow(), port1.m_hWnd));

    m_dlg.m_ports = {MakePort(3, "Bluetooth link", ""), MakePort(4, "PCI serial", "Acme")};
    ClickButton(hDlg, IDC_REFRESH);

    EXPECT_EQ((TTexts{"COM3", "COM4"}), GetItems(hDlg, IDC_PORT1));
    EXPECT_EQ("COM3", GetSelectedText(hDlg, IDC_PORT1));
    EXPECT_EQ("Bluetooth link (COM3)", GetToolTipText(port1.GetToolTipWindow(), port1.m_hWnd));
    // COM2 is gone: the second list falls back to its first port.
    EXPECT_EQ("COM3", GetSelectedText(hDlg, IDC_PORT2));
    EXPECT_TRUE(m_dlg.Port2().SelectPort(4));
    EXPECT_EQ("Acme PCI serial (COM4)",
              GetToolTipText(m_dlg.Port2().GetToolTipWindow(), m_dlg.Port2().m_hWnd));
}

// Both ports fail, so both messages show, the first port's first.
TEST_F(PortSettingDlgTest, NoPortPresentLeavesListsEmptyAndOkFailsOnBoth) {
    m_dlg.m_ports.clear();
    HWND hDlg = Open();
    EXPECT_EQ(0, static_cast<int>(SendDlgItemMessageA(hDlg, IDC_PORT1, CB_GETCOUNT, 0, 0)));
    EXPECT_EQ(-1, m_dlg.Port1().GetSelectedPort());
    EXPECT_EQ("一つも見つかりません",
              GetToolTipText(m_dlg.Port1().GetToolTipWindow(), m_dlg.Port1().m_hWnd));

    ClickButton(hDlg, IDOK);
    EXPECT_EQ((TTexts{PORT1_FAILED, PORT2_FAILED}), m_boxes.GetTexts());
    EXPECT_EQ("\\\\.\\COM-1", m_port1.GetPortSetting().strPortName);
    EXPECT_EQ("\\\\.\\COM-1", m_port2.GetPortSetting().strPortName);
    EXPECT_FALSE(m_ini.Exists());
}

TEST_F(PortSettingDlgTest, PortComboKeepsListOrderAndFollowsItsSelection) {
    m_dlg.m_ports = {MakePort(1, "a", ""), MakePort(2, "b", ""), MakePort(10, "c", ""),
                     MakePort(10, "c again", "")};
    HWND hDlg = Open();
    CComPortCombo& combo = m_dlg.Port2();
    EXPECT_EQ((TTexts{"COM1", "COM2", "COM10", "COM10"}), GetItems(hDlg, IDC_PORT2));
    EXPECT_EQ(10, static_cast<int>(combo.GetItemData(2)));

    ChooseItem(hDlg, IDC_PORT2, 2);
    EXPECT_EQ(10, combo.GetSelectedPort());
    // The later record of a number replaces the earlier one's text.
    EXPECT_EQ("c again (COM10)", GetToolTipText(combo.GetToolTipWindow(), combo.m_hWnd));

    EXPECT_FALSE(combo.SelectPort(5));
    EXPECT_EQ(10, combo.GetSelectedPort());
    EXPECT_TRUE(combo.SelectPort(1));
    EXPECT_EQ("a (COM1)", GetToolTipText(combo.GetToolTipWindow(), combo.m_hWnd));

    HWND hToolTip = combo.GetToolTipWindow();
    ASSERT_TRUE(IsWindow(hToolTip));
    m_dlg.DestroyWindow();
    EXPECT_FALSE(IsWindow(hToolTip));
}
