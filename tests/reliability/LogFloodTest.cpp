// Floods of bytes into the traffic log, with the real views on a real window: rows
// must reach both views in step however far the window falls behind, and the window
// must keep answering.
#include "tests/reliability/ViewPairHost.h"

#include "settings/ProfileKeys.h"
#include "support/Format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// 128 KiB by default; REL_FLOOD_KIB=1024 gives the full mebibyte (several minutes).
DWORD FloodBytes()
{
    char szValue[32] = {};
    if (::GetEnvironmentVariableA("REL_FLOOD_KIB", szValue, sizeof szValue) > 0 && std::atoi(szValue) > 0)
        return static_cast<DWORD>(std::atoi(szValue)) * 1024;
    return 128 * 1024;
}

class LogFloodTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_host.SetSetting(ZEV::INI_KEY_DATA_WIDTH, 0);      // 16 bytes a row
        m_host.SetSetting(ZEV::INI_KEY_DATA_VIEW_TYPE, 1);  // full dump
        ASSERT_TRUE(m_host.Open());
        m_host.Log().LoadDumpSettings();
    }

    // Waits until both views have stopped growing for a while.
    void WaitForQuiet(DWORD dwMs)
    {
        int nLast[2] = {-1, -1};
        DWORD dwSince = ::GetTickCount();
        PumpUntil([&] {
            const int n0 = m_host.Count(0), n1 = m_host.Count(1);
            if (n0 != nLast[0] || n1 != nLast[1] || m_host.Log().GetBacklogSize() != 0) {
                nLast[0] = n0;
                nLast[1] = n1;
                dwSince = ::GetTickCount();
            }
            return ::GetTickCount() - dwSince > 600;
        }, dwMs);
    }

    // Row i of both views belongs to one moment: same time column, and exactly one of
    // the two carries content.
    void ExpectViewsInStep()
    {
        const int nCount = m_host.Count(0);
        ASSERT_EQ(nCount, m_host.Count(1));
        for (int i = 0; i < nCount; ++i) {
            const std::string strLeft = m_host.Row(0, i), strRight = m_host.Row(1, i);
            ASSERT_GE(strLeft.size(), 12u) << "row " << i;
            ASSERT_GE(strRight.size(), 12u) << "row " << i;
            ASSERT_EQ(strLeft.substr(5, 7), strRight.substr(5, 7)) << "time columns of row " << i;
            ASSERT_NE(strLeft.size() > 12, strRight.size() > 12) << "row " << i << ": " << strLeft << " / " << strRight;
        }
    }

    void FloodOneBlock(long nPassEvery);

    // The bytes of every dump row of a view, read back from the hex columns.
    std::string DumpedBytes(int nView)
    {
        std::string strBytes;
        const int nCount = m_host.Count(nView);
        for (int i = 0; i < nCount; ++i) {
            const std::string strRow = m_host.Row(nView, i);
            // signal(5) time(7) " " offset(4) " : " then 16 cells of 3
            if (strRow.size() < 20 || strRow.compare(17, 3, " : ") != 0)
                continue;
            for (size_t nCell = 20; nCell + 2 <= strRow.size() && nCell < 20 + 16 * 3; nCell += 3) {
                if (strRow[nCell] == '-')
                    break;
                strBytes += static_cast<char>(std::strtoul(strRow.substr(nCell, 2).c_str(), nullptr, 16));
            }
        }
        return strBytes;
    }

    CViewPairHost m_host;
    std::atomic<int> m_nTurn{0};
};

