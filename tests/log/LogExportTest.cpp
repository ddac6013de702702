#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/DumpLines.h"
#include "log/LogExport.h"
#include "log/LogListBox.h"
#include "log/LogRecorder.h"
#include "support/ZevException.h"

namespace {

const char kParentClass[] = "LogExportTestParent";

void PumpPostedRows()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::string ReadFile(const std::string& strPath)
{
    std::string data;
    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return data;
    char buffer[65536];
    DWORD dwRead = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &dwRead, NULL) && dwRead > 0)
        data.append(buffer, dwRead);
    ::CloseHandle(h);
    return data;
}

void WriteFile(const std::string& strPath, const std::string& data)
{
    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD dwWritten = 0;
    ::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &dwWritten, NULL);
    ::CloseHandle(h);
}

// A file whose nth write fails as a full disk would.
class CFailingFile : public ZEV::CFileReadWriter
{
public:
    explicit CFailingFile(int nFailingWrite) : m_nFailingWrite(nFailingWrite) {}

    BOOL WriteFile(HANDLE h, LPCVOID data, DWORD nSize, LPDWORD pWritten, LPOVERLAPPED pOverlapped) override
    {
        if (++m_nWrites == m_nFailingWrite) {
            *pWritten = 0;
            ::SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return ZEV::CFileReadWriter::WriteFile(h, data, nSize, pWritten, pOverlapped);
    }

private:
    int m_nFailingWrite;
    int m_nWrites = 0;
};

// A view whose rows are made from their index, so that a long log needs no
// posting: only the row count lives in the system list box.
class CNumberedRows : public CLineListBox
{
public:
    explicit CNumberedRows(const char* pszPrefix) : m_strPrefix(pszPrefix) {}
    void GetLineText(int nIndex, std::string& strText) override { strText = m_strPrefix + std::to_string(nIndex); }

private:
    std::string m_strPrefix;
};

class LogExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = kParentClass;
        ::RegisterClassA(&wc);
        ASSERT_TRUE(m_parent.CreateEx(0, kParentClass, "export", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, NULL, NULL));
        const DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT |
                              LBS_EXTENDEDSEL | LBS_NODATA;
        for (int i = 0; i < 2; ++i) {
            m_view[i].SetMaxLines(100000);
            const RECT rc = {i * 200, 0, i * 200 + 190, 280};
            ASSERT_TRUE(m_view[i].Create(dwStyle, rc, &m_parent, 1000 + i));
        }
        char szTemp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, szTemp);
        m_strPath = std::string(szTemp) + "log_export_test.txt";
        ::DeleteFileA(m_strPath.c_str());
    }

    void TearDown() override
    {
        m_parent.DestroyWindow();
        ::DeleteFileA(m_strPath.c_str());
    }

    void Fill(int nView, const std::vector<std::string>& rows)
    {
        for (const std::string& row : rows)
            m_view[nView].PostLine(-1, row.c_str());
        PumpPostedRows();
        ASSERT_EQ(static_cast<int>(rows.size()), m_view[nView].GetCount());
    }

    CWnd m_parent;
    CLogListBox m_view[2];
    std::string m_strPath;
};

TEST_F(LogExportTest, ALeadByteBeforeALineBreakOrNulLeavesOneLinePerRowPair)
{
    for (const DWORD nWidth : {16u, 8u}) {
        for (const BYTE next : {0x0A, 0x0D, 0x00}) {
            std::vector<BYTE> data(nWidth - 1, 'A');
            data.insert(data.end(), {0x82, next, 'B'});
            const std::vector<std::string> rows = MakeDumpLines(data.data(), static_cast<DWORD>(data.size()), true, nWidth);
            for (CLogListBox& view : m_view)
                view.SendMessage(LB_RESETCONTENT);
            Fill(0, rows);
            Fill(1, {"x", "y"});
            WriteLogFile(m_strPath.c_str(), m_view[0], m_view[1]);
            const std::string text = ReadFile(m_strPath);
            EXPECT_EQ(2, std::count(text.begin(), text.end(), '\n')) << nWidth << " bytes per row, " << int(next);
            EXPECT_EQ(0u, text.find(rows[0])) << "the row reaches the file whole";
        }
    }
}

TEST_F(LogExportTest, LeftRowIsFilledTo70BytesSoTheCommaStandsAtByte71)
{
    const std::string companion = "\x81\x40\x84\xAB|000030|";   // 12 bytes
    const std::string dump = "\x81\x40\x84\xAB|000030| 0000 : 41 42 -- -- -- -- -- -- -- -- -- -- -- -- -- --  : AB";
    const std::string seventy(70, 'x');
    Fill(0, {companion, seventy});
    Fill(1, {dump, "r"});
    WriteFile(m_strPath, std::string(5000, 'o'));   // replaced whole
    WriteLogFile(m_strPath.c_str(), m_view[0], m_view[1]);

    EXPECT_EQ(companion + std::string(58, ' ') + "," + dump + "\r\n" + seventy + ",r\r\n", ReadFile(m_strPath));
}

