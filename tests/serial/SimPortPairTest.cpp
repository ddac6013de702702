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

    CSimPortPair m_sim;
    HANDLE m_h0 = INVALID_HANDLE_VALUE;
    HANDLE m_h1 = INVALID_HANDLE_VALUE;
};

} // namespace

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

TEST(SimPortPairHandles, ASynchronousHandleHoldsAWriteWhileAReadWaitsAndAnOverlappedOneDoesNot)
{
    for (bool bOverlapped : {false, true}) {
        CSimPortPair sim;
        HANDLE h = sim.OpenPort("\\\\.\\COM1", bOverlapped ? FILE_FLAG_OVERLAPPED : FILE_ATTRIBUTE_NORMAL);
        // A read that waits up to 400 ms for its first byte.
        COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, 400, 0, 0};
        sim.SetCommTimeouts(h, &timeouts);
        OVERLAPPED ovRead = {};
        ovRead.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        BYTE by = 0;
        DWORD dwRead = 0;
        std::thread reader([&] { sim.ReadFile(h, &by, 1, &dwRead, &ovRead); });
        ASSERT_TRUE(sim.WaitUntil([&] { return sim.GetCallCount(CSimPortPair::SIM_READ) == 1; }, 5000));
        OVERLAPPED ovWrite = {};
        ovWrite.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        DWORD dwWritten = 0;
        DWORD dwStart = GetTickCount();
        EXPECT_TRUE(sim.WriteFile(h, "x", 1, &dwWritten, &ovWrite));
        DWORD dwWrite = GetTickCount() - dwStart;
        reader.join();
        if (bOverlapped) {
            EXPECT_LT(dwWrite, 200u);
            sim.CancelIoEx(h, &ovRead);
            EXPECT_FALSE(sim.GetOverlappedResult(h, &ovRead, &dwRead, TRUE));
            EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), GetLastError());
        } else {
            EXPECT_GE(dwWrite, 250u);
        }
        EXPECT_EQ("x", sim.GetDeviceBytes(0));
        CloseHandle(ovRead.hEvent);
        CloseHandle(ovWrite.hEvent);
        sim.CloseHandle(h);
    }
}
