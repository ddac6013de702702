#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/TrafficLog.h"
#include "settings/ProfileKeys.h"
#include "support/Format.h"
#include "tests/log/FakeLogHost.h"

namespace {

// Shift-JIS bytes of the signal columns, written out so that a wrong source
// charset cannot hide behind the same literal on both sides.
const std::string kOff = "\x81\x40\x84\xAB|";      // 　┃|
const std::string kOn = "\x84\xAB\x81\x40|";       // ┃　|
const std::string kWentOn = "\x84\xAC\x84\xAE|";   // ┏┛|
const std::string kWentOff = "\x84\xAF\x84\xAD|";  // ┗┓|
const std::string kHidden = "    |";
const std::string kUnknown = "\x81\x40\x81\x40|";  // 　　|

const bool kNoCts[2] = {false, false};
const bool kNoDsr[2] = {false, false};

class TrafficLogTest : public ::testing::Test
{
protected:
    TrafficLogTest() : log(&host) {}

    // Ports opened with both lines off, rows of the opening dropped, 16 bytes
    // a row, abbreviated dump.
    void OpenWithLinesOff(DWORD nWidthSetting = 0)
    {
        host.SetSetting(ZEV::INI_KEY_DATA_WIDTH, nWidthSetting);
        log.LoadDumpSettings();
        log.MarkOpen(kNoCts, kNoDsr);
        host.ClearRows();
    }

    void Byte(int nPort, BYTE c) { log.OnLineData(nPort, 1, &c); }

    void Bytes(int nPort, const std::vector<BYTE>& data)
    {
        for (BYTE c : data)
            Byte(nPort, c);
    }

    // Moves the clock on and lets the flush timer fire when it is due.
    void AdvanceTo(DWORD dwNow)
    {
        clock.Set(dwNow);
        host.FireDueTimer(log);
    }

    const std::vector<std::string>& Left() { return host.Rows(0); }
    const std::vector<std::string>& Right() { return host.Rows(1); }

