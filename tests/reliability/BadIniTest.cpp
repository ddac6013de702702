// INI files that no version of the program wrote: values too long, not numbers,
// negative, huge, positions outside their lists, missing sections, a read-only file
// and one that is not an INI file at all. The stores, dialogs and log host are real.
#include "log/WindowLogHost.h"
#include "settings/IniProfile.h"
#include "settings/LogSettingDlg.h"
#include "settings/PortSettingDlg.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileSection.h"
#include "tests/settings/DialogTestKit.h"
#include "tests/sim/SimPortPair.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// The port dialog over three ports present (COM1, COM2 on the simulated pair; COM3
// listed only), whatever the system has.
class CFixedPortsDlg : public CPortSettingDlg
{
protected:
    ZEV::TComPortList EnumeratePorts() override
    {
        ZEV::TComPortList ports(3);
        for (WORD i = 0; i < 3; ++i)
            ports[i].m_nPort = static_cast<WORD>(i + 1);
        return ports;
    }
};

class BadIniTest : public ::testing::Test
{
protected:
    void SetUp() override { m_sim.Install(); }
    void TearDown() override
    {
        ::SetFileAttributesA(m_ini.GetPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        m_port1.Close();
        m_port2.Close();
    }

    // Opens the port dialog, notes its selections, and leaves it with OK or Cancel.
    std::vector<std::string> RunPortDialog(int nButton)
    {
        CFixedPortsDlg dlg;
        dlg.m_pPort1 = &m_port1;
        dlg.m_pPort2 = &m_port2;
        EXPECT_TRUE(dlg.Create(IDD_PORT_SETTING));
        std::vector<std::string> selections;
        for (int nId : {IDC_PORT1, IDC_PORT2, IDC_SPEED, IDC_PARITY, IDC_STOPBIT, IDC_DATABIT, IDC_FLOW})
            selections.push_back(GetSelectedText(dlg.m_hWnd, nId));
        ClickButton(dlg.m_hWnd, nButton);
        dlg.DestroyWindow();
        return selections;
    }

    std::vector<std::string> RunLogDialog(int nButton)
    {
        CLogSettingDlg dlg;
        EXPECT_TRUE(dlg.Create(IDD_LOG_SETTING));
        std::vector<std::string> selections;
        for (int nId : {IDC_DATA_WIDTH, IDC_DATA_VIEW, IDC_SIGNAL_MODE})
            selections.push_back(GetSelectedText(dlg.m_hWnd, nId));
        ClickButton(dlg.m_hWnd, nButton);
        dlg.DestroyWindow();
        return selections;
    }

    std::string Stored(const char* pszSection, const char* pszKey)
    {
        ZEV::CIniProfile ini;
        return ini.GetSection(pszSection).QueryValue(pszKey).ToString();
    }

    CDefaultIniGuard m_ini;
    CMessageBoxCatcher m_boxes;
    CSimPortPair m_sim;
    CLineRelay m_port1;
    CLineRelay m_port2;
};

typedef std::vector<std::string> TTexts;

}  // namespace

TEST_F(BadIniTest, UnreadableValuesFallBackAndPositionsOutsideTheirListsSelectNothing)
{
    const std::string strLong(70000, 'x');
    const std::string strIni =
        "[setting]\r\nport1=abc\r\nport2=-3\r\nspeed=3" + strLong + "\r\nparity=two\r\n"
        "stopbit=-1\r\ndata=4294967296\r\nflow=2\r\n"
        "[log-setting]\r\ndata-width=" + strLong + "\r\ndata-view-type=99999999999999999999\r\n"
        "signal-mode=-0\r\n";
    m_ini.WriteBytes(strIni);
    const ULONGLONG nWritten = m_ini.GetWriteTime();

    EXPECT_EQ(RunPortDialog(IDCANCEL),
              (TTexts{"COM1",     // "abc" reads as port 0, which is not listed: the first port
                      "COM1",     // -3 is no port either
                      "38400",    // a value cut at 64 KiB still starts with its digits
                      "なし",      // not a number: 0
                      "",         // -1 is outside the list
                      "8 bit",    // cut to 32 bits, 2^32 is position 0
                      ""}));      // 2 is outside the two-entry list
    EXPECT_EQ(RunLogDialog(IDCANCEL), (TTexts{"16", "", "表示あり"}));
    EXPECT_TRUE(m_boxes.GetTexts().empty());
    EXPECT_EQ(m_ini.ReadBytes(), strIni) << "cancelling writes nothing";
    EXPECT_EQ(m_ini.GetWriteTime(), nWritten);

    // The log reads the same fallbacks: 16 bytes a row, and signal lines shown.
    CWindowLogHost host;
    EXPECT_EQ(host.ReadLogSetting(ZEV::INI_KEY_DATA_WIDTH, 1), 0);
    EXPECT_EQ(host.ReadLogSetting(ZEV::INI_KEY_SIGNAL_MODE, 0), 0);
}

