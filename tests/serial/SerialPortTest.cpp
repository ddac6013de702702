#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "serial/CommDriver.h"
#include "serial/SerialPort.h"
#include "tests/sim/SimPortPair.h"

using ZEV::CSerialPort;
using ZEV::INVALID_SIZE;
using ZEV::TPortSetting;

namespace {

const char COM1[] = "\\\\.\\COM1";
const char COM3[] = "\\\\.\\COM3";

DWORD FlagWord(const DCB& dcb)
{
    DWORD dwFlags = 0;
    memcpy(&dwFlags, reinterpret_cast<const BYTE*>(&dcb) + 2 * sizeof(DWORD), sizeof(dwFlags));
    return dwFlags;
}

DCB DcbWithFlags(DWORD dwFlags)
{
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.XonLim = 77;
    dcb.XoffLim = 66;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '\n';
    memcpy(reinterpret_cast<BYTE*>(&dcb) + 2 * sizeof(DWORD), &dwFlags, sizeof(dwFlags));
    return dcb;
}

TPortSetting Setting(const char* pszName, DWORD dwBaud = 9600, BYTE nByteSize = 8,
                     DWORD dwParity = NOPARITY, DWORD dwStopBits = ONESTOPBIT)
{
    TPortSetting setting;
    setting.strPortName = pszName;
    setting.dwBaudRate = dwBaud;
    setting.nByteSize = nByteSize;
    setting.dwParity = dwParity;
    setting.dwStopBits = dwStopBits;
    return setting;
}

// Lets a test refuse or change the settings, and counts the virtual closes.
class CHookedPort : public CSerialPort {
public:
    BOOL OnCommSetting(HANDLE, DCB* pDcb, COMMTIMEOUTS* pTimeouts) override
    {
        ++m_nSettingCalls;
        if (!m_bAccept)
            return FALSE;
        if (m_bCtsFlow)
            pDcb->fOutxCtsFlow = 1;
        if (m_dwWriteConstant != 0)
            pTimeouts->WriteTotalTimeoutConstant = m_dwWriteConstant;
        return TRUE;
    }
    void Close() override
    {
        ++m_nCloseCalls;
        CSerialPort::Close();
    }

    bool m_bAccept = true;
    bool m_bCtsFlow = false;
    DWORD m_dwWriteConstant = 0;
    int m_nSettingCalls = 0;
    int m_nCloseCalls = 0;
};

class SerialPortTest : public ::testing::Test {
protected:
    SerialPortTest() : m_sim(COM1, COM3) { m_sim.Install(); }

    // Opens m_port on the sim's port 0 (COM1) with 8N1.
    void OpenCom1(CSerialPort& port)
    {
        port.SetPortSetting(Setting(COM1));
        ASSERT_TRUE(port.Open());
    }

    CSimPortPair m_sim;
};

} // namespace

TEST(PortNameTest, PortNumberIsTheFirstRunOfDigits)
{
    EXPECT_EQ(3, ZEV::GetPortNumber("\\\\.\\COM3"));
    EXPECT_EQ(12, ZEV::GetPortNumber("COM12"));
    EXPECT_EQ(1, ZEV::GetPortNumber("\\\\.\\COM-1"));
    EXPECT_EQ(4, ZEV::GetPortNumber("COM4X7"));
    EXPECT_EQ(-1, ZEV::GetPortNumber("COM"));
    EXPECT_EQ(-1, ZEV::GetPortNumber(""));
}

TEST(PortNameTest, MakePortNameGivesTheDeviceName)
{
    EXPECT_EQ("\\\\.\\COM3", ZEV::MakePortName(3));
    EXPECT_EQ("\\\\.\\COM12", ZEV::MakePortName(12));
}

TEST_F(SerialPortTest, FreshPortHasDefaultsAndIsClosed)
{
    CSerialPort port;
    TPortSetting setting = port.GetPortSetting();
    EXPECT_EQ("", setting.strPortName);
    EXPECT_EQ(9600u, setting.dwBaudRate);
    EXPECT_EQ(7, setting.nByteSize);
    EXPECT_EQ(0u, setting.dwParity);
    EXPECT_EQ(0u, setting.dwStopBits);
    EXPECT_EQ("RS232C", port.GetChannelName());
    EXPECT_EQ(0x01000000u, port.GetChannelId());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.IsLinked());
    EXPECT_FALSE(port.SetOption(1));
}

