#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "monitor/LinePoller.h"
#include "monitor/LineRelay.h"
#include "monitor/RelayQueue.h"
#include "tests/monitor/EventLog.h"
#include "tests/sim/SimPortPair.h"

namespace {

const DWORD WAIT = 10000;

ZEV::TPortSetting Setting(int nPort, DWORD dwBaud = 9600)
{
    ZEV::TPortSetting setting;
    setting.strPortName = ZEV::MakePortName(nPort);
    setting.dwBaudRate = dwBaud;
    setting.nByteSize = 8;
    return setting;
}

class RelayTest : public ::testing::Test
{
protected:
    RelayTest() { m_sim.Install(); }

    void AttachBoth()
    {
        m_port1.Attach(0, &m_log, &m_port2);
        m_port2.Attach(1, &m_log, &m_port1);
        m_port1.SetPortSetting(Setting(1));
        m_port2.SetPortSetting(Setting(2));
    }

    // Both ports open and their first receive passes reported.
    void OpenBoth()
    {
        AttachBoth();
        ASSERT_TRUE(m_port1.Open());
        ASSERT_TRUE(m_port2.Open());
        ASSERT_TRUE(m_log.WaitForLines(4, WAIT));
    }

    // Events of one relay arrive in order, so once a byte sent after a
    // change is reported, everything the change caused is reported too.
    void Settle(int nPort, BYTE nMarker)
    {
        size_t nBefore = m_log.Count(nPort, 'D');
        m_sim.DeviceSend(nPort, &nMarker, 1);
        ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(nPort, 'D') > nBefore; }, WAIT));
    }

    // Put over the sim by a test; a receive thread may be inside one of its
    // calls until the relays are gone.
    template <class T>
    T& Forward()
    {
        T* p = new T(m_sim);
        m_pForwarder.reset(p);
        return *p;
    }

    // The sim and any forwarder outlive the relays: they are destroyed first.
    CSimPortPair m_sim;
    CEventLog m_log;
    std::unique_ptr<CSimForwarder> m_pForwarder;
    CLineRelay m_port1;
    CLineRelay m_port2;
};

TEST_F(RelayTest, BytesGoOutOfThePartnerAndAreReportedWithTheReceivingIndex)
{
    OpenBoth();
    m_sim.DeviceSend(0, "\x41");
    m_sim.DeviceSend(1, "\x7F");

    ASSERT_TRUE(m_sim.WaitForDeviceBytes(1, 1, WAIT));
    ASSERT_TRUE(m_sim.WaitForDeviceBytes(0, 1, WAIT));
    EXPECT_EQ("\x41", m_sim.TakeDeviceBytes(1));
    EXPECT_EQ("\x7F", m_sim.TakeDeviceBytes(0));
    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(-1, 'D') == 2; }, WAIT));
    EXPECT_EQ(std::vector<std::string>{"D0:41"}, m_log.Of(0, 'D'));
    EXPECT_EQ(std::vector<std::string>{"D1:7F"}, m_log.Of(1, 'D'));
    // Reports come on the relay's own event thread, never on the receive
    // thread or the caller's.
    for (const CEventLog::TEvent& event : m_log.Events()) {
        const CLineRelay& relay = event.nIndex == 0 ? m_port1 : m_port2;
        EXPECT_EQ(relay.GetEventThreadId(), event.dwThreadId) << event.strText;
    }
    // Without flow control the driver is not told to wait for CTS.
    EXPECT_EQ(0u, m_sim.GetDcb(1).fOutxCtsFlow);
}

TEST_F(RelayTest, BytesArrivingTogetherAreRelayedAndReportedOneByOneInOrder)
{
    OpenBoth();
    m_sim.DeviceSend(0, std::string("\x01\x00\xFF", 3));

    ASSERT_TRUE(m_sim.WaitForDeviceBytes(1, 3, WAIT));
    EXPECT_EQ(std::string("\x01\x00\xFF", 3), m_sim.TakeDeviceBytes(1));
    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(0, 'D') == 3; }, WAIT));
    EXPECT_EQ((std::vector<std::string>{"D0:01", "D0:00", "D0:FF"}), m_log.Of(0, 'D'));
}

