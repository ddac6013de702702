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
    dcb.XonLim = 77;
    dcb.ErrorChar = '?';
    memcpy(reinterpret_cast<BYTE*>(&dcb) + 2 * sizeof(DWORD), &dwFlags, sizeof(dwFlags));
    return dcb;
}

TPortSetting Setting(const char* pszName, DWORD dwBaud = 9600, DWORD dwParity = NOPARITY)
{
    TPortSetting setting;
    setting.strPortName = pszName;
    setting.dwBaudRate = dwBaud;
    setting.nByteSize = 8;
    setting.dwParity = dwParity;
    setting.dwStopBits = TWOSTOPBITS;
    return setting;
}

// Lets a test refuse the settings or ask for CTS flow control.
class CHookedPort : public CSerialPort {
public:
    BOOL OnCommSetting(HANDLE, DCB* pDcb, COMMTIMEOUTS*) override
    {
        pDcb->fOutxCtsFlow = m_bCtsFlow ? 1 : 0;
        return m_bAccept ? TRUE : FALSE;
    }
    bool m_bAccept = true;
    bool m_bCtsFlow = false;
};

class SerialPortTest : public ::testing::Test {
protected:
    SerialPortTest() : m_sim(COM1, COM3) { m_sim.Install(); }

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
    EXPECT_EQ("\\\\.\\COM12", ZEV::MakePortName(12));
}

TEST_F(SerialPortTest, FreshOrClosedPortAnswersWithoutTouchingTheDevice)
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

    // An empty name is refused before the system is asked.
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(0u, m_sim.GetTotalCallCount());

    EXPECT_EQ(0u, port.SetPortSetting(Setting(COM1, 38400, ODDPARITY)));
    EXPECT_EQ(0u, m_sim.GetTotalCallCount());
    EXPECT_EQ(COM1, port.GetPortSetting().strPortName);
    EXPECT_EQ(38400u, port.GetPortSetting().dwBaudRate);

    BYTE buffer[4];
    EXPECT_EQ(INVALID_SIZE, port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(INVALID_SIZE, port.GetQueuedSize());
    EXPECT_EQ(INVALID_SIZE, port.Send(2, "ab"));
    EXPECT_EQ(ZEV::LINK_CLOSED, port.CheckLink());
    EXPECT_FALSE(port.IsDsrOn());
    port.Purge();
    // INVALID_HANDLE_VALUE doubles as the current process: never pass it on.
    EXPECT_EQ(0u, m_sim.GetTotalCallCount());
}

TEST_F(SerialPortTest, OpenNamesTheChannelAfterThePortAndCloseKeepsIt)
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

TEST_F(SerialPortTest, OpenWritesLineSettingsTimeoutsAndClearsFlowAndLineControl)
{
    m_sim.SetDriverDcb(0, DcbWithFlags(0xFFFFFFFF));
    m_sim.SetDriverTimeouts(0, COMMTIMEOUTS{5, 6, 7, 8, 9});
    m_sim.DeviceSend(0, "stale");
    CSerialPort port;
    port.SetPortSetting(Setting(COM1, 19200));
    ASSERT_TRUE(port.Open());

    DCB dcb = m_sim.GetDcb(0);
    EXPECT_EQ(19200u, dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(NOPARITY, dcb.Parity);
    EXPECT_EQ(TWOSTOPBITS, dcb.StopBits);
    // The mask; fParity, fErrorChar, fNull and fAbortOnError off; the rest as reported.
    EXPECT_EQ(0xFFFF8001u, FlagWord(dcb));
    // XON/XOFF set whatever was left: Windows refuses equal characters, and
    // limits beyond the receive queue have hung adapters.
    EXPECT_EQ(0x11, dcb.XonChar);
    EXPECT_EQ(0x13, dcb.XoffChar);
    EXPECT_LT(dcb.XonLim + dcb.XoffLim, 64 * 1024);
    EXPECT_EQ('?', dcb.ErrorChar);

    COMMTIMEOUTS t = m_sim.GetTimeouts(0);
    EXPECT_EQ(MAXDWORD, t.ReadIntervalTimeout);
    EXPECT_EQ(0u, t.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(0u, t.ReadTotalTimeoutConstant);
    EXPECT_EQ(2u, t.WriteTotalTimeoutMultiplier); // 11 bits at 19200: 0.57 ms
    EXPECT_EQ(1000u, t.WriteTotalTimeoutConstant);

    EXPECT_EQ((std::vector<DWORD>{0x0F, 0x0F}), m_sim.GetPurges(0));
    EXPECT_EQ(0u, m_sim.GetQueuedCount(0));
    EXPECT_EQ(1u, m_sim.GetCallCount(CSimPortPair::SIM_SET_MASK));
    EXPECT_FALSE(m_sim.GetPortRts(0));
    EXPECT_FALSE(m_sim.GetPortDtr(0));
}

TEST_F(SerialPortTest, FailedOpenLeavesThePortAndTheDeviceClosed)
{
    CHookedPort port;
    port.SetPortSetting(Setting(COM1));
    m_sim.SetFault(0, CSimPortPair::SIM_ABSENT, true);
    EXPECT_FALSE(port.Open());
    m_sim.SetFault(0, CSimPortPair::SIM_ABSENT, false);
    m_sim.SetFault(0, CSimPortPair::SIM_BUSY, true);
    EXPECT_FALSE(port.Open());
    m_sim.SetFault(0, CSimPortPair::SIM_BUSY, false);

    port.m_bAccept = false;
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_SET_STATE));
    port.m_bAccept = true;
    m_sim.SetFault(0, CSimPortPair::SIM_STATE_REFUSED, true);
    EXPECT_FALSE(port.Open());

    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(m_sim.IsPortOpen(0));
    EXPECT_EQ("RS232C", port.GetChannelName());
}