TEST_F(SerialPortTest, OpenWithEmptyNameFailsWithoutTouchingTheSystem)
{
    CSerialPort port;
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(0u, m_sim.GetTotalCallCount());
}

TEST_F(SerialPortTest, OpenNamesTheChannelAfterThePort)
{
    CSerialPort port;
    port.SetPortSetting(Setting(COM3));
    ASSERT_TRUE(port.Open());
    EXPECT_EQ("RS232C(\\\\.\\COM3)", port.GetChannelName());
    EXPECT_EQ(0x01000003u, port.GetChannelId());

    port.Close();
    EXPECT_EQ("RS232C(\\\\.\\COM3)", port.GetChannelName());
    EXPECT_EQ(0x01000003u, port.GetChannelId());
}

TEST(SerialPortNamingTest, PortNameWithoutDigitsGivesNumberMinusOne)
{
    CSimPortPair sim("PORT", "OTHER");
    sim.Install();
    CSerialPort port;
    // A stored name of the same port number (none: -1) would be kept.
    port.SetPortSetting(Setting(COM3));
    port.SetPortSetting(Setting("PORT"));
    ASSERT_TRUE(port.Open());
    EXPECT_EQ("RS232C(-1)", port.GetChannelName());
    EXPECT_EQ(0x0100FFFFu, port.GetChannelId());
}

TEST_F(SerialPortTest, OpenAppliesLineSettingsAndClearsFlowAndLineControl)
{
    m_sim.SetDriverDcb(0, DcbWithFlags(0xFFFFFFFF));
    CSerialPort port;
    port.SetPortSetting(Setting(COM1, 19200, 8, NOPARITY, TWOSTOPBITS));
    ASSERT_TRUE(port.Open());

    DCB dcb = m_sim.GetDcb(0);
    EXPECT_EQ(19200u, dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(NOPARITY, dcb.Parity);
    EXPECT_EQ(TWOSTOPBITS, dcb.StopBits);
    // Every flag cleared by the mask, and fParity off for no parity.
    EXPECT_EQ(0xFFFFCC01u, FlagWord(dcb));
    // Fields the port does not own keep what the driver reported.
    EXPECT_EQ(77, dcb.XonLim);
    EXPECT_EQ(66, dcb.XoffLim);
    EXPECT_EQ('?', dcb.ErrorChar);
    EXPECT_EQ(0x1A, dcb.EofChar);
    EXPECT_EQ('\n', dcb.EvtChar);
}

TEST_F(SerialPortTest, ParityOtherThanNoneSetsTheParityFlag)
{
    m_sim.SetDriverDcb(0, DcbWithFlags(0));
    CSerialPort port;
    port.SetPortSetting(Setting(COM1, 4800, 7, EVENPARITY, ONE5STOPBITS));
    ASSERT_TRUE(port.Open());

    DCB dcb = m_sim.GetDcb(0);
    EXPECT_EQ(EVENPARITY, dcb.Parity);
    EXPECT_EQ(ONE5STOPBITS, dcb.StopBits);
    EXPECT_EQ(7, dcb.ByteSize);
    EXPECT_EQ(0x00000002u, FlagWord(dcb));
}

TEST_F(SerialPortTest, OpenSetsNonBlockingReadsAndBoundedWrites)
{
    COMMTIMEOUTS driver = {5, 6, 7, 8, 9};
    m_sim.SetDriverTimeouts(0, driver);
    CSerialPort port;
    OpenCom1(port);

    COMMTIMEOUTS t = m_sim.GetTimeouts(0);
    EXPECT_EQ(MAXDWORD, t.ReadIntervalTimeout);
    EXPECT_EQ(0u, t.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(0u, t.ReadTotalTimeoutConstant);
    EXPECT_EQ(1u, t.WriteTotalTimeoutMultiplier);
    EXPECT_EQ(1000u, t.WriteTotalTimeoutConstant);
}

TEST_F(SerialPortTest, OpenPurgesTwiceAndLeavesTheLinesLow)
{
    m_sim.DeviceSend(0, "stale");
    CSerialPort port;
    OpenCom1(port);

    EXPECT_EQ((std::vector<DWORD>{0x0F, 0x0F}), m_sim.GetPurges(0));
    EXPECT_EQ(0u, m_sim.GetQueuedCount(0));
    EXPECT_EQ(1u, m_sim.GetCallCount(CSimPortPair::SIM_SET_MASK, 0));
    EXPECT_EQ(1u, m_sim.GetCallCount(CSimPortPair::SIM_CLEAR_ERROR, 0));
    EXPECT_FALSE(m_sim.GetPortRts(0));
    EXPECT_FALSE(m_sim.GetPortDtr(0));
}

TEST_F(SerialPortTest, OpenFailsOnAbsentOrBusyPort)
{
    CSerialPort port;
    port.SetPortSetting(Setting(COM1));

    m_sim.SetFault(0, CSimPortPair::SIM_ABSENT, true);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());

    m_sim.SetFault(0, CSimPortPair::SIM_ABSENT, false);
    m_sim.SetFault(0, CSimPortPair::SIM_BUSY, true);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ("RS232C", port.GetChannelName());

    m_sim.SetFault(0, CSimPortPair::SIM_BUSY, false);
    EXPECT_TRUE(port.Open());
}

TEST_F(SerialPortTest, SettingsRefusedWhileOpeningCloseTheDeviceAgain)
{
    CHookedPort port;
    port.SetPortSetting(Setting(COM1));
    port.m_bAccept = false;
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(m_sim.IsPortOpen(0));
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_SET_STATE));

    port.m_bAccept = true;
    m_sim.SetFault(0, CSimPortPair::SIM_STATE_REFUSED, true);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(m_sim.IsPortOpen(0));
}