TEST_F(RelayTest, WithThePartnerClosedBytesAreReportedButNothingIsWritten)
{
    AttachBoth();
    ASSERT_TRUE(m_port1.Open());
    m_sim.DeviceSend(0, "AB");

    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(0, 'D') == 2; }, WAIT));
    EXPECT_EQ((std::vector<std::string>{"D0:41", "D0:42"}), m_log.Of(0, 'D'));
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_WRITE));
    EXPECT_EQ("", m_sim.GetDeviceBytes(1));
    EXPECT_FALSE(m_port2.IsReceiving());
}

TEST_F(RelayTest, CtsFlowHoldsAChunkForOneWriteTimeoutThenGoesOn)
{
    m_port1.m_bCtsFlow = true;
    m_port2.m_bCtsFlow = true;
    OpenBoth();
    DCB dcb = m_sim.GetDcb(1);
    EXPECT_EQ(1u, dcb.fOutxCtsFlow);
    EXPECT_EQ(0u, dcb.fTXContinueOnXoff);
    EXPECT_EQ(0u, dcb.fOutX);
    EXPECT_EQ(0u, dcb.fInX);

    // Device 2 keeps its RTS low, so port2 may not send: the bytes are
    // reported at once, and the held write gives up after one write time-out
    // (1000 ms + 3 ms per byte), not one per byte.
    DWORD dwStart = GetTickCount();
    m_sim.DeviceSend(0, "\x10\x20");
    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(0, 'D') == 2; }, WAIT));
    EXPECT_LT(GetTickCount() - dwStart, 500u);
    ASSERT_TRUE(m_log.WaitFor([&] { return m_port1.GetBytesGivenUp() == 2; }, WAIT));
    DWORD dwGivenUp = GetTickCount() - dwStart;
    EXPECT_GE(dwGivenUp, 900u);
    EXPECT_LT(dwGivenUp, 1800u);
    EXPECT_EQ((std::vector<std::string>{"D0:10", "D0:20"}), m_log.Of(0, 'D'));
    EXPECT_EQ("", m_sim.GetDeviceBytes(1));

    // Once the device is ready, the relay carries on at once.
    m_sim.SetDeviceRts(1, true);
    m_sim.DeviceSend(0, "\x30");
    ASSERT_TRUE(m_sim.WaitForDeviceBytes(1, 1, WAIT));
    EXPECT_EQ("\x30", m_sim.TakeDeviceBytes(1));
}

TEST_F(RelayTest, DeviceLinesAreMirroredOntoThePartnerAndReportedOnce)
{
    OpenBoth();
    m_sim.SetDeviceRts(0, true);
    ASSERT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetPortRts(1); }, WAIT));
    m_sim.SetDeviceDtr(1, true);
    ASSERT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetPortDtr(0); }, WAIT));
    m_sim.SetDeviceDtr(1, false);
    ASSERT_TRUE(m_sim.WaitUntil([&] { return !m_sim.GetPortDtr(0); }, WAIT));
    // The first pass reported both lines once; holding the raised RTS
    // reports nothing more.
    Sleep(100);
    Settle(0, 0xB0);
    Settle(1, 0xB1);

    EXPECT_EQ((std::vector<std::string>{"C0:0", "S0:0", "C0:1", "D0:B0"}), m_log.Of(0));
    EXPECT_EQ((std::vector<std::string>{"C1:0", "S1:0", "S1:1", "S1:0", "D1:B1"}), m_log.Of(1));
    EXPECT_TRUE(m_sim.GetPortRts(1));
    EXPECT_FALSE(m_sim.GetPortRts(0));
    std::vector<DWORD> escapes = m_sim.GetEscapes(1);
    EXPECT_EQ(1, std::count(escapes.begin(), escapes.end(), static_cast<DWORD>(SETRTS)));
}

TEST_F(RelayTest, CtsAndDsrChangingTogetherAreReportedCtsFirst)
{
    OpenBoth();
    CLineFlipper& flipper = Forward<CLineFlipper>();
    flipper.Arm();
    ASSERT_TRUE(m_sim.WaitUntil([&] { return flipper.IsDone(); }, WAIT));
    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(0, 'C') == 2 && m_log.Count(0, 'S') == 2; }, WAIT));

    EXPECT_EQ((std::vector<std::string>{"C0:0", "S0:0", "C0:1", "S0:1"}), m_log.Of(0));
}