TEST_F(LogExportTest, LongerLeftRowIsWrittenWholeAndMissingRightRowsAreEmpty)
{
    const std::string longRow = "\x81\x40\x84\xAB|------| 0000 : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  : ABCDEFGHIJKLMNOP";
    ASSERT_GT(longRow.size(), 70u);
    Fill(0, {longRow, "a", "b"});
    Fill(1, {"right"});
    WriteLogFile(m_strPath.c_str(), m_view[0], m_view[1]);

    const std::string pad69(69, ' ');
    EXPECT_EQ(longRow + ",right\r\n" + "a" + pad69 + ",\r\n" + "b" + pad69 + ",\r\n", ReadFile(m_strPath));
}

TEST_F(LogExportTest, HundredThousandRowsPerViewGiveAsManyLines)
{
    CNumberedRows left("L");
    CNumberedRows right("R");
    const RECT rc = {0, 0, 100, 100};
    const DWORD dwStyle = WS_CHILD | LBS_OWNERDRAWFIXED | LBS_NODATA;
    ASSERT_TRUE(left.Create(dwStyle, rc, &m_parent, 1100));
    ASSERT_TRUE(right.Create(dwStyle, rc, &m_parent, 1101));
    left.SendMessage(LB_SETCOUNT, 100000);
    right.SendMessage(LB_SETCOUNT, 100000);
    WriteLogFile(m_strPath.c_str(), left, right);

    const std::string data = ReadFile(m_strPath);
    size_t nLines = 0;
    for (size_t pos = data.find("\r\n"); pos != std::string::npos; pos = data.find("\r\n", pos + 2))
        ++nLines;
    EXPECT_EQ(100000u, nLines);
    EXPECT_EQ(0u, data.find("L0" + std::string(68, ' ') + ",R0\r\n"));
    const std::string last = "L99999" + std::string(64, ' ') + ",R99999\r\n";
    EXPECT_EQ(data.size() - last.size(), data.rfind(last));
}

TEST_F(LogExportTest, WriteFailureReachesTheCallerAndKeepsTheLinesWrittenBefore)
{
    Fill(0, {"one", "two", "three"});
    Fill(1, {"1", "2", "3"});
    CFailingFile file(3);
    try {
        WriteLogFile(file, m_strPath.c_str(), m_view[0], m_view[1]);
        FAIL() << "the failed write was not reported";
    } catch (const ZEV::CWriteFailureException& e) {
        EXPECT_EQ(ERROR_DISK_FULL, e.GetValue());
    }
    EXPECT_FALSE(file.IsOpened());
    const std::string pad(67, ' ');
    EXPECT_EQ("one" + pad + ",1\r\n" + "two" + pad + ",2\r\n", ReadFile(m_strPath));
}

TEST_F(LogExportTest, FileThatCannotBeCreatedIsReportedAsIoFailure)
{
    Fill(0, {"row"});
    Fill(1, {"row"});
    const std::string strPath = m_strPath + ".missing\\sub\\log.txt";
    EXPECT_THROW(WriteLogFile(strPath.c_str(), m_view[0], m_view[1]), ZEV::CIoFailureException);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(strPath.c_str()));
}

} // namespace

TEST_F(LogExportTest, RecordingWhoseBufferOverflowsStopsWithOneNoticeAndWholeLinesOnly)
{
    const UINT WM_STOPPED = WM_APP + 7;
    {
        CLogRecorder recorder(m_parent.GetSafeHwnd(), WM_STOPPED, 42, 1000);
        ASSERT_TRUE(recorder.Start(m_strPath.c_str(), false));
        recorder.AddRows("left", "right");
        recorder.AddRows(std::string(1000, 'L'), "more than the buffer holds");
        recorder.AddRows("after", "the overflow");
        recorder.Join();
    }
    const std::string text = ReadFile(m_strPath);
    const size_t nSecond = text.find("\r\n") + 2;
    EXPECT_EQ(0u, text.find("----- Record ")) << text;
    EXPECT_EQ("left" + std::string(66, ' ') + ",right\r\n", text.substr(nSecond)) << "no Stop row pair after a failure";
    MSG msg;
    int nNotices = 0;
    while (::PeekMessageA(&msg, m_parent.GetSafeHwnd(), WM_STOPPED, WM_STOPPED, PM_REMOVE))
        nNotices += msg.wParam == 42 ? 1 : 100;
    EXPECT_EQ(1, nNotices);
}
