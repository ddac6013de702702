#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "tests/sim/SimPortPair.h"

namespace {

class SimPortPairTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_h0 = m_sim.OpenPort("\\\\.\\COM1");
        m_h1 = m_sim.OpenPort("\\\\.\\com2");
        ASSERT_NE(INVALID_HANDLE_VALUE, m_h0);
        ASSERT_NE(INVALID_HANDLE_VALUE, m_h1);
    }

    void HoldForCts(HANDLE h, DWORD dwConstant)
    {
        DCB dcb = {};
        ASSERT_TRUE(m_sim.GetCommState(h, &dcb));
        dcb.fOutxCtsFlow = 1;
        ASSERT_TRUE(m_sim.SetCommState(h, &dcb));
        COMMTIMEOUTS timeouts = {};
        timeouts.WriteTotalTimeoutConstant = dwConstant;
        ASSERT_TRUE(m_sim.SetCommTimeouts(h, &timeouts));
    }

    CSimPortPair m_sim;
    HANDLE m_h0 = INVALID_HANDLE_VALUE;
    HANDLE m_h1 = INVALID_HANDLE_VALUE;
};

} // namespace

TEST_F(SimPortPairTest, PortsOpenExclusivelyAndClosedHandlesFail)
{
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_sim.OpenPort("\\\\.\\COM1"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_sim.OpenPort("\\\\.\\COM9"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    ASSERT_TRUE(m_sim.CloseHandle(m_h0));
    DWORD dwStatus = 0;
    EXPECT_FALSE(m_sim.GetCommModemStatus(m_h0, &dwStatus));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    HANDLE hAgain = m_sim.OpenPort("\\\\.\\COM1");
    EXPECT_NE(INVALID_HANDLE_VALUE, hAgain);
    EXPECT_NE(m_h0, hAgain);
}

TEST_F(SimPortPairTest, DeviceOutputsAreThePortsModemInputs)
{
    DWORD dwStatus = 0xFF;
    ASSERT_TRUE(m_sim.GetCommModemStatus(m_h1, &dwStatus));
    EXPECT_EQ(0u, dwStatus);
    m_sim.SetDeviceRts(1, true);
    ASSERT_TRUE(m_sim.GetCommModemStatus(m_h1, &dwStatus));
    EXPECT_EQ(static_cast<DWORD>(MS_CTS_ON), dwStatus);
    m_sim.SetDeviceDtr(1, true);
    ASSERT_TRUE(m_sim.GetCommModemStatus(m_h1, &dwStatus));
    EXPECT_EQ(static_cast<DWORD>(MS_CTS_ON | MS_DSR_ON), dwStatus);
    // Port 0 is a device of its own.
    ASSERT_TRUE(m_sim.GetCommModemStatus(m_h0, &dwStatus));
    EXPECT_EQ(0u, dwStatus);

    m_sim.SetFault(1, CSimPortPair::SIM_STATUS_UNREADABLE, true);
    EXPECT_FALSE(m_sim.GetCommModemStatus(m_h1, &dwStatus));
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE), GetLastError());
}

TEST_F(SimPortPairTest, PortOutputsFollowEscapesAndLineControl)
{
    ASSERT_TRUE(m_sim.EscapeCommFunction(m_h0, SETRTS));
    ASSERT_TRUE(m_sim.EscapeCommFunction(m_h0, SETDTR));
    EXPECT_TRUE(m_sim.GetPortRts(0));
    EXPECT_TRUE(m_sim.GetPortDtr(0));
    EXPECT_FALSE(m_sim.GetPortRts(1));

    DCB dcb = {};
    m_sim.GetCommState(m_h0, &dcb);
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    m_sim.SetCommState(m_h0, &dcb);
    EXPECT_FALSE(m_sim.GetPortRts(0));
    EXPECT_TRUE(m_sim.GetPortDtr(0));

    ASSERT_TRUE(m_sim.CloseHandle(m_h0));
    EXPECT_TRUE(m_sim.GetPortDtr(0));
}

TEST_F(SimPortPairTest, HeldWriteGoesOutWhenCtsComesOn)
{
    HoldForCts(m_h0, 10000);
    BOOL bOk = FALSE;
    DWORD dwWritten = 0;
    std::thread writer([&] { bOk = m_sim.WriteFile(m_h0, "q", 1, &dwWritten); });
    Sleep(100);
    EXPECT_EQ("", m_sim.GetDeviceBytes(0));
    m_sim.SetDeviceRts(0, true);
    writer.join();
    EXPECT_TRUE(bOk);
    EXPECT_EQ(1u, dwWritten);
    EXPECT_EQ("q", m_sim.GetDeviceBytes(0));
}

TEST_F(SimPortPairTest, CloseEndsAWriteHeldWithoutTimeLimit)
{
    HoldForCts(m_h0, 0);
    BOOL bOk = TRUE;
    DWORD dwError = 0;
    std::thread writer([&] {
        DWORD dwWritten = 0;
        bOk = m_sim.WriteFile(m_h0, "q", 1, &dwWritten);
        dwError = GetLastError();
    });
    Sleep(100);
    m_sim.CloseHandle(m_h0);
    writer.join();
    EXPECT_FALSE(bOk);
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), dwError);
    EXPECT_EQ("", m_sim.GetDeviceBytes(0));
}

TEST_F(SimPortPairTest, PollingThreadsRelayingBothWaysLoseNothing)
{
    // Two threads poll their port without pause and write each byte to the
    // other port, as the relay does, while the test feeds both devices.
    volatile bool bRun = true;
    auto relay = [&](HANDLE hFrom, HANDLE hTo) {
        while (bRun) {
            COMSTAT stat = {};
            DWORD dwErrors = 0;
            DWORD dwStatus = 0;
            m_sim.GetCommModemStatus(hFrom, &dwStatus);
            if (!m_sim.ClearCommError(hFrom, &dwErrors, &stat) || stat.cbInQue == 0)
                continue;
            BYTE by = 0;
            DWORD dwRead = 0;
            if (m_sim.ReadFile(hFrom, &by, 1, &dwRead) && dwRead == 1)
                m_sim.WriteFile(hTo, &by, 1, &dwRead);
        }
    };
    std::thread t0(relay, m_h0, m_h1);
    std::thread t1(relay, m_h1, m_h0);
    std::string strTo1;
    std::string strTo0;
    for (int i = 0; i < 2000; ++i) {
        strTo1.push_back(static_cast<char>(i * 7));
        strTo0.push_back(static_cast<char>(i * 13 + 1));
        m_sim.DeviceSend(0, &strTo1.back(), 1);
        m_sim.DeviceSend(1, &strTo0.back(), 1);
    }
    bool bAll1 = m_sim.WaitForDeviceBytes(1, strTo1.size(), 20000);
    bool bAll0 = m_sim.WaitForDeviceBytes(0, strTo0.size(), 20000);
    bRun = false;
    t0.join();
    t1.join();
    EXPECT_TRUE(bAll1);
    EXPECT_TRUE(bAll0);
    EXPECT_EQ(strTo1, m_sim.GetDeviceBytes(1));
    EXPECT_EQ(strTo0, m_sim.GetDeviceBytes(0));
}
