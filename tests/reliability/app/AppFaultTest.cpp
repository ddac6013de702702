// The real program under faults and load, driven from another process as a user would
// drive it, on the pty-backed ports of tests/reliability/with_rel_ports.sh.
#include "tests/e2e/TapFixture.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::string WineDir(const char* pszVariable)
{
    char szDir[MAX_PATH] = {};
    if (::GetEnvironmentVariableA(pszVariable, szDir, sizeof szDir) == 0)
        return std::string();
    std::string strDir = std::string("Z:") + szDir;
    for (char& c : strDir)
        if (c == '/')
            c = '\\';
    return strDir;
}

// Asks the port runner to unplug or plug in the pair of COMn and waits for it.
bool RequestPorts(const std::string& strName)
{
    const std::string strPath = WineDir("REL_CTL_DIR") + "\\" + strName;
    if (!WriteFileBytes(strPath, "go"))
        return false;
    for (int i = 0; i < 300 && ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        ::Sleep(100);
    ::Sleep(300);
    return ::GetFileAttributesA(strPath.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// The bytes of the left halves' dump rows of an export, read back from the hex cells.
std::string LeftDumpBytes(const std::vector<TExportRow>& rows)
{
    std::string strBytes;
    for (const TExportRow& row : rows) {
        const std::string& s = row.strLeft;
        if (s.size() < 20 || s.compare(17, 3, " : ") != 0)
            continue;
        for (size_t n = 20; n + 2 <= s.size() && n < 20 + 16 * 3 && s[n] != '-'; n += 3)
            strBytes += static_cast<char>(std::strtoul(s.substr(n, 2).c_str(), nullptr, 16));
    }
    return strBytes;
}

// How long the window took to answer a sent message, in ms (-1: not within 30 s).
long AnswerTime(HWND hMain)
{
    const DWORD dwStart = ::GetTickCount();
    DWORD_PTR dwResult = 0;
    if (!::SendMessageTimeoutA(hMain, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &dwResult))
        return -1;
    return static_cast<long>(::GetTickCount() - dwStart);
}

const char FULL_DUMP_16[] = "[log-setting]\r\ndata-width=0\r\ndata-view-type=1\r\nsignal-mode=0\r\n";

class AppFaultTest : public CTapFixture
{
protected:
    void SetUp() override
    {
        if (WineDir("REL_CTL_DIR").empty())
            GTEST_SKIP() << "needs tests/reliability/with_rel_ports.sh";
    }
};

}  // namespace

TEST_F(AppFaultTest, FloodWithTheFullDumpReachesBothViewsRowForRowAndTheWindowKeepsAnswering)
{
    CDevicePort host(3), instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    host.Drain();
    instrument.Drain();
    HWND hMain = StartAndOpen(FULL_DUMP_16);
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));

    // 128 KiB by default; REL_FLOOD_KIB=1024 gives the full mebibyte (minutes at the
    // relay's pace under Wine).
    char szKib[32] = {};
    const int nKib = ::GetEnvironmentVariableA("REL_FLOOD_KIB", szKib, sizeof szKib) > 0 ? std::atoi(szKib) : 0;
    const size_t nBytes = static_cast<size_t>(nKib > 0 ? nKib : 128) * 1024;
    std::string strFlood;
    for (size_t i = 0; i < nBytes; ++i)
        strFlood += static_cast<char>(i * 7 + i / 256);
    std::thread writer([&host, &strFlood] { host.Write(strFlood); });
    long nWorst = 0;
    std::string strArrived;
    const DWORD dwStart = ::GetTickCount();
    while (strArrived.size() < nBytes && ::GetTickCount() - dwStart < 1200000) {
        strArrived += instrument.Read(nBytes - strArrived.size(), 200);
        nWorst = std::max(nWorst, AnswerTime(hMain));
    }
    writer.join();
    const DWORD dwRelayed = ::GetTickCount() - dwStart;
    EXPECT_EQ(strArrived, strFlood) << "relayed whole and in order";

    // The rows come once the line is quiet; wait until both views stop growing.
    int nLast = -1;
    for (int nStill = 0; nStill < 5;) {
        ::Sleep(200);
        nWorst = std::max(nWorst, AnswerTime(hMain));
        const int nNow = GetListCount(hMain, ID_LEFT_VIEW);
        nStill = nNow == nLast ? nStill + 1 : 0;
        nLast = nNow;
    }
    const DWORD dwShown = ::GetTickCount() - dwStart;
    std::printf("flood of %u bytes through the program: relayed in %lu ms, rows shown after %lu ms, "
                "%d rows, slowest answer %ld ms\n", static_cast<unsigned>(nBytes), dwRelayed, dwShown,
                GetListCount(hMain, ID_LEFT_VIEW), nWorst);
    EXPECT_EQ(GetListCount(hMain, ID_LEFT_VIEW), GetListCount(hMain, ID_RIGHT_VIEW));
    EXPECT_GE(nWorst, 0) << "the window answered every time";

    const std::string strPath = m_app.GetWorkDir() + "\\flood.txt";
    ASSERT_EQ("保存しました。", m_app.ExportLog(hMain, strPath));
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(strPath));
    ASSERT_EQ(lines.size(), static_cast<size_t>(GetListCount(hMain, ID_LEFT_VIEW)));
    // Every dump row of the left view has its companion on the right: the signal and
    // time columns alone (12 bytes), with the same time column. (The text part of a
    // row may hold commas, so the line is taken apart from its end.)
    std::vector<TExportRow> rows;
    for (size_t i = START_ROWS; i < lines.size(); ++i) {
        const std::string& strLine = lines[i];
        ASSERT_GT(strLine.size(), 25u) << "line " << i;
        ASSERT_EQ(strLine[strLine.size() - 13], ',') << "line " << i << ": " << strLine;
        const std::string strRight = strLine.substr(strLine.size() - 12);
        ASSERT_EQ(strLine.substr(5, 7), strRight.substr(5, 7)) << "line " << i << ": " << strLine;
        rows.push_back({strLine.substr(0, strLine.size() - 13), strRight});
    }
    EXPECT_EQ(LeftDumpBytes(rows), strFlood) << "every byte logged once, in order";
}