    CTestClock clock;
    CFakeLogHost host;
    CTrafficLog log;
};

TEST_F(TrafficLogTest, BlockIsWrittenAfter100msAsDumpRowWithCompanionRow)
{
    OpenWithLinesOff();
    clock.Set(1000);
    log.MakeTimeColumn();
    clock.Set(1030);
    Byte(0, 0x41);
    AdvanceTo(1050);
    Byte(0, 0x42);
    AdvanceTo(1149);
    EXPECT_TRUE(Left().empty()) << "flushed before 100 ms of silence";

    AdvanceTo(1150);
    ASSERT_EQ(1u, Left().size());
    EXPECT_EQ(kOff + "000030| 0000 : 41 42 -- -- -- -- -- -- -- -- -- -- -- -- -- --  : AB", Left()[0]);
    ASSERT_EQ(1u, Right().size());
    EXPECT_EQ(kOff + "000030|", Right()[0]);
    EXPECT_FALSE(host.IsTimerRunning());
}

TEST_F(TrafficLogTest, PauseOf90msKeepsOneBlockAndOf110msStartsAnother)
{
    OpenWithLinesOff();
    clock.Set(5000);
    log.MakeTimeColumn();
    Byte(0, 'A');
    AdvanceTo(5090);
    Byte(0, 'B');
    AdvanceTo(5190);
    ASSERT_EQ(1u, Left().size());
    EXPECT_NE(std::string::npos, Left()[0].find(" : AB"));

    host.ClearRows();
    clock.Set(10000);
    log.MakeTimeColumn();
    Byte(0, 'A');
    AdvanceTo(10100);
    AdvanceTo(10110);
    Byte(0, 'B');
    AdvanceTo(10210);
    ASSERT_EQ(2u, Left().size());
    EXPECT_EQ(kOff + "000000| 0000 : 41 -- -- -- -- -- -- -- -- -- -- -- -- -- -- --  : A", Left()[0]);
    EXPECT_EQ(kOff + "000110| 0000 : 42 -- -- -- -- -- -- -- -- -- -- -- -- -- -- --  : B", Left()[1]);
    EXPECT_EQ(2u, Right().size());
}

TEST_F(TrafficLogTest, TimeColumnCountsUpToOneMinuteAcrossTickWrap)
{
    clock.Set(0);
    log.MakeTimeColumn();
    clock.Set(60000);
    EXPECT_EQ("060000|", log.MakeTimeColumn());
    clock.Set(120001);
    EXPECT_EQ("------|", log.MakeTimeColumn());
    clock.Set(0xFFFFFFF0u);
    log.MakeTimeColumn();
    clock.Set(0x10);
    EXPECT_EQ("000032|", log.MakeTimeColumn());
    EXPECT_EQ("000000|", log.MakeTimeColumn());
}

TEST_F(TrafficLogTest, OpeningMakesNextTimeColumnUnknownAndPostsMarkerAndSignalRows)
{
    const bool cts[2] = {true, false};
    const bool dsr[2] = {true, false};
    clock.Set(100);
    log.MakeTimeColumn();
    clock.Set(200);
    log.MarkOpen(cts, dsr);

    EXPECT_EQ((std::vector<std::string>{"----- Open -----", kOn}), Left());
    EXPECT_EQ((std::vector<std::string>{"----- Open -----", kOff}), Right());
    EXPECT_EQ(" L H     <\\\\.\\COM3>        DTR(LOW)", host.Header(0));
    EXPECT_EQ(" L H     <\\\\.\\COM4>        DTR(HI)", host.Header(1));
    clock.Set(210);
    EXPECT_EQ("------|", log.MakeTimeColumn());
}

TEST_F(TrafficLogTest, ByteOfOtherPortWritesPendingBlockAtOnce)
{
    OpenWithLinesOff();
    clock.Set(1000);
    log.MakeTimeColumn();
    Bytes(0, {'o', 'k'});
    AdvanceTo(1020);
    Byte(1, '!');

    ASSERT_EQ(1u, Left().size());
    EXPECT_EQ(kOff + "000000| 0000 : 6F 6B -- -- -- -- -- -- -- -- -- -- -- -- -- --  : ok", Left()[0]);
    EXPECT_EQ((std::vector<std::string>{kOff + "000000|"}), Right());

    AdvanceTo(1120);
    ASSERT_EQ(2u, Right().size());
    EXPECT_EQ(kOff + "000020| 0000 : 21 -- -- -- -- -- -- -- -- -- -- -- -- -- -- --  : !", Right()[1]);
    EXPECT_EQ(kOff + "000020|", Left()[1]);
}

TEST_F(TrafficLogTest, CtsChangeFlushesAndPostsTransitionRowThenColumnFollowsLine)
{
    OpenWithLinesOff();
    clock.Set(1000);
    log.MakeTimeColumn();
    Byte(1, 'x');
    clock.Set(1040);
    log.OnCtsChanged(0, true);

    ASSERT_EQ(2u, Left().size());
    EXPECT_EQ(kOff + "000000|", Left()[0]);
    EXPECT_EQ(kWentOn + "000040| RTS is Low", Left()[1]);
    EXPECT_EQ(kOff + "000040|", Right()[1]);

    clock.Set(1050);
    Byte(0, 'y');
    AdvanceTo(1150);
    EXPECT_EQ(0u, Left()[2].find(kOn + "000010| 0000 : 79"));
    EXPECT_EQ(kOff + "000010|", Right()[2]);

    clock.Set(1170);
    log.OnCtsChanged(0, false);
    EXPECT_EQ(kWentOff + "000120| RTS is Hi", Left()[3]);
    EXPECT_EQ(kOff, log.GetSignalColumn(0));

    // A gap the relay had to leave in its reports is one row at its place.
    log.OnLineLost(0, 1234, 2);
    EXPECT_EQ(kOff + "000000| Not shown: 1234 bytes, 2 line changes", Left()[4]);
    EXPECT_EQ(kOff + "000000|", Right()[4]);
}

// Each event is a row of the port that saw it, between the bytes before and after it;
// with the line rows hidden it adds nothing and leaves the block whole.
TEST_F(TrafficLogTest, BreaksAndLineErrorsAreRowsOfTheirPortAmongItsBytes)
{
    const char* const texts[] = {"BREAK", "Framing error", "Parity error", "Overrun error", "Receive overflow", "Line error"};
    OpenWithLinesOff();
    for (int nEvent = LINE_BREAK; nEvent <= LINE_ERROR; ++nEvent) {
        host.ClearRows();
        clock.Set(5000);
        log.MakeTimeColumn();
        Byte(1, 'a');
        clock.Set(5007);
        log.OnLineEvent(1, static_cast<ELineEvent>(nEvent));
        Byte(1, 'b');
        AdvanceTo(5200);
        EXPECT_EQ((std::vector<std::string>{kOff + "000000|", kOff + "000007|", kOff + "000000|"}), Left());
        ASSERT_EQ(3u, Right().size());
        EXPECT_EQ(kOff + "000007| " + texts[nEvent], Right()[1]);
        EXPECT_TRUE(Right()[0].find(" 61 ") != std::string::npos && Right()[2].find(" 62 ") != std::string::npos);
    }
    host.ClearRows();
    host.SetSetting(ZEV::INI_KEY_SIGNAL_MODE, 1);
    Bytes(0, {'c', 'd'});
    log.OnLineEvent(0, LINE_BREAK);
    AdvanceTo(5400);
    ASSERT_EQ(1u, Left().size());
    EXPECT_NE(std::string::npos, Left()[0].find("63 64"));
}

TEST_F(TrafficLogTest, DsrChangeRewritesOnlyTheHeader)
{
    log.OnDsrChanged(1, true);
    EXPECT_EQ("", host.Header(1)) << "the label keeps its dialog text until the ports are opened";
    OpenWithLinesOff();
    Byte(0, 'z');
    log.OnDsrChanged(0, true);
    EXPECT_EQ(" L H     <\\\\.\\COM3>        DTR(LOW)", host.Header(0));
    EXPECT_EQ(1u, Left().size()) << "a DSR change flushes the pending block but adds no row";
    EXPECT_EQ(1u, Right().size());

    log.OnDsrChanged(0, false);
    EXPECT_EQ(" L H     <\\\\.\\COM3>        DTR(HI)", host.Header(0));
    EXPECT_EQ(1u, Left().size());
}

TEST_F(TrafficLogTest, HiddenSignalLinesNeitherWriteNorFlush)
{
    host.SetSetting(ZEV::INI_KEY_SIGNAL_MODE, 1);
    log.MarkOpen(kNoCts, kNoDsr);
    EXPECT_EQ((std::vector<std::string>{"----- Open -----"}), Left());
    EXPECT_EQ((std::vector<std::string>{"----- Open -----"}), Right());
    EXPECT_EQ(" L H     <\\\\.\\COM3>        ", host.Header(0));
    host.ClearRows();

    clock.Set(100);
    Byte(0, 'q');
    log.OnCtsChanged(0, true);
    log.OnDsrChanged(0, true);
    log.OnCtsChanged(1, true);
    EXPECT_TRUE(Left().empty());
    EXPECT_TRUE(Right().empty());
    EXPECT_EQ(" L H     <\\\\.\\COM3>        ", host.Header(0));
    EXPECT_TRUE(host.IsTimerRunning());

    AdvanceTo(200);
    ASSERT_EQ(1u, Left().size());
    EXPECT_EQ(0u, Left()[0].find(kHidden + "------| 0000 : 71"));
    EXPECT_EQ(kHidden + "------|", Right()[0]);
}

TEST_F(TrafficLogTest, ClearedViewsReceiveTheBlockStillPending)
{
    OpenWithLinesOff();
    log.MarkPause();
    clock.Set(500);
    Byte(1, 'k');
    log.ClearLog();
    EXPECT_TRUE(Left().empty());
    EXPECT_TRUE(Right().empty());

    AdvanceTo(600);
    EXPECT_EQ((std::vector<std::string>{kOff + "------|"}), Left());
    ASSERT_EQ(1u, Right().size());
    EXPECT_EQ(0u, Right()[0].find(kOff + "------| 0000 : 6B"));
    clock.Set(700);
    EXPECT_EQ("------|", log.MakeTimeColumn());
}

TEST_F(TrafficLogTest, BlockWithoutBytesAddsNoRows)
{
    OpenWithLinesOff();
    const BYTE none = 0;
    log.OnLineData(0, 0, &none);
    AdvanceTo(100);
    EXPECT_TRUE(Left().empty());
    EXPECT_TRUE(Right().empty());
    EXPECT_FALSE(host.IsTimerRunning());
}

TEST_F(TrafficLogTest, MonitoringOffDropsBytesButSignalColumnFollowsLine)
{
    OpenWithLinesOff();
    Byte(0, 'a');
    host.m_bMonitoring = false;
    log.MarkPause();
    Byte(0, 'b');   // dropped; flushes the block that holds 'a'
    log.OnCtsChanged(1, true);
    log.OnDsrChanged(1, true);

    // The block came before the pause: its rows come before the empty row.
    ASSERT_EQ(2u, Left().size());
    EXPECT_NE(std::string::npos, Left()[0].find(" : a"));
    EXPECT_EQ("", Left()[1]);
    EXPECT_EQ((std::vector<std::string>{kOff + "------|", ""}), Right());
    EXPECT_EQ(kOn, log.GetSignalColumn(1));
    EXPECT_EQ(" L H     <\\\\.\\COM4>        DTR(LOW)", host.Header(1));

    host.m_bMonitoring = true;
    log.ResetTimeColumn();
    Byte(0, 'c');
    AdvanceTo(100);
    EXPECT_EQ(kOn + "------|", Right()[2]);
}

TEST_F(TrafficLogTest, ApplyLogSettingsChangesLayoutAndRestatesSignalColumns)
{
    log.LoadDumpSettings();
    EXPECT_EQ(8u, log.GetLineBytes()) << "default";
    EXPECT_FALSE(log.IsFullDump());
    EXPECT_EQ(kUnknown, log.GetSignalColumn(0));
    OpenWithLinesOff(0);
    host.SetSetting(ZEV::INI_KEY_DATA_WIDTH, 1);
    host.SetSetting(ZEV::INI_KEY_DATA_VIEW_TYPE, 1);
    const bool cts[2] = {false, true};
    log.ApplyLogSettings(cts);
    EXPECT_EQ(8u, log.GetLineBytes());
    EXPECT_TRUE(log.IsFullDump());
    EXPECT_EQ((std::vector<std::string>{kOff}), Left());
    EXPECT_EQ((std::vector<std::string>{kOn}), Right());

    host.ClearRows();
    host.SetSetting(ZEV::INI_KEY_SIGNAL_MODE, 1);
    log.ApplyLogSettings(cts);
    EXPECT_TRUE(Left().empty());
    EXPECT_EQ(kHidden, log.GetSignalColumn(0));
    EXPECT_EQ(kHidden, log.GetSignalColumn(1));
}

TEST_F(TrafficLogTest, RowsTheWindowCouldNotBeToldOfArriveLaterInOrderAndInStep)
{
    // The window's queue is full (Windows refuses posts beyond 10000): the
    // rows wait, and the flush timer asks again until the window is told.
    host.SetSetting(ZEV::INI_KEY_DATA_VIEW_TYPE, 1);
    OpenWithLinesOff(0);
    host.m_bRefuseNotices = true;
    const DWORD kSize = 1 << 16;
    std::vector<BYTE> data(kSize);
    for (DWORD i = 0; i < kSize; ++i)
        data[i] = static_cast<BYTE>('A' + i / 16 % 26);
    clock.Set(100);
    log.OnLineData(0, kSize, data.data());
    AdvanceTo(200);
    AdvanceTo(300);
    EXPECT_TRUE(Left().empty());
    EXPECT_EQ(kSize / 16, log.GetBacklogSize());
    EXPECT_TRUE(host.IsTimerRunning()) << "nothing would ask the window again";

    host.m_bRefuseNotices = false;
    AdvanceTo(400);
    ASSERT_EQ(kSize / 16, Left().size());
    ASSERT_EQ(kSize / 16, Right().size());
    EXPECT_EQ(0u, log.GetBacklogSize());
    for (size_t i = 0; i < Left().size(); i += 997) {
        const std::string own = kOff + (i == 0 ? "------| " : "      | ") +
                                ZEV::Format("%04X : ", static_cast<unsigned>(i * 16 % 0x10000));
        ASSERT_EQ(0u, Left()[i].rfind(own, 0)) << "row " << i << ": " << Left()[i];
        ASSERT_EQ(kOff + (i == 0 ? "------|" : "      |"), Right()[i]);
    }
}

TEST_F(TrafficLogTest, NeverPausingPortGetsABlockEvery64KiBWithItsOwnTimeColumn)
{
    OpenWithLinesOff();
    const std::vector<BYTE> chunk(1000, 'n');
    for (DWORD i = 0; i < 200; ++i) {   // 200,000 bytes, 50 ms apart
        AdvanceTo(i * 50);
        log.OnLineData(0, 1000, chunk.data());
    }
    EXPECT_EQ(65536u, log.GetPendingMemory());
    ASSERT_EQ(27u, Left().size()) << "three blocks of nine rows";
    EXPECT_EQ(0u, Left()[9].find(kOff + "003250| 0000 : 6E")) << Left()[9];
    EXPECT_EQ(0u, Left()[18].find(kOff + "003300| 0000 : 6E")) << Left()[18];
}

TEST_F(TrafficLogTest, ClearLogDropsRowsNotYetHandedOver)
{
    OpenWithLinesOff();
    host.m_bRefuseNotices = true;
    Byte(0, 'a');
    AdvanceTo(100);
    log.ClearLog();
    host.m_bRefuseNotices = false;
    log.MarkPause();
    EXPECT_EQ((std::vector<std::string>{""}), Left());
    EXPECT_EQ((std::vector<std::string>{""}), Right());
}

TEST_F(TrafficLogTest, BytesArmTheFlushTimerOnceAndTheBlockIsWritten100msAfterItsLastByte)
{
    OpenWithLinesOff();
    host.m_nTimerStarts = 0;
    clock.Set(1000);
    Bytes(0, std::vector<BYTE>(500, 'a'));
    clock.Set(1060);
    Bytes(0, std::vector<BYTE>(500, 'b'));
    EXPECT_EQ(1, host.m_nTimerStarts) << "a call into the window system per byte";
    AdvanceTo(1100);   // early: armed again for the rest
    AdvanceTo(1159);
    EXPECT_TRUE(Left().empty());
    AdvanceTo(1160);
    EXPECT_FALSE(Left().empty());
    EXPECT_EQ(Left().size(), Right().size());

    // Both ports in turn: a block per byte, still no timer call per block.
    for (int i = 0; i < 200; ++i)
        Byte(i % 2, 'c');
    EXPECT_EQ(3, host.m_nTimerStarts);
}

} // namespace