TEST_F(SerialPortTest, OpenOfAnOpenPortClosesItThroughTheVirtualSlotFirst)
{
    CHookedPort port;
    port.SetPortSetting(Setting(COM1));
    ASSERT_TRUE(port.Open());
    HANDLE hFirst = port.GetHandle();
    int nClosesBefore = port.m_nCloseCalls;

    // The sim opens exclusively, so the second open works only if the
    // first handle was closed.
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(nClosesBefore + 1, port.m_nCloseCalls);
    EXPECT_NE(hFirst, port.GetHandle());
}

TEST_F(SerialPortTest, HookMayChangeWhatIsWritten)
{
    CHookedPort port;
    port.m_bCtsFlow = true;
    port.m_dwWriteConstant = 250;
    OpenCom1(port);
    EXPECT_EQ(1, port.m_nSettingCalls);
    EXPECT_EQ(1u, m_sim.GetDcb(0).fOutxCtsFlow);
    EXPECT_EQ(250u, m_sim.GetTimeouts(0).WriteTotalTimeoutConstant);
}

TEST_F(SerialPortTest, SetPortSettingOnClosedPortOnlyStores)
{
    CSerialPort port;
    EXPECT_EQ(0u, port.SetPortSetting(Setting(COM3, 38400, 8, ODDPARITY, TWOSTOPBITS)));
    EXPECT_EQ(0u, m_sim.GetTotalCallCount());

    TPortSetting setting = port.GetPortSetting();
    EXPECT_EQ(COM3, setting.strPortName);
    EXPECT_EQ(38400u, setting.dwBaudRate);
    EXPECT_EQ(8, setting.nByteSize);
    EXPECT_EQ(static_cast<DWORD>(ODDPARITY), setting.dwParity);
    EXPECT_EQ(static_cast<DWORD>(TWOSTOPBITS), setting.dwStopBits);
}

TEST_F(SerialPortTest, SameNumberReconfiguresTheOpenHandleAndKeepsTheName)
{
    CSerialPort port;
    OpenCom1(port);
    HANDLE hPort = port.GetHandle();
    m_sim.ResetCallCounts();

    EXPECT_EQ(0u, port.SetPortSetting(Setting("\\\\.\\COM-1", 57600)));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(hPort, port.GetHandle());
    EXPECT_EQ(COM1, port.GetPortSetting().strPortName);
    EXPECT_EQ(57600u, m_sim.GetDcb(0).BaudRate);
    EXPECT_EQ(1u, m_sim.GetCallCount(CSimPortPair::SIM_SET_STATE));
    EXPECT_EQ(1u, m_sim.GetCallCount(CSimPortPair::SIM_SET_TIMEOUTS));
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_CLOSE));
}

