// Ports that go away, come back or are held by another program, on real Wine COM
// ports backed by ptys.
#include "tests/reliability/PortRig.h"
#include "tests/sim/SimPortPair.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const char PORT2_FAILED[] = "指定のポート２はオープンできませんでした。";

// Whether the port opens although another process holds it.
bool PortOpensAnyway(const char* pszName)
{
    HANDLE hPort = ::CreateFileA(pszName, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    if (hPort == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(hPort);
    return true;
}

class PortFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!CPortRig::HasPorts())
            GTEST_SKIP() << "needs the ports of tests/reliability/with_rel_ports.sh";
        m_pRig.reset(new CPortRig);
    }

    std::unique_ptr<CPortRig> m_pRig;
};

TEST_F(PortFaultTest, UnpluggedDeviceLeavesTheProgramRunningAndConfirmingAgainReopensIt)
{
    CPortRig& rig = *m_pRig;
    ASSERT_TRUE(rig.ConfirmPortSettings());
    CDevicePort device1(3);
    std::unique_ptr<CDevicePort> pDevice2(new CDevicePort(4));
    ASSERT_TRUE(device1.IsOpen() && pDevice2->IsOpen());
    ASSERT_TRUE(device1.Write("A1"));
    EXPECT_EQ(ReadPumping(*pDevice2, 2, 5000), "A1");

    pDevice2.reset();
    ASSERT_TRUE(rig.Unplug(2));
    // The remaining device goes on talking into a port pair with a dead half.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(device1.Write("C3"));
        PumpFor(200);
    }
    EXPECT_TRUE(rig.WaitForRow(0, "0000 : 43 33 --", 5000)) << "bytes of port1 are still logged";
    EXPECT_TRUE(rig.m_port1.IsReceiving());
    EXPECT_TRUE(rig.m_port2.IsReceiving()) << "a dead port does not end its receive thread";
    const int nRows = rig.m_host.Count(0);
    EXPECT_EQ(nRows, rig.m_host.Count(1));

    ASSERT_TRUE(rig.Plug(2));
    CDevicePort device2(4);
    ASSERT_TRUE(device2.IsOpen());
    ASSERT_TRUE(rig.ConfirmPortSettings()) << "the port opens again";
    ASSERT_TRUE(device1.Write("D4"));
    EXPECT_EQ(ReadPumping(device2, 2, 5000), "D4");
    ASSERT_TRUE(device2.Write("E5"));
    EXPECT_EQ(ReadPumping(device1, 2, 5000), "E5");
    EXPECT_TRUE(rig.m_boxes.GetTexts().empty());
}

TEST_F(PortFaultTest, PortHeldByAnotherProcessIsReportedAndNothingIsStored)
{
    CPortRig& rig = *m_pRig;
    const std::string strIni = "[setting]\r\nport1=1\r\nport2=2\r\nspeed=1\r\n";
    rig.m_ini.WriteBytes(strIni);
    const ULONGLONG nWritten = rig.m_ini.GetWriteTime();
    CHolderProcess holder;
    ASSERT_TRUE(holder.Hold("port \\\\.\\COM2", 60000));
    if (PortOpensAnyway("\\\\.\\COM2"))
        GTEST_SKIP() << "this system lets a second process open a COM port that is held (Wine does)";

    EXPECT_FALSE(rig.ConfirmPortSettings()) << "the dialog stays open";
    EXPECT_EQ(rig.m_boxes.GetTexts(), std::vector<std::string>{PORT2_FAILED});
    EXPECT_EQ(rig.m_ini.ReadBytes(), strIni);
    EXPECT_EQ(rig.m_ini.GetWriteTime(), nWritten);
    // The first port is open and keeps being read and logged.
    EXPECT_TRUE(rig.m_port1.IsOpen());
    EXPECT_FALSE(rig.m_port2.IsOpen());
    CDevicePort device1(3);
    ASSERT_TRUE(device1.Write("F6"));
    EXPECT_TRUE(rig.WaitForRow(0, "46 36", 5000));

    holder.Release();
    ASSERT_TRUE(rig.ConfirmPortSettings());
    EXPECT_EQ(rig.m_boxes.GetTexts().size(), 1u);
    CDevicePort device2(4);
    ASSERT_TRUE(device2.Write("G7"));
    EXPECT_EQ(ReadPumping(device1, 2, 5000), "G7");
}

}  // namespace

namespace {

// The same refusal as Windows gives for a port another program holds
// (ERROR_ACCESS_DENIED), through the simulated pair, for systems that let the
// second open through.
class HeldPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_sim.Install();
        m_port1.Attach(0, &m_host.Log(), &m_port2);
        m_port2.Attach(1, &m_host.Log(), &m_port1);
        ASSERT_TRUE(m_host.Open());
    }
    void TearDown() override
    {
        m_port1.Close();
        m_port2.Close();
    }

    CDefaultIniGuard m_ini;
    CMessageBoxCatcher m_boxes;
    CSimPortPair m_sim;
    CViewPairHost m_host;
    CLineRelay m_port1;
    CLineRelay m_port2;
};

}  // namespace

TEST_F(HeldPortTest, HeldSecondPortIsReportedOnceStoresNothingAndTheFirstKeepsLogging)
{
    const std::string strIni = "[setting]\r\nport1=1\r\nport2=2\r\nspeed=1\r\n";
    m_ini.WriteBytes(strIni);
    const ULONGLONG nWritten = m_ini.GetWriteTime();
    m_sim.SetFault(1, CSimPortPair::SIM_BUSY, true);
    {
        CPortSettingDlg dlg;
        dlg.m_pPort1 = &m_port1;
        dlg.m_pPort2 = &m_port2;
        ASSERT_TRUE(dlg.Create(IDD_PORT_SETTING));
        ClickButton(dlg.m_hWnd, IDOK);
        EXPECT_NE(dlg.m_nModalResult, IDOK) << "the dialog stays for another try";
        dlg.DestroyWindow();
    }
    EXPECT_EQ(m_boxes.GetTexts(), std::vector<std::string>{PORT2_FAILED});
    EXPECT_EQ(m_ini.ReadBytes(), strIni);
    EXPECT_EQ(m_ini.GetWriteTime(), nWritten);
    ASSERT_TRUE(m_port1.IsOpen());
    EXPECT_FALSE(m_port2.IsOpen());

    m_sim.DeviceSend(0, "\x46\x36");
    EXPECT_TRUE(PumpUntil([this] { return m_host.HasRow(0, "0000 : 46 36 --"); }, 5000))
        << "the first port is read and logged";
    EXPECT_EQ(m_host.Count(0), m_host.Count(1));
    EXPECT_EQ(m_sim.GetDeviceBytes(1), "") << "nothing reaches the held port";
}