TEST_F(AppFaultTest, ExportOntoAFullDiskSaysSoAndKeepsTheLinesWrittenSoFar)
{
    const std::string strFull = WineDir("REL_FULL_DIR");
    if (strFull.empty())
        GTEST_SKIP() << "no small file system mounted";
    CDevicePort host(3), instrument(4);
    HWND hMain = StartAndOpen(FULL_DUMP_16);
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));
    // About 1100 rows, some 90 KiB exported: more than the 64 KiB disk holds.
    ASSERT_TRUE(host.Write(std::string(16 * 1100, 'Z')));
    EXPECT_EQ(instrument.Read(16 * 1100, 60000).size(), 16u * 1100u);
    ASSERT_TRUE(WaitRows(hMain, static_cast<int>(START_ROWS) + 1100, 30000));

    const std::string strRoomy = m_app.GetWorkDir() + "\\whole.txt";
    ASSERT_EQ("保存しました。", m_app.ExportLog(hMain, strRoomy));
    const std::string strWhole = ReadFileBytes(strRoomy);
    const std::string strPath = strFull + "\\log.txt";
    EXPECT_EQ("保存に失敗しました。", m_app.ExportLog(hMain, strPath));
    const std::string strWritten = ReadFileBytes(strPath);
    std::printf("export onto a 64 KiB disk: %u of %u bytes kept\n", static_cast<unsigned>(strWritten.size()),
                static_cast<unsigned>(strWhole.size()));
    EXPECT_GT(strWritten.size(), 32u * 1024u);
    EXPECT_EQ(strWritten, strWhole.substr(0, strWritten.size()));
    ::DeleteFileA(strPath.c_str());

    const std::string strReadOnly = WineDir("REL_RO_DIR");
    if (!strReadOnly.empty()) {
        EXPECT_EQ("保存に失敗しました。", m_app.ExportLog(hMain, strReadOnly + "\\log.txt"));
    }
    EXPECT_TRUE(m_app.IsRunning());
}

TEST_F(AppFaultTest, UnpluggedDeviceLeavesTheProgramRunningAndConfirmingAgainReopensIt)
{
    CDevicePort host(3);
    std::unique_ptr<CDevicePort> pInstrument(new CDevicePort(4));
    HWND hMain = StartAndOpen();
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(host.Write("A1"));
    EXPECT_EQ("A1", pInstrument->Read(2, 10000));

    pInstrument.reset();
    ASSERT_TRUE(RequestPorts("unplug-2"));
    const int nBefore = GetListCount(hMain, ID_LEFT_VIEW);
    ASSERT_TRUE(host.Write("C3"));
    ::Sleep(1500);
    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_GE(AnswerTime(hMain), 0);
    EXPECT_GT(GetListCount(hMain, ID_LEFT_VIEW), nBefore) << "bytes of port1 are still logged";
    EXPECT_EQ(GetListCount(hMain, ID_LEFT_VIEW), GetListCount(hMain, ID_RIGHT_VIEW));

    ASSERT_TRUE(RequestPorts("plug-2"));
    CDevicePort instrument(4);
    ASSERT_TRUE(instrument.IsOpen());
    m_app.Command(hMain, CMD_PORT_SETTING);
    ASSERT_NE(nullptr, m_app.ConfirmPorts()) << "the port opens again";
    ASSERT_TRUE(host.Write("D4"));
    EXPECT_EQ("D4", instrument.Read(2, 10000));
    ASSERT_TRUE(instrument.Write("E5"));
    EXPECT_EQ("E5", host.Read(2, 10000));
    EXPECT_EQ(nullptr, m_app.WaitMessageBox(300));
}