TEST_F(SerialPortTest, AnotherNumberClosesThePortAndStoresTheNewName)
{
    CSerialPort port;
    port.SetPortSetting(Setting(COM3));
    ASSERT_TRUE(port.Open());

    EXPECT_EQ(0u, port.SetPortSetting(Setting("\\\\.\\COM-1")));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(m_sim.IsPortOpen(1));
    EXPECT_EQ("\\\\.\\COM-1", port.GetPortSetting().strPortName);
    // No device has that name.
    EXPECT_FALSE(port.Open());
}

TEST_F(SerialPortTest, SetPortSettingReportsRefusalAndSystemErrors)
{
    CHookedPort port;
    OpenCom1(port);

    port.m_bAccept = false;
    EXPECT_EQ(21u, port.SetPortSetting(Setting(COM1, 1200)));
    EXPECT_TRUE(port.IsOpen());

    port.m_bAccept = true;
    m_sim.SetFault(0, CSimPortPair::SIM_STATE_REFUSED, true);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), port.SetPortSetting(Setting(COM1, 2400)));
}

TEST_F(SerialPortTest, ReceiveTakesOnlyWhatIsQueued)
{
    CSerialPort port;
    OpenCom1(port);
    BYTE buffer[8] = {};

    EXPECT_EQ(0u, port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_READ));

    m_sim.DeviceSend(0, "ABCDE");
    EXPECT_EQ(5u, port.GetQueuedSize());
    EXPECT_EQ(3u, port.Receive(3, buffer));
    EXPECT_EQ(0, memcmp(buffer, "ABC", 3));
    EXPECT_EQ(2u, port.GetQueuedSize());
    EXPECT_EQ(2u, port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(0, memcmp(buffer, "DE", 2));
}

TEST_F(SerialPortTest, ReceiveReportsFailures)
{
    CSerialPort port;
    OpenCom1(port);
    BYTE buffer[4] = {};
    m_sim.DeviceSend(0, "xy");

    m_sim.SetFault(0, CSimPortPair::SIM_READ_FAILS, true);
    EXPECT_EQ(INVALID_SIZE, port.Receive(sizeof(buffer), buffer));

    m_sim.SetFault(0, CSimPortPair::SIM_QUEUE_UNREADABLE, true);
    EXPECT_EQ(INVALID_SIZE, port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(INVALID_SIZE, port.GetQueuedSize());
}

TEST_F(SerialPortTest, ClosedPortAnswersFailure)
{
    CSerialPort port;
    port.SetPortSetting(Setting(COM1));
    BYTE buffer[4] = {};
    EXPECT_EQ(INVALID_SIZE, port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(INVALID_SIZE, port.GetQueuedSize());
    EXPECT_EQ(INVALID_SIZE, port.Send(2, "ab"));
    EXPECT_EQ(ZEV::LINK_CLOSED, port.CheckLink());
    EXPECT_FALSE(port.IsDsrOn());
    EXPECT_EQ("", m_sim.GetDeviceBytes(0));
}

TEST_F(SerialPortTest, SendWritesUntilAllBytesWentOut)
{
    CSerialPort port;
    OpenCom1(port);
    m_sim.SetWriteLimit(0, 2);
    m_sim.ResetCallCounts();

    EXPECT_EQ(5u, port.Send(5, "12345"));
    EXPECT_EQ("12345", m_sim.TakeDeviceBytes(0));
    EXPECT_EQ(3u, m_sim.GetCallCount(CSimPortPair::SIM_WRITE));
}

TEST_F(SerialPortTest, SendThatWritesNothingAnswersZeroNotFailure)
{
    CSerialPort port;
    OpenCom1(port);
    m_sim.SetWriteLimit(0, 0);
    EXPECT_EQ(0u, port.Send(3, "abc"));

    m_sim.SetWriteLimit(0, 0xFFFFFFFF);
    m_sim.SetFault(0, CSimPortPair::SIM_WRITE_FAILS, true);
    EXPECT_EQ(INVALID_SIZE, port.Send(3, "abc"));
}

TEST_F(SerialPortTest, SendHeldByCtsGivesUpAfterTheWriteTimeout)
{
    CHookedPort port;
    port.m_bCtsFlow = true;
    OpenCom1(port);

    DWORD dwStart = GetTickCount();
    EXPECT_EQ(0u, port.Send(1, "z"));
    DWORD dwElapsed = GetTickCount() - dwStart;
    // 1000 ms + 1 ms per byte; generous on the upper side.
    EXPECT_GE(dwElapsed, 900u);
    EXPECT_LT(dwElapsed, 5000u);
    EXPECT_EQ("", m_sim.GetDeviceBytes(0));

    m_sim.SetDeviceRts(0, true);
    EXPECT_EQ(1u, port.Send(1, "z"));
    EXPECT_EQ("z", m_sim.GetDeviceBytes(0));
}

TEST_F(SerialPortTest, CheckLinkAndDsrReadTheModemStatus)
{
    CSerialPort port;
    OpenCom1(port);
    EXPECT_FALSE(port.IsLinked());
    EXPECT_EQ(ZEV::LINK_UP, port.CheckLink());
    EXPECT_TRUE(port.IsLinked());

    EXPECT_FALSE(port.IsDsrOn());
    m_sim.SetDeviceDtr(0, true);
    EXPECT_TRUE(port.IsDsrOn());

    m_sim.SetFault(0, CSimPortPair::SIM_STATUS_UNREADABLE, true);
    EXPECT_FALSE(port.IsDsrOn());
    EXPECT_EQ(ZEV::LINK_CLOSED, port.CheckLink());
}

TEST_F(SerialPortTest, CloseDropsDtrAndRtsAndTheLink)
{
    CSerialPort port;
    OpenCom1(port);
    port.CheckLink();
    ZEV::CommDriver().EscapeCommFunction(port.GetHandle(), SETRTS);
    ZEV::CommDriver().EscapeCommFunction(port.GetHandle(), SETDTR);
    ASSERT_TRUE(m_sim.GetPortRts(0));

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.IsLinked());
    EXPECT_FALSE(m_sim.IsPortOpen(0));
    EXPECT_FALSE(m_sim.GetPortRts(0));
    EXPECT_FALSE(m_sim.GetPortDtr(0));
    // Only the line control bits were switched off.
    DCB dcb = m_sim.GetDcb(0);
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_DISABLE), dcb.fDtrControl);
    EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_DISABLE), dcb.fRtsControl);
}