TEST_F(BadIniTest, MissingSectionsGiveTheDefaultsAndConfirmingWritesOnlyWhatChanged)
{
    const std::string strIni = "; kept by hand\r\n[other]\r\nnote=" + std::string(70000, 'n') + "\r\n"
                               "[setting]\r\nport1=1\r\nport2=2\r\nspeed=1\r\nflow=0\r\n";
    m_ini.WriteBytes(strIni);
    EXPECT_EQ(RunLogDialog(IDCANCEL), (TTexts{"8", "HEX表示（省略有り）", "表示あり"}));
    EXPECT_EQ(RunPortDialog(IDOK), (TTexts{"COM1", "COM2", "9600", "なし", "1 bit", "8 bit", "なし"}));
    EXPECT_TRUE(m_boxes.GetTexts().empty());

    const std::string strAfter = m_ini.ReadBytes();
    EXPECT_EQ(strAfter.compare(0, strIni.size(), strIni), 0) << "what was there stays as it was";
    EXPECT_EQ(strAfter.substr(strIni.size()), "parity=0\r\nstopbit=0\r\ndata=0\r\n") << "only the missing keys are added";
}

TEST_F(BadIniTest, IniThatCannotBeWrittenIsReadAndLeftAloneWithoutAMessage)
{
    const std::string strIni = "[setting]\r\nport1=2\r\nport2=1\r\nspeed=2\r\n";
    m_ini.WriteBytes(strIni);
    // Another program has it open for reading and lets nobody write. (A read-only
    // attribute would do the same for a user, but not for root under Wine.)
    HANDLE hHeld = ::CreateFileA(m_ini.GetPath().c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunPortDialog(IDOK), (TTexts{"COM2", "COM1", "19200", "なし", "1 bit", "8 bit", "なし"}));
    EXPECT_TRUE(m_port1.IsOpen() && m_port2.IsOpen()) << "the ports are opened all the same";
    EXPECT_TRUE(m_boxes.GetTexts().empty());
    ::CloseHandle(hHeld);
    EXPECT_EQ(m_ini.ReadBytes(), strIni);
}

TEST_F(BadIniTest, FileOfBinaryGarbageReadsAsEmptyAndStaysUsable)
{
    std::string strGarbage;
    unsigned nSeed = 12345;
    for (int i = 0; i < 8192; ++i) {
        nSeed = nSeed * 1103515245u + 12345u;
        strGarbage += static_cast<char>(nSeed >> 24);
    }
    m_ini.WriteBytes(strGarbage);
    EXPECT_EQ(RunPortDialog(IDCANCEL), (TTexts{"COM1", "COM2", "4800", "なし", "1 bit", "8 bit", "なし"}));
    EXPECT_EQ(RunLogDialog(IDCANCEL), (TTexts{"8", "HEX表示（省略有り）", "表示あり"}));
    EXPECT_EQ(m_ini.ReadBytes(), strGarbage) << "reading never writes";

    RunPortDialog(IDOK);
    EXPECT_EQ(Stored(ZEV::INI_SECTION_SETTING, ZEV::INI_KEY_PORT2), "2") << "what is written reads back";
    EXPECT_EQ(Stored(ZEV::INI_SECTION_SETTING, ZEV::INI_KEY_FLOW), "0");
    const std::string strAfter = m_ini.ReadBytes();
    std::printf("binary INI of %u bytes: %u bytes after the settings were stored\n",
                static_cast<unsigned>(strGarbage.size()), static_cast<unsigned>(strAfter.size()));
}