TEST_F(RelayTest, UnreadableStatusDropsThePartnersOutputsAndReportsOffOnce)
{
    OpenBoth();
    m_sim.SetDeviceRts(0, true);
    ASSERT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetPortRts(1); }, WAIT));
    m_sim.SetDeviceDtr(0, true);
    ASSERT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetPortDtr(1); }, WAIT));

    m_sim.SetFault(0, CSimPortPair::SIM_STATUS_UNREADABLE, true);
    ASSERT_TRUE(m_sim.WaitUntil([&] { return !m_sim.GetPortRts(1) && !m_sim.GetPortDtr(1); }, WAIT));
    Sleep(100);
    Settle(0, 0xD0);

    // The fault may strike between the two status reads of one pass, so the two
    // reports to off may come in either order; each line is reported off once.
    std::vector<std::string> events = m_log.Of(0);
    ASSERT_EQ(7u, events.size());
    EXPECT_EQ((std::vector<std::string>{"C0:0", "S0:0", "C0:1", "S0:1"}),
              std::vector<std::string>(events.begin(), events.begin() + 4));
    std::vector<std::string> offs(events.begin() + 4, events.begin() + 6);
    std::sort(offs.begin(), offs.end());
    EXPECT_EQ((std::vector<std::string>{"C0:0", "S0:0"}), offs);
    EXPECT_EQ("D0:D0", events[6]);
}

TEST_F(RelayTest, ReopeningWithNewSettingsKeepsEventThreadsAndLastLineStates)
{
    m_sim.SetDeviceRts(0, true);
    m_sim.SetDeviceDtr(1, true);
    OpenBoth();
    DWORD dwEvent1 = m_port1.GetEventThreadId();
    DWORD dwEvent2 = m_port2.GetEventThreadId();
    DWORD dwReceive1 = m_port1.GetReceiveThreadId();
    HANDLE hOld1 = m_sim.GetOpenHandle(0);
    HANDLE hOld2 = m_sim.GetOpenHandle(1);

    // What the port settings dialog does on OK with both ports open.
    EXPECT_EQ(0u, m_port1.SetPortSetting(Setting(1, 19200)));
    EXPECT_EQ(0u, m_port2.SetPortSetting(Setting(2, 19200)));
    ASSERT_TRUE(m_port1.Open());
    ASSERT_TRUE(m_port2.Open());

    EXPECT_NE(hOld1, m_sim.GetOpenHandle(0));
    EXPECT_NE(hOld2, m_sim.GetOpenHandle(1));
    EXPECT_EQ(19200u, m_sim.GetDcb(0).BaudRate);
    EXPECT_TRUE(m_port1.IsReceiving());
    EXPECT_NE(dwReceive1, m_port1.GetReceiveThreadId());
    EXPECT_EQ(dwEvent1, m_port1.GetEventThreadId());
    EXPECT_EQ(dwEvent2, m_port2.GetEventThreadId());
    EXPECT_EQ(1, m_port1.GetLastCts());
    EXPECT_EQ(1, m_port2.GetLastDsr());

    // The lines did not change, so a reopened port reports none of them.
    Settle(0, 0xE0);
    Settle(1, 0xE1);
    EXPECT_EQ((std::vector<std::string>{"C0:1", "S0:0", "D0:E0"}), m_log.Of(0));
    EXPECT_EQ((std::vector<std::string>{"C1:0", "S1:1", "D1:E1"}), m_log.Of(1));
    ASSERT_TRUE(m_sim.WaitForDeviceBytes(1, 1, WAIT));
    EXPECT_EQ("\xE0", m_sim.TakeDeviceBytes(1));
}