TEST_F(AppFaultTest, BadIniAtStartUpGivesTheFallbacksAndOnlyChangedValuesAreWritten)
{
    const std::string strLogSetting = "[log-setting]\r\ndata-width=" + std::string(70000, '7') +
                                      "\r\ndata-view-type=-1\r\nsignal-mode=abc\r\n";
    const std::string strIni = "[setting]\r\nport1=x\r\nport2=2\r\nspeed=77\r\nparity=-1\r\nstopbit=1\r\n"
                               "data=1\r\nflow=4294967297\r\n" + strLogSetting +
                               "[main-dlg]\r\nValid=1\r\nSX=abc\r\nSY=-99999999999\r\nEX=5000\r\nEY=1e9\r\n";
    HWND hDlg = StartToPortDialog(strIni);
    ASSERT_NE(nullptr, hDlg);
    EXPECT_EQ("COM1", GetComboText(hDlg, 1004)) << "a port that is not there: the first of the list";
    EXPECT_EQ("COM2", GetComboText(hDlg, 1005));
    EXPECT_EQ(-1, GetComboSelection(hDlg, 1006)) << "position 77 is outside the speed list";
    EXPECT_EQ(-1, GetComboSelection(hDlg, 1007));
    EXPECT_EQ(1, GetComboSelection(hDlg, 1008));
    EXPECT_EQ(1, GetComboSelection(hDlg, 1009));
    EXPECT_EQ(1, GetComboSelection(hDlg, 1013)) << "2^32 + 1 cut to 32 bits";
    // A speed must be chosen before the ports can open at all.
    ASSERT_TRUE(SelectComboItem(hDlg, 1006, 1));
    ASSERT_TRUE(SelectComboItem(hDlg, 1007, 0));
    HWND hMain = m_app.ConfirmPorts();
    ASSERT_NE(nullptr, hMain);
    EXPECT_TRUE(m_app.Quit(hMain));

    const std::string strAfter = m_app.ReadIni();
    EXPECT_NE(strAfter.find(strLogSetting), std::string::npos) << "a section the program only reads stays as it was";
    ExpectIniSection(strAfter, "setting", {"port1=1", "port2=2", "speed=1", "parity=0", "stopbit=1", "data=1", "flow=1"});
}

TEST_F(AppFaultTest, RecordingOntoAFullDiskStopsWithOneMessageAndTheFileEndsAtARowBoundary)
{
    const std::string strDir = WineDir("REL_FULL_DIR");
    if (strDir.empty())
        GTEST_SKIP() << "no small file system mounted";
    CDevicePort host(3);
    ASSERT_TRUE(host.IsOpen());
    HWND hMain = StartAndOpen(FULL_DUMP_16);
    ASSERT_NE(nullptr, hMain);
    const std::string strPath = strDir + "\\record.txt";
    m_app.Command(hMain, CMD_RECORD);
    HWND hSave = m_app.WaitSaveDialog();
    ASSERT_TRUE(hSave != nullptr && m_app.FillSaveDialog(hSave, strPath));
    // Every 16 bytes make a line of about 100 bytes: far more than the 64 KiB disk holds.
    const std::string strFlood(16 * 1024, 'x');
    ASSERT_TRUE(host.Write(strFlood));
    HWND hBox = m_app.WaitMessageBox(20000);
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(RECORDING_STOPPED, GetMessageText(hBox));
    Sleep(1000);   // a second notice would open its box over this one
    m_app.ClickButton(hBox, IDOK);
    ASSERT_TRUE(WaitWindowGone(hBox, 10000));
    EXPECT_FALSE(MessageBoxAppears(1000)) << "the message comes once";
    const std::string strFile = ReadFileBytes(strPath);
    bool bOk = false;
    ParseExport(strFile, &bOk);
    EXPECT_TRUE(bOk) << "whole lines only, the last one ended";
    ASSERT_GT(strFile.size(), 32u * 1024u) << "what fitted stays";
    EXPECT_TRUE(IsMarkerLine(SplitLines(strFile).front(), "Record"));
    // The item is no longer checked: choosing it asks for a new file instead of stopping.
    m_app.Command(hMain, CMD_RECORD);
    hSave = m_app.WaitSaveDialog();
    ASSERT_NE(nullptr, hSave);
    m_app.ClickButton(hSave, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(hSave, 10000));
    EXPECT_TRUE(m_app.Quit(hMain));
}