TEST_F(SerialPortTest, SameNumberReconfiguresTheOpenHandleAndKeepsTheName)
{
    CHookedPort port;
    OpenCom1(port);
    HANDLE hPort = port.GetHandle();
    m_sim.ResetCallCounts();

    EXPECT_EQ(0u, port.SetPortSetting(Setting("\\\\.\\COM-1", 57600)));
    EXPECT_EQ(hPort, port.GetHandle());
    EXPECT_EQ(COM1, port.GetPortSetting().strPortName);
    EXPECT_EQ(57600u, m_sim.GetDcb(0).BaudRate);
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_CLOSE));

    // Parity other than none sets fParity; fBinary is always on.
    m_sim.SetDriverDcb(0, DcbWithFlags(0));
    EXPECT_EQ(0u, port.SetPortSetting(Setting(COM1, 4800, EVENPARITY)));
    EXPECT_EQ(EVENPARITY, m_sim.GetDcb(0).Parity);
    EXPECT_EQ(0x00000003u, FlagWord(m_sim.GetDcb(0)));

    port.m_bAccept = false;
    EXPECT_EQ(21u, port.SetPortSetting(Setting(COM1, 1200)));
    port.m_bAccept = true;
    m_sim.SetFault(0, CSimPortPair::SIM_STATE_REFUSED, true);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), port.SetPortSetting(Setting(COM1)));
    EXPECT_TRUE(port.IsOpen());
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
    EXPECT_FALSE(port.Open()); // no device has that name
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

    m_sim.SetFault(0, CSimPortPair::SIM_READ_FAILS, true);
    EXPECT_EQ(INVALID_SIZE, port.Receive(sizeof(buffer), buffer));
    m_sim.SetFault(0, CSimPortPair::SIM_QUEUE_UNREADABLE, true);
    EXPECT_EQ(INVALID_SIZE, port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(INVALID_SIZE, port.GetQueuedSize());
}

TEST_F(SerialPortTest, SendWritesUntilDoneAndCountsAWriteOfNothingAsZero)
{
    CSerialPort port;
    OpenCom1(port);
    m_sim.SetWriteLimit(0, 2);
    EXPECT_EQ(5u, port.Send(5, "12345"));
    EXPECT_EQ("12345", m_sim.TakeDeviceBytes(0));
    EXPECT_EQ(3u, m_sim.GetCallCount(CSimPortPair::SIM_WRITE));

    m_sim.SetWriteLimit(0, 0);
    EXPECT_EQ(0u, port.Send(3, "abc"));
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
    EXPECT_GE(dwElapsed, 900u); // 1000 ms + 1 ms per byte
    EXPECT_LT(dwElapsed, 5000u);

    m_sim.SetDeviceRts(0, true);
    EXPECT_EQ(1u, port.Send(1, "z"));
    EXPECT_EQ("z", m_sim.GetDeviceBytes(0));
}

TEST_F(SerialPortTest, LinkAndDsrComeFromTheModemStatus)
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

TEST_F(SerialPortTest, CloseDropsDtrAndRtsOnlyAndForgetsTheLink)
{
    CHookedPort port;
    port.m_bCtsFlow = true;
    OpenCom1(port);
    port.CheckLink();
    ZEV::CommDriver().EscapeCommFunction(port.GetHandle(), SETRTS);
    ZEV::CommDriver().EscapeCommFunction(port.GetHandle(), SETDTR);
    ASSERT_TRUE(m_sim.GetPortRts(0));

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.IsLinked());
    EXPECT_FALSE(m_sim.IsPortOpen(0));
    // The sim keeps the lines on close: the port dropped them itself.
    EXPECT_FALSE(m_sim.GetPortRts(0));
    EXPECT_FALSE(m_sim.GetPortDtr(0));
    EXPECT_EQ(1u, m_sim.GetDcb(0).fOutxCtsFlow);
}