TEST_F(RelayTest, PrimingSetsOutputsFromThePartnersInputsInOrderAndReportsNothing)
{
    m_sim.SetDeviceRts(0, true); // port1 CTS on, DSR off
    m_sim.SetDeviceDtr(1, true); // port2 CTS off, DSR on
    OpenBoth();
    m_port1.SetRts(false);
    m_port1.SetDtr(false);
    m_port2.SetRts(false);
    m_port2.SetDtr(false);

    CCallRecorder& recorder = Forward<CCallRecorder>();
    bool bCts1 = false;
    bool bCts2 = true;
    PrimeLines(m_port1, m_port2, bCts1, bCts2);
    std::vector<std::string> calls = recorder.Calls();

    EXPECT_TRUE(bCts1);
    EXPECT_FALSE(bCts2);
    EXPECT_EQ((std::vector<std::string>{"status 2", "escape 1 SETDTR", "status 1", "escape 2 CLRDTR", "status 1",
                                        "status 2", "escape 1 CLRRTS", "escape 1 SETDTR", "escape 1 SETDTR",
                                        "escape 2 SETRTS", "escape 2 CLRDTR", "escape 2 CLRDTR"}),
              calls);
    EXPECT_TRUE(m_sim.GetPortDtr(0));
    EXPECT_FALSE(m_sim.GetPortDtr(1));
    EXPECT_FALSE(m_sim.GetPortRts(0));
    EXPECT_TRUE(m_sim.GetPortRts(1));

    Settle(0, 0xF0);
    Settle(1, 0xF1);
    EXPECT_EQ((std::vector<std::string>{"C0:1", "S0:0", "D0:F0"}), m_log.Of(0));
    EXPECT_EQ((std::vector<std::string>{"C1:0", "S1:1", "D1:F1"}), m_log.Of(1));
}

// Wall-clock time of one action, in ms.
template <class F>
DWORD Elapsed(F action)
{
    DWORD dwStart = GetTickCount();
    action();
    return GetTickCount() - dwStart;
}

TEST_F(RelayTest, IdleLineChangesReachThePartnerPromptlyWithAndWithoutLineEvents)
{
    // Without line events (a pty under Wine) the lines are polled instead.
    for (bool bEvents : {true, false}) {
        m_sim.SetFault(0, CSimPortPair::SIM_NO_LINE_EVENTS, !bEvents);
        OpenBoth();
        std::vector<DWORD> delays;
        for (int i = 0; i < 10; ++i) {
            bool bOn = i % 2 == 0;
            delays.push_back(Elapsed([&] {
                m_sim.SetDeviceRts(0, bOn);
                EXPECT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetPortRts(1) == bOn; }, WAIT));
            }));
        }
        std::sort(delays.begin(), delays.end());
        // Generous for a busy machine; a relay that waited for traffic, or
        // polled its lines rarely, takes far longer.
        EXPECT_LT(delays[5], 25u) << "line events " << bEvents;
        m_port1.Close();
        m_port2.Close();
    }
}

TEST_F(RelayTest, ClosingAnIdlePortStopsItsReceiveThreadAtOnce)
{
    OpenBoth();
    DWORD dwClose = Elapsed([&] { m_port1.Close(); });
    EXPECT_FALSE(m_port1.IsReceiving());
    EXPECT_LT(dwClose, 250u);
}

TEST_F(RelayTest, FloodsBothWaysAtOnceArriveWholeAndAreReportedByteByByteInOrder)
{
    OpenBoth();
    // The port is overlapped: on Windows (and in the sim) a synchronous
    // handle would hold the partner's writes while this side waits to read.
    EXPECT_TRUE(m_sim.IsPortOverlapped(0));
    EXPECT_TRUE(m_sim.IsPortOverlapped(1));
    std::string strTo2;
    std::string strTo1;
    for (int i = 0; i < 20000; ++i) {
        strTo2.push_back(static_cast<char>(i * 7 + i / 256));
        strTo1.push_back(static_cast<char>(i * 13 + 1));
    }
    for (size_t nAt = 0; nAt < strTo2.size(); nAt += 500) {
        m_sim.DeviceSend(0, strTo2.substr(nAt, 500));
        m_sim.DeviceSend(1, strTo1.substr(nAt, 500));
    }
    ASSERT_TRUE(m_sim.WaitForDeviceBytes(1, strTo2.size(), WAIT));
    ASSERT_TRUE(m_sim.WaitForDeviceBytes(0, strTo1.size(), WAIT));
    EXPECT_EQ(strTo2, m_sim.GetDeviceBytes(1));
    EXPECT_EQ(strTo1, m_sim.GetDeviceBytes(0));
    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(-1, 'D') == 2 * strTo2.size(); }, WAIT));
    std::vector<std::string> reported = m_log.Of(0, 'D');
    for (size_t i = 0; i < strTo2.size(); ++i) {
        char text[8];
        snprintf(text, sizeof(text), "D0:%02X", static_cast<BYTE>(strTo2[i]));
        ASSERT_EQ(text, reported[i]) << "byte " << i;
    }
}