// One port sends without a pause: a single block, written out when the line goes
// quiet, as one dump of FloodBytes() / 16 rows handed over at once.
void LogFloodTest::FloodOneBlock(long nPassEvery)
{
    m_host.SetNoticeRefusal(nPassEvery);
    const DWORD dwBytes = FloodBytes();
    CQueueLatencyProbe probe(m_host.m_hWnd);
    const DWORD dwT0 = ::GetTickCount();
    std::atomic<bool> bFed(false);
    std::thread feeder([this, dwBytes, &bFed] {
        for (DWORD i = 0; i < dwBytes; ++i) {
            const BYTE b = static_cast<BYTE>(i * 7);
            m_host.Log().OnLineData(0, 1, &b);
        }
        bFed = true;
    });
    // The window thread keeps pumping meanwhile, as the program's does.
    PumpUntil([&bFed] { return bFed.load(); }, 600000);
    feeder.join();
    const DWORD dwT1 = ::GetTickCount();
    WaitForQuiet(300000);
    const DWORD dwT2 = ::GetTickCount();
    probe.Stop();

    std::printf("flood of %lu bytes, notices let through: 1 in %ld (0: all): fed in %lu ms, rows shown %lu ms later; "
                "%d rows a view, %ld notices refused, worst wait of a posted message %lu ms\n",
                dwBytes, nPassEvery, dwT1 - dwT0, dwT2 - dwT1, m_host.Count(0), m_host.GetRefusedPosts(),
                probe.GetWorstMs());
    // A pause of 100 ms on a loaded machine may cut the flood into two blocks; the
    // bytes shown must still be the ones fed, each once, in order.
    ASSERT_GE(m_host.Count(0), static_cast<int>(dwBytes / 16));
    EXPECT_EQ(m_host.Log().GetBacklogSize(), 0u);
    const std::string strShown = DumpedBytes(0);
    ASSERT_EQ(strShown.size(), dwBytes);
    for (DWORD i = 0; i < dwBytes; ++i)
        ASSERT_EQ(static_cast<BYTE>(strShown[i]), static_cast<BYTE>(i * 7)) << "byte " << i;
    ExpectViewsInStep();
    EXPECT_GT(probe.GetAnswered(), 0) << "the window took other messages during the flood";
}

TEST_F(LogFloodTest, BlockFloodReachesBothViewsWholeThroughWinesUnboundedQueue)
{
    FloodOneBlock(0);
    EXPECT_EQ(m_host.GetRefusedPosts(), 0);
}

TEST_F(LogFloodTest, BlockFloodReachesBothViewsWholeWhenTheQueueRefusesPosts)
{
    // A full queue of the window, as Windows has at 10000 messages, refuses the
    // notice: the rows wait until the window is told.
    FloodOneBlock(2);
    EXPECT_GT(m_host.GetRefusedPosts(), 0) << "the window was never refused";
}

TEST_F(LogFloodTest, BothPortsTalkingAtOnceKeepTheViewsInStepWhenTheQueueRefusesPosts)
{
    // Only every third notice let through: each switch of port writes a block out, so the
    // window is told of rows again and again while it takes them.
    m_host.SetNoticeRefusal(3);
    const int nSwitches = 12000;
    auto feed = [this, nSwitches](int nPort) {
        for (int i = 0; i < nSwitches; ++i) {
            // Strict turns with the other port's thread.
            while (m_nTurn.load() % 2 != nPort)
                std::this_thread::yield();
            const BYTE b = static_cast<BYTE>(0x30 + nPort);
            m_host.Log().OnLineData(nPort, 1, &b);
            ++m_nTurn;
        }
    };
    std::thread left(feed, 0), right(feed, 1);
    PumpUntil([this, nSwitches] { return m_nTurn.load() == 2 * nSwitches; }, 600000);
    left.join();
    right.join();
    WaitForQuiet(300000);

    std::printf("both ports at once: %d/%d rows, %ld posts refused\n", m_host.Count(0), m_host.Count(1),
                m_host.GetRefusedPosts());
    EXPECT_GT(m_host.GetRefusedPosts(), 0);
    EXPECT_EQ(m_host.Count(0), 2 * nSwitches) << "a block per byte";
    ExpectViewsInStep();
}

}  // namespace