TEST_F(SerialPortTest, CloseLeavesOtherFlagsAsTheDriverHadThem)
{
    CHookedPort port;
    port.m_bCtsFlow = true;
    OpenCom1(port);
    port.Close();
    EXPECT_EQ(1u, m_sim.GetDcb(0).fOutxCtsFlow);
}

TEST_F(SerialPortTest, DestructorClosesThePort)
{
    {
        CSerialPort port;
        OpenCom1(port);
        ZEV::CommDriver().EscapeCommFunction(port.GetHandle(), SETDTR);
    }
    EXPECT_FALSE(m_sim.IsPortOpen(0));
    EXPECT_FALSE(m_sim.GetPortDtr(0));
}

TEST_F(SerialPortTest, PurgeDropsTheReceiveQueue)
{
    CSerialPort port;
    OpenCom1(port);
    m_sim.DeviceSend(0, "junk");
    port.Purge();
    EXPECT_EQ(0u, port.GetQueuedSize());
    EXPECT_EQ(0x0Fu, m_sim.GetPurges(0).back());
}

namespace {

// Forwards to the sim and asks the port, in the middle of its close,
// whether it still counts itself open.
class CProbingDriver : public CSimPortPair {
public:
    using CSimPortPair::CSimPortPair;
    BOOL SetCommState(HANDLE hPort, DCB* pDcb) override
    {
        if (m_pPort != nullptr)
            m_bOpenDuringClose = m_pPort->IsOpen() != FALSE;
        return CSimPortPair::SetCommState(hPort, pDcb);
    }
    CSerialPort* m_pPort = nullptr;
    bool m_bOpenDuringClose = true;
};

} // namespace

TEST(SerialPortCloseTest, HandleIsMarkedInvalidBeforeTheDeviceIsTouched)
{
    CProbingDriver sim(COM1, COM3);
    sim.Install();
    CSerialPort port;
    port.SetPortSetting(Setting(COM1));
    ASSERT_TRUE(port.Open());
    sim.m_pPort = &port;
    port.Close();
    EXPECT_FALSE(sim.m_bOpenDuringClose);
}