TEST_F(RelayTest, AFloodIntoAStalledEventThreadIsReportedWholeInOrder)
{
    OpenBoth();
    m_log.Hold(true);
    // One read per byte: more reads than Windows lets messages wait in a
    // queue (the event thread keeps that limit under Wine too).
    m_sim.SetReadLimit(0, 1);
    std::string strSent;
    for (int i = 0; i < 2 * (ZEV::POSTED_MESSAGE_LIMIT + 500); ++i)
        strSent.push_back(static_cast<char>(i * 7 + i / 256));
    m_sim.DeviceSend(0, strSent);
    ASSERT_TRUE(m_sim.WaitForDeviceBytes(1, strSent.size(), 60000));
    m_log.Hold(false);
    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(0, 'D') == strSent.size(); }, WAIT));
    std::vector<std::string> reported = m_log.Of(0, 'D');
    for (size_t i = 0; i < strSent.size(); ++i) {
        char text[8];
        snprintf(text, sizeof(text), "D0:%02X", static_cast<BYTE>(strSent[i]));
        ASSERT_EQ(text, reported[i]) << "byte " << i;
    }
    EXPECT_EQ(0u, m_log.Count(0, 'L'));
    EXPECT_GT(m_log.m_qwLastTime.load(), 1700000000000000ull) << "stamped with the UTC time";
}

TEST(RelayQueueTest, WhatPassesTheBoundIsCountedOnceAtItsPlace)
{
    CRelayQueue queue(4, 8);
    CEventLog log;
    const BYTE bytes[] = {0x61, 0x62, 0x63, 0x64, 0x65};
    EXPECT_TRUE(queue.AddData(bytes, 2, 100)) << "turns non-empty: wake";
    EXPECT_FALSE(queue.AddEntry(RELAY_CTS, 1, 100));
    EXPECT_FALSE(queue.AddData(bytes + 2, 3, 200)) << "past 4 bytes: given up";
    EXPECT_FALSE(queue.AddEntry(RELAY_DSR, 1, 300)) << "behind the gap: joins its count";
    queue.OnWakeRefused();
    EXPECT_TRUE(queue.Rewake());
    queue.Deliver(0, &log);
    EXPECT_EQ((std::vector<std::string>{"D0:61", "D0:62", "C0:1", "L0:3/1"}), log.Of(0));
    EXPECT_EQ(200u, log.m_qwLastTime.load());
    EXPECT_TRUE(queue.AddData(bytes + 4, 1, 400)) << "taken: room again";
    queue.Deliver(0, &log);
    EXPECT_EQ("D0:65", log.Of(0).back());
}

