// A capture written from the traffic log's calls, read back by tshark (started
// through Wine, which runs Unix programs too).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "log/CaptureRecorder.h"
#include "log/TrafficLog.h"
#include "tests/log/FakeLogHost.h"

namespace {

// Z: is the Unix root under Wine; the process id keeps parallel runs apart.
const std::string CAPTURE_NAME = "taplinar-capture-test-" + std::to_string(::GetCurrentProcessId()) + ".pcapng";
const std::string CAPTURE_UNIX = "/tmp/" + CAPTURE_NAME;
const std::string CAPTURE_WINDOWS = "Z:\\tmp\\" + CAPTURE_NAME;
const ULONGLONG T0 = 1700000000000000ULL;   // 2023-11-14 22:13:20 UTC

// "interface,type,length,seconds,cts,rts,bytes" for every packet.
std::vector<std::string> ReadWithTshark(
    const std::string& strFields = "interface_id -e rtacser.eventtype -e frame.len -e frame.time_epoch"
                                   " -e rtacser.cts -e rtacser.rts -e data.data")
{
    std::string strCommand = "/bin/sh -c \"tshark -r " + CAPTURE_UNIX + " -T fields -E separator=, -e frame." +
                             strFields + " > " + CAPTURE_UNIX + ".tmp 2>/dev/null; mv " + CAPTURE_UNIX + ".tmp " +
                             CAPTURE_UNIX + ".txt\"";
    const std::string strRows = CAPTURE_WINDOWS + ".txt";
    ::DeleteFileA(strRows.c_str());
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return {"tshark did not start"};
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    // Wine does not wait for a Unix process: its output is renamed into place whole.
    for (DWORD dwStart = ::GetTickCount(); ::GetFileAttributesA(strRows.c_str()) == INVALID_FILE_ATTRIBUTES;) {
        if (::GetTickCount() - dwStart > 60000)
            return {"tshark gave no answer"};
        ::Sleep(50);
    }
    std::vector<std::string> rows;
    {
        std::ifstream file(strRows);
        for (std::string strLine; std::getline(file, strLine);)
            rows.push_back(strLine);
    }
    ::DeleteFileA(strRows.c_str());
    ::DeleteFileA(CAPTURE_WINDOWS.c_str());
    return rows;
}

} // namespace

TEST(CaptureRecorderTest, BlocksEndWhereTheLineOrTheOtherPortSaysAndEveryEventIsAPacketInItsPlace)
{
    CFakeLogHost host;
    CTrafficLog log(&host);
    const std::string strPorts[2] = {"COM7", "COM8"};
    {
        CCaptureRecorder recorder(NULL, 0, 0, "Taplinar test", strPorts);
        ASSERT_TRUE(recorder.Start(CAPTURE_WINDOWS.c_str(), false));
        log.SetCaptureFeed(&recorder);
        const std::string strLong(CCaptureStream::MAX_PACKET_BYTES + 1, 'L');
        auto Data = [&](int nPort, ULONGLONG qwMicros, const std::string& strBytes) {
            log.OnLineTime(nPort, T0 + qwMicros);
            log.OnLineData(nPort, static_cast<DWORD>(strBytes.size()), reinterpret_cast<const BYTE*>(strBytes.data()));
        };
        Data(0, 0, "ab");
        Data(0, 1700, "c");      // within the 1750 us gap: the same block
        Data(0, 3500, "d");      // after it: a new one
        Data(1, 3600, "x");      // the other port ends port1's block
        log.OnLineTime(1, T0 + 4000);
        log.OnCtsChanged(1, true);   // and is driven on port1's RTS
        log.OnLineTime(0, T0 + 4100);
        log.OnLineEvent(0, LINE_BREAK);
        log.OnLineTime(1, T0 + 4200);
        log.OnLineLost(1, 3, 1);
        Data(0, 5000, strLong);
        host.m_bMonitoring = false;
        Data(1, 6000, "not monitored");
        log.SetCaptureFeed(nullptr);
    }
    const std::vector<std::string> expected = {
        "0,0x01,15,1700000000.000000000,0,0,616263",
        "0,0x01,13,1700000000.003500000,0,0,64",
        "1,0x02,13,1700000000.003600000,0,0,78",
        "1,0x00,12,1700000000.004000000,1,0,",
        "0,0x00,12,1700000000.004000000,0,1,",
        "0,0x09,12,1700000000.004100000,0,1,",
        "1,0x05,20,1700000000.004200000,1,0,0000000300000001",
        "0,0x01,65548,1700000000.005000000,0,1,",   // 64 KiB of "L", the rest in the next
        "0,0x01,13,1700000000.005000000,0,1,4c",
        "0,0x06,12,*",   // timed when the recording ends
        "1,0x06,12,*",
    };
    const std::vector<std::string> rows = ReadWithTshark();
    ASSERT_EQ(expected.size(), rows.size()) << (rows.empty() ? "" : rows[0]);
    for (size_t i = 0; i < expected.size(); ++i) {
        const size_t nPrefix = expected[i].back() == '*' ? expected[i].size() - 1 : std::string::npos;
        const std::string strRow = i == 7 ? rows[i].substr(0, expected[i].size()) : rows[i].substr(0, nPrefix);
        EXPECT_EQ(expected[i].substr(0, nPrefix), strRow) << "packet " << i + 1;
    }
    EXPECT_EQ(rows[7].size(), expected[7].size() + 2 * CCaptureStream::MAX_PACKET_BYTES);
    EXPECT_EQ(std::string::npos, rows[7].find_first_not_of("4c", expected[7].size()));
}

TEST(CaptureRecorderTest, PortsOpenedAnewUnderOtherNamesGoOnOnNewInterfaces)
{
    const std::string strPorts[2] = {"COM7", "COM8"};
    const std::string strNewPorts[2] = {"COM9", "COM8"};
    {
        CCaptureRecorder recorder(NULL, 0, 0, "Taplinar test", strPorts);
        ASSERT_TRUE(recorder.Start(CAPTURE_WINDOWS.c_str(), false));
        recorder.RestatePorts(strPorts);
        recorder.OnLineData(0, 1, reinterpret_cast<const BYTE*>("a"));
        recorder.RestatePorts(strNewPorts);
        recorder.OnLineData(0, 1, reinterpret_cast<const BYTE*>("b"));
    }
    const std::vector<std::string> expected = {"0,COM7,0x01,61", "0,COM7,0x06,", "1,COM8,0x06,",
                                               "2,COM9,0x01,62", "2,COM9,0x06,", "3,COM8,0x06,"};
    EXPECT_EQ(expected, ReadWithTshark("interface_id -e frame.interface_name -e rtacser.eventtype -e data.data"));
}
