#include <gtest/gtest.h>

#include "serial/ComPortEnum.h"

using namespace ZEV;

// COM47 and COM48 are registered as present devices for this test run by the
// Wine environment script (see extra.cmake beside this file): the real
// registry walk and the real device manager must both find them.
namespace {

const TComPortInfo* FindPort(const TComPortList& ports, WORD nPort)
{
    for (const TComPortInfo& info : ports) {
        if (info.m_nPort == nPort)
            return &info;
    }
    return nullptr;
}

}  // namespace

TEST(ComPortEnumWineTest, RegisteredPortsAreFoundWithTheirDeviceTexts)
{
    TComPortList ports = EnumComPorts();

    const TComPortInfo* pFirst = FindPort(ports, 47);
    const TComPortInfo* pSecond = FindPort(ports, 48);
    ASSERT_NE(nullptr, pFirst) << "COM47 is registered by the ctest fixture of this folder";
    ASSERT_NE(nullptr, pSecond);
    EXPECT_LT(pFirst, pSecond);  // sorted by number

    EXPECT_EQ("試験用シリアルポート", pFirst->m_strDescription);
    EXPECT_EQ("タップ試験機器", pFirst->m_strManufacturer);
    EXPECT_EQ(0x2341, pFirst->m_nVendorId);
    EXPECT_EQ(0x0043, pFirst->m_nProductId);
    EXPECT_EQ("タップ試験機器 試験用シリアルポート (COM47)", pFirst->GetDisplayText());

    EXPECT_EQ("Loopback Port", pSecond->m_strDescription);
    EXPECT_EQ("Loopback", pSecond->m_strManufacturer);
    EXPECT_EQ(0, pSecond->m_nVendorId);
    EXPECT_EQ("Loopback Port (COM48)", pSecond->GetDisplayText());

    for (size_t i = 1; i < ports.size(); ++i)
        EXPECT_LE(ports[i - 1].m_nPort, ports[i].m_nPort);
}