// What real drivers do, each as a personality of the simulated pair.
TEST_F(RelayTest, RelaysMirrorsAndStopsPromptlyOnEveryDriver)
{
    const struct { const char* pszName; int nDriver; bool bDcbLeft; bool bBreak; } rows[] = {
        {"plain", -1, false, false}, {"usbser", CSimPortPair::SIM_USBSER, false, false},
        {"ch340", CSimPortPair::SIM_CH340, false, false}, {"ftdi", CSimPortPair::SIM_FTDI, false, false},
        {"wine", CSimPortPair::SIM_WINE, false, false},
        {"fAbortOnError, fNull, equal XON/XOFF and odd limits left", -1, true, false}, {"a break and errors", -1, false, true}};
    m_port1.m_bCtsFlow = m_port2.m_bCtsFlow = true;
    std::string strFlood;
    for (int i = 0; i < 6000; ++i)
        strFlood.push_back(static_cast<char>(i * 7 + i / 256));
    size_t nReported = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        for (int nPort : {0, 1}) {
            for (int nFault = CSimPortPair::SIM_USBSER; nFault <= CSimPortPair::SIM_REUSE_HANDLES; ++nFault)
                m_sim.SetFault(nPort, CSimPortPair::ESimFault(nFault),
                               nFault == row.nDriver || nFault == CSimPortPair::SIM_REUSE_HANDLES);
            DCB dcb = m_sim.GetDcb(nPort);
            dcb.fAbortOnError = dcb.fNull = row.bDcbLeft;
            if (row.bDcbLeft) {
                dcb.XonChar = dcb.XoffChar = 0;
                dcb.XonLim = dcb.XoffLim = 0xFFFF;
            }
            m_sim.SetDriverDcb(nPort, dcb);
            m_sim.SetDeviceRts(nPort, true);
            m_sim.SetDeviceDtr(nPort, false);
        }
        OpenBoth();
        // As the program does once both ports are open: a line found before the partner
        // was open is handed on now.
        bool bCts1 = false, bCts2 = false;
        PrimeLines(m_port1, m_port2, bCts1, bCts2);
        for (size_t nAt = 0; nAt < strFlood.size(); nAt += 500) {
            m_sim.DeviceSend(0, strFlood.substr(nAt, 500));
            m_sim.DeviceSend(1, strFlood.substr(nAt, 500));
            m_sim.InjectLineError(nAt % 2);
        }
        for (int nPort : {0, 1})
            EXPECT_TRUE(m_sim.WaitForDeviceBytes(nPort, strFlood.size(), WAIT) && m_sim.TakeDeviceBytes(nPort) == strFlood);
        if (row.bBreak) {
            // A break as Windows' drivers give it (EV_BREAK, CE_BREAK, a 0x00) reaches device 1 in place.
            m_sim.DeviceSend(0, "ab");
            m_sim.DeviceSendBreak(0);
            m_sim.InjectLineError(0, CE_RXPARITY | CE_RXOVER);
            m_sim.DeviceSend(0, "cd");
            EXPECT_TRUE(m_sim.WaitForDeviceBytes(1, 4, WAIT) && m_sim.TakeDeviceBytes(1) == "abcd");
            bool bOn = true;   // one break, after "ab", and over
            EXPECT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetDeviceBreaks(1, &bOn) == std::vector<size_t>{2} && !bOn; }, WAIT));
            const std::vector<std::string> strWanted = {"E0:0", "E0:2", "E0:4"};   // break, parity, overflow
            EXPECT_TRUE(m_log.WaitFor([&] {
                std::vector<std::string> seen = m_log.Of(0, 'E');
                return seen.size() >= 3 && std::vector<std::string>(seen.end() - 3, seen.end()) == strWanted;
            }, WAIT));
            nReported += 4;
        }
        std::vector<DWORD> delays;
        for (int i = 0; i < 10; ++i)
            delays.push_back(Elapsed([&] {
                m_sim.SetDeviceRts(0, i % 2 != 0);
                EXPECT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetPortRts(1) == (i % 2 != 0); }, WAIT));
            }));
        std::sort(delays.begin(), delays.end());
        EXPECT_LT(delays[5], 25u) << "CTS to the partner's RTS, median ms";
        // Where events are late, the lines are polled until they have been quiet a while:
        // until then a 100 ms stretch holds a read every few milliseconds.
        if (row.nDriver == CSimPortPair::SIM_WINE) {
            EXPECT_TRUE(m_sim.WaitUntil([&] {
                m_sim.ResetCallCounts();
                Sleep(100);
                return m_sim.GetCallCount(CSimPortPair::SIM_MODEM_STATUS, 0) <= 10;
            }, LINE_QUIET_AFTER + WAIT)) << "polled on";
        }
        m_sim.ResetCallCounts();
        Sleep(500);
        EXPECT_TRUE(row.nDriver == CSimPortPair::SIM_USBSER || m_sim.GetCallCount(CSimPortPair::SIM_MODEM_STATUS, 0) <= 50)
            << "status reads in 500 ms: " << m_sim.GetCallCount(CSimPortPair::SIM_MODEM_STATUS, 0);
        // A chunk port2 may not send is given up after one write time-out
        // and whatever went out is never sent again, also after a stop.
        m_sim.SetDeviceRts(1, false);
        const std::string strHeld(64, 'h');
        m_sim.DeviceSend(0, strHeld);
        nReported += strFlood.size() + strHeld.size();
        EXPECT_LT(Elapsed([&] { m_log.WaitFor([&] { return m_log.Count(0, 'D') == nReported; }, WAIT); }), 3000u);
        // Behind that held write this port's lines still reach the partner
        // and its bytes are still read and reported.
        m_sim.SetDeviceDtr(0, true);
        EXPECT_LT(Elapsed([&] { m_sim.WaitUntil([&] { return m_sim.GetPortDtr(1); }, WAIT); }), 200u) << "held write";
        m_sim.DeviceSend(0, strFlood.substr(0, 3000));
        nReported += 3000;
        EXPECT_LT(Elapsed([&] { m_log.WaitFor([&] { return m_log.Count(0, 'D') == nReported; }, WAIT); }), 500u);
        EXPECT_EQ(0u, m_sim.GetQueuedCount(0));
        nReported += 2;
        m_sim.DeviceSend(0, "s");
        Sleep(100);
        // A stop that waited for the held write would take its time-out (1000 ms and more).
        EXPECT_LT(Elapsed([&] { m_port2.Close(); }), 1000u) << "stop with a write held";
        ASSERT_TRUE(m_port2.Open());
        m_sim.SetDeviceRts(1, true);
        m_sim.DeviceSend(0, "Z");
        EXPECT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetDeviceBytes(1).find('Z') != std::string::npos; }, WAIT));
        std::string strGot = m_sim.TakeDeviceBytes(1);
        EXPECT_EQ(strHeld.substr(0, strGot.size() - 1) + "Z", strGot);
        {
            // From the wake to its end the receive thread makes one pass; a
            // wait the stop did not end would hold it for a read wait or more.
            CCallRecorder passes(m_sim, m_port1.GetReceiveThreadId());
            EXPECT_LT(Elapsed([&] { m_port1.Close(); }), 200u) << "idle stop";
            EXPECT_LT(Elapsed([&] { m_port2.Close(); }), 200u) << "idle stop";
            EXPECT_LE(passes.Calls().size(), 1u) << "status reads after the stop";
        }
    }
    EXPECT_EQ(0u, m_sim.GetClosedHandleCalls());
}

