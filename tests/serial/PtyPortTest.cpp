#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "serial/CommDriver.h"
#include "serial/SerialPort.h"

// Runs only through tests/serial/pty_port.py, which maps COM TAP_PTY_COM to
// one end of a pty pair and plays a device on the other end that answers
// every byte b with b ^ 0x5A.
TEST(PtyPortTest, BytesGoBothWaysAndReceiveNeverWaits)
{
    const char* pszCom = getenv("TAP_PTY_COM");
    if (pszCom == nullptr)
        GTEST_SKIP() << "no pty-backed COM port (run through pty_port.py)";
    ZEV::SetCommDriver(nullptr);
    ZEV::CSerialPort port;
    ZEV::TPortSetting setting;
    setting.strPortName = ZEV::MakePortName(atoi(pszCom));
    setting.dwBaudRate = 115200;
    setting.nByteSize = 8;
    port.SetPortSetting(setting);
    ASSERT_TRUE(port.Open()) << "GetLastError " << GetLastError();

    char buffer[512];
    DWORD dwStart = GetTickCount();
    EXPECT_EQ(0u, port.Receive(sizeof(buffer), buffer));
    // A read that waited would sit here until data came, which never does.
    EXPECT_LT(GetTickCount() - dwStart, 2000u);

    std::string strSent;
    std::string strAnswer;
    for (int i = 0; i < 256; ++i) {
        strSent.push_back(static_cast<char>(i));
        strAnswer.push_back(static_cast<char>(i ^ 0x5A));
    }
    ASSERT_EQ(256u, port.Send(256, strSent.data()));
    DWORD dwWait = GetTickCount();
    while (port.GetQueuedSize() < 256 && GetTickCount() - dwWait < 10000)
        Sleep(5);
    ASSERT_EQ(256u, port.GetQueuedSize());

    ASSERT_EQ(3u, port.Receive(3, buffer));
    EXPECT_EQ(strAnswer.substr(0, 3), std::string(buffer, 3));
    ASSERT_EQ(253u, port.Receive(sizeof(buffer), buffer));
    EXPECT_EQ(strAnswer.substr(3), std::string(buffer, 253));
    EXPECT_EQ(0u, port.Receive(sizeof(buffer), buffer));
}
