#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "serial/CommDriver.h"
#include "serial/SerialPort.h"

using ZEV::CSerialPort;
using ZEV::INVALID_SIZE;

// These run only through tests/serial/pty_port.py, which maps COM
// TAP_PTY_COM to one end of a pty pair and plays a device on the other
// end that answers every byte b with b ^ 0x5A.

namespace {

const BYTE ANSWER_MASK = 0x5A;

std::string Answer(const std::string& strSent)
{
    std::string strAnswer = strSent;
    for (char& c : strAnswer)
        c = static_cast<char>(static_cast<BYTE>(c) ^ ANSWER_MASK);
    return strAnswer;
}

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* pszCom = getenv("TAP_PTY_COM");
        if (pszCom == nullptr)
            GTEST_SKIP() << "no pty-backed COM port (run through pty_port.py)";
        ZEV::SetCommDriver(nullptr);
        ZEV::TPortSetting setting;
        setting.strPortName = ZEV::MakePortName(atoi(pszCom));
        setting.dwBaudRate = 115200;
        setting.nByteSize = 8;
        ASSERT_EQ(0u, m_port.SetPortSetting(setting));
        ASSERT_TRUE(m_port.Open()) << "GetLastError " << GetLastError();
    }

    // Polls Receive until nCount bytes came or 10 s passed.
    std::string ReceiveCount(size_t nCount)
    {
        std::string strGot;
        DWORD dwStart = GetTickCount();
        while (strGot.size() < nCount && GetTickCount() - dwStart < 10000) {
            char buffer[512];
            DWORD dwGot = m_port.Receive(sizeof(buffer), buffer);
            if (dwGot == INVALID_SIZE) {
                ADD_FAILURE() << "Receive failed";
                break;
            }
            strGot.append(buffer, dwGot);
            if (dwGot == 0)
                Sleep(5);
        }
        return strGot;
    }

    CSerialPort m_port;
};

} // namespace

TEST_F(PtyPortTest, EveryByteValueGoesOutAndItsAnswerComesBack)
{
    std::string strSent;
    for (int i = 0; i < 256; ++i)
        strSent.push_back(static_cast<char>(i));
    EXPECT_EQ(256u, m_port.Send(static_cast<DWORD>(strSent.size()), strSent.data()));
    EXPECT_EQ(Answer(strSent), ReceiveCount(strSent.size()));
}

TEST_F(PtyPortTest, ReceiveReturnsAtOnceWithOnlyWhatIsQueued)
{
    char buffer[16];
    DWORD dwStart = GetTickCount();
    EXPECT_EQ(0u, m_port.Receive(sizeof(buffer), buffer));
    // A read that waited would sit here until data came, which never does.
    EXPECT_LT(GetTickCount() - dwStart, 2000u);

    ASSERT_EQ(5u, m_port.Send(5, "hello"));
    DWORD dwWait = GetTickCount();
    while (m_port.GetQueuedSize() < 5 && GetTickCount() - dwWait < 10000)
        Sleep(5);
    ASSERT_EQ(5u, m_port.GetQueuedSize());

    ASSERT_EQ(3u, m_port.Receive(3, buffer));
    EXPECT_EQ(Answer("hel"), std::string(buffer, 3));
    ASSERT_EQ(2u, m_port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(Answer("lo"), std::string(buffer, 2));
    EXPECT_EQ(0u, m_port.Receive(sizeof(buffer), buffer));
}

TEST_F(PtyPortTest, ReopenedPortStartsWithAnEmptyQueue)
{
    ASSERT_EQ(3u, m_port.Send(3, "abc"));
    DWORD dwWait = GetTickCount();
    while (m_port.GetQueuedSize() < 3 && GetTickCount() - dwWait < 10000)
        Sleep(5);
    ASSERT_EQ(3u, m_port.GetQueuedSize());

    ASSERT_TRUE(m_port.Open());
    EXPECT_EQ(0u, m_port.GetQueuedSize());
    m_port.Close();
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(INVALID_SIZE, m_port.Send(1, "x"));
}