class RelayLifetimeTest : public ::testing::Test
{
protected:
    RelayLifetimeTest()
        : m_pPort1(new CLineRelay)
        , m_pPort2(new CLineRelay)
    {
        m_sim.Install();
        m_pPort1->Attach(0, &m_log, m_pPort2.get());
        m_pPort2->Attach(1, &m_log, m_pPort1.get());
        m_pPort1->SetPortSetting(Setting(1));
        m_pPort2->SetPortSetting(Setting(2));
    }

    // Handles that stay valid after the threads (and relays) are gone.
    std::vector<HANDLE> OpenThreads(const std::vector<DWORD>& ids)
    {
        std::vector<HANDLE> handles;
        for (DWORD id : ids) {
            HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id);
            EXPECT_TRUE(h != NULL) << "thread " << id;
            if (h)
                handles.push_back(h);
        }
        return handles;
    }

    CSimPortPair m_sim;
    CEventLog m_log;
    std::unique_ptr<CLineRelay> m_pPort1;
    std::unique_ptr<CLineRelay> m_pPort2;
};

TEST_F(RelayLifetimeTest, DestroyingAnOpenPairEndsAllFourThreadsAndDropsAllOutputs)
{
    m_sim.SetDeviceRts(0, true);
    m_sim.SetDeviceDtr(0, true);
    m_sim.SetDeviceRts(1, true);
    m_sim.SetDeviceDtr(1, true);
    ASSERT_TRUE(m_pPort1->Open());
    ASSERT_TRUE(m_pPort2->Open());
    bool bCts1 = false;
    bool bCts2 = false;
    PrimeLines(*m_pPort1, *m_pPort2, bCts1, bCts2);
    ASSERT_TRUE(m_sim.WaitUntil([&] {
        return m_sim.GetPortRts(0) && m_sim.GetPortDtr(0) && m_sim.GetPortRts(1) && m_sim.GetPortDtr(1);
    }, WAIT));
    std::vector<HANDLE> threads = OpenThreads({m_pPort1->GetReceiveThreadId(), m_pPort1->GetEventThreadId(),
                                               m_pPort2->GetReceiveThreadId(), m_pPort2->GetEventThreadId()});
    ASSERT_EQ(4u, threads.size());

    // As the main window's members go: the second relay first.
    m_pPort2.reset();
    m_pPort1.reset();

    for (HANDLE h : threads) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, WAIT));
        CloseHandle(h);
    }
    EXPECT_FALSE(m_sim.IsPortOpen(0));
    EXPECT_FALSE(m_sim.IsPortOpen(1));
    EXPECT_FALSE(m_sim.GetPortRts(0));
    EXPECT_FALSE(m_sim.GetPortDtr(0));
    EXPECT_FALSE(m_sim.GetPortRts(1));
    EXPECT_FALSE(m_sim.GetPortDtr(1));
}

