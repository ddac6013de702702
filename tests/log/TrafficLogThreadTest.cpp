#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "log/TrafficLog.h"
#include "settings/ProfileKeys.h"
#include "tests/log/FakeLogHost.h"

namespace {

// One relay's event thread: bytes with short pauses, now and then a CTS change.
void DriveEvents(CTrafficLog& log, int nPort, std::atomic<bool>& bRun)
{
    unsigned n = 0;
    while (bRun) {
        const BYTE c = static_cast<BYTE>('a' + n % 26);
        log.OnLineData(nPort, 1, &c);
        if (++n % 97 == 0)
            log.OnCtsChanged(nPort, n % 2 == 0);
        if (n % 13 == 0)
            Sleep(1);
    }
}

// Rows of the same index carry the same time column (when both have one).
void ExpectPairsShareTimeColumn(const std::vector<std::string>& left, const std::vector<std::string>& right)
{
    size_t nChecked = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i].size() < 12 || right[i].size() < 12)
            continue;
        ASSERT_EQ(left[i].substr(5, 7), right[i].substr(5, 7)) << "row " << i << ": " << left[i] << " / " << right[i];
        ++nChecked;
    }
    EXPECT_GT(nChecked, 100u);
}

TEST(TrafficLogThreadTest, ViewsStayInStepWhileTwoEventThreadsAndWindowThreadDriveTheLog)
{
    CFakeLogHost host;
    host.SetSetting(ZEV::INI_KEY_DATA_WIDTH, 1);
    host.m_nQueueLimit = 64;   // small, so that refused rows are part of the run
    CTrafficLog log(&host);
    const bool cts[2] = {false, true};
    log.LoadDumpSettings();
    log.MarkOpen(cts, cts);

    std::atomic<bool> bRun(true);
    std::thread port1(DriveEvents, std::ref(log), 0, std::ref(bRun));
    std::thread port2(DriveEvents, std::ref(log), 1, std::ref(bRun));

    // The window thread: drains its queue, serves the flush timer, and now
    // and then a command.
    const DWORD dwStart = GetTickCount();
    unsigned nPass = 0;
    bool bCleared = false;
    while (GetTickCount() - dwStart < 2500) {
        host.Pump();
        host.FireDueTimer(log);
        ++nPass;
        if (nPass % 500 == 0)
            log.ApplyLogSettings(cts);
        if (nPass % 700 == 0)
            log.MarkPause();
        if (!bCleared && GetTickCount() - dwStart > 1000) {
            log.ClearLog();
            bCleared = true;
        }
        Sleep(0);
    }
    bRun = false;
    port1.join();
    port2.join();

    log.FlushPending();
    for (int i = 0; i < 10000 && log.GetBacklogSize() > 0; ++i) {
        host.Pump();
        log.FlushPending();
    }
    ASSERT_EQ(0u, log.GetBacklogSize());
    const std::vector<std::string> left = host.Rows(0);
    const std::vector<std::string> right = host.Rows(1);
    ASSERT_GT(left.size(), 100u);
    ASSERT_EQ(left.size(), right.size());
    ExpectPairsShareTimeColumn(left, right);
}

} // namespace