TEST_F(RelayLifetimeTest, TheSurvivorOfAPairKeepsReportingAfterItsPartnerIsDestroyed)
{
    ASSERT_TRUE(m_pPort1->Open());
    ASSERT_TRUE(m_pPort2->Open());
    ASSERT_TRUE(m_log.WaitForLines(4, WAIT));

    m_pPort2.reset();
    m_sim.DeviceSend(0, "\x5A");

    ASSERT_TRUE(m_log.WaitFor([&] { return m_log.Count(0, 'D') == 1; }, WAIT));
    EXPECT_EQ(std::vector<std::string>{"D0:5A"}, m_log.Of(0, 'D'));
    EXPECT_TRUE(m_pPort1->IsReceiving());
    EXPECT_EQ(0u, m_sim.GetCallCount(CSimPortPair::SIM_WRITE));
}

TEST_F(RelayLifetimeTest, AReceiveThreadStuckInTheDriverIsAbandonedNotTerminatedAndThePortIsNotReused)
{
    ASSERT_TRUE(m_pPort1->Open());
    HANDLE hThread = OpenThread(SYNCHRONIZE, FALSE, m_pPort1->GetReceiveThreadId());
    ASSERT_TRUE(hThread != NULL);
    m_sim.ResetCallCounts();
    m_sim.SetFault(0, CSimPortPair::SIM_STATUS_HANGS, true);
    ASSERT_TRUE(m_sim.WaitUntil([&] { return m_sim.GetCallCount(CSimPortPair::SIM_MODEM_STATUS, 0) > 0; }, WAIT));

    DWORD dwStart = GetTickCount();
    m_pPort1->Close();
    EXPECT_LT(GetTickCount() - dwStart, ZEV::THREAD_STOP_LIMIT + 2000);
    EXPECT_TRUE(m_pPort1->IsUnusable());
    EXPECT_FALSE(m_pPort1->Open());
    EXPECT_TRUE(m_sim.IsPortOpen(0)) << "the handle stays for the call still in it";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(hThread, 0)) << "never terminated";

    m_sim.SetFault(0, CSimPortPair::SIM_STATUS_HANGS, false);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, WAIT)) << "ends by itself once the call returns";
    CloseHandle(hThread);
}

TEST_F(RelayLifetimeTest, TheReceiveThreadRunsExactlyWhileThePortIsOpen)
{
    m_sim.SetFault(0, CSimPortPair::SIM_BUSY, true);
    EXPECT_FALSE(m_pPort1->Open());
    EXPECT_FALSE(m_pPort1->IsReceiving());

    m_sim.SetFault(0, CSimPortPair::SIM_BUSY, false);
    ASSERT_TRUE(m_pPort1->Open());
    EXPECT_TRUE(m_pPort1->IsReceiving());

    m_pPort1->Close();
    EXPECT_FALSE(m_pPort1->IsReceiving());
    EXPECT_TRUE(m_pPort1->IsReporting());
    EXPECT_FALSE(m_sim.IsPortOpen(0));
}

} // namespace
