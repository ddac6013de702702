#include "tests/e2e/TapFixture.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

const char PORT_DIALOG[] = "設定 - Taplinar";
const char LOG_DIALOG[] = "ログ設定 - Taplinar";
const char ABOUT_DIALOG[] = "Taplinar のﾊﾞｰｼﾞｮﾝ情報";
const char QUIT_QUESTION[] = "終了します。よろしいですか？？";
const char OPEN_ROW[] = "----- Open -----";
const char LINE_OFF[] = "　┃|";
const char RECORDING_STOPPED[] = "ログ記録を中止しました。";

namespace {

const size_t LEFT_WIDTH = 70;

std::string TrimRight(const std::string& strText)
{
    size_t nEnd = strText.find_last_not_of(' ');
    return nEnd == std::string::npos ? std::string() : strText.substr(0, nEnd + 1);
}

// INI lines without their line ends; Wine and Windows differ in blank lines and CRs.
std::vector<std::string> GetIniLines(const std::string& strIni)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    while (nStart < strIni.size()) {
        size_t nEnd = strIni.find('\n', nStart);
        if (nEnd == std::string::npos) {
            nEnd = strIni.size();
        }
        std::string strLine = strIni.substr(nStart, nEnd - nStart);
        if (!strLine.empty() && strLine.back() == '\r') {
            strLine.pop_back();
        }
        if (!strLine.empty()) {
            lines.push_back(strLine);
        }
        nStart = nEnd + 1;
    }
    return lines;
}

bool IsSectionLine(const std::string& strLine)
{
    return strLine.size() >= 2 && strLine.front() == '[' && strLine.back() == ']';
}

}  // namespace

std::string GetProgramPath()
{
    for (int i = 1; i < __argc; ++i) {
        if (std::strncmp(__argv[i], "--", 2) != 0) {
            return __argv[i];
        }
    }
    return std::string();
}

std::vector<TExportRow> ParseExport(const std::string& strFile, bool* pbOk)
{
    *pbOk = strFile.empty() || (strFile.size() >= 2 && strFile.compare(strFile.size() - 2, 2, "\r\n") == 0);
    std::vector<TExportRow> rows;
    for (const std::string& strLine : SplitLines(strFile)) {
        // A row of up to 70 bytes is padded and the comma stands at byte 70; a longer row
        // is followed by the comma directly (such rows must hold no comma of their own).
        size_t nComma = strLine.size() > LEFT_WIDTH && strLine[LEFT_WIDTH] == ',' ? LEFT_WIDTH
                                                                                   : strLine.find(',', LEFT_WIDTH);
        if (nComma == std::string::npos) {
            *pbOk = false;
            rows.push_back({strLine, std::string()});
            continue;
        }
        std::string strLeft = strLine.substr(0, nComma);
        rows.push_back({nComma == LEFT_WIDTH ? TrimRight(strLeft) : strLeft, strLine.substr(nComma + 1)});
    }
    return rows;
}

bool IsMarkerLine(const std::string& strLine, const std::string& strWord)
{
    const std::string strPattern = "----- " + strWord + " ####/##/## ##:##:## -----";
    const std::string strRow = strLine.substr(0, strPattern.size());
    return MatchesRow(strRow, strPattern) && strLine == strRow + std::string(LEFT_WIDTH - strRow.size(), ' ') + "," + strRow;
}

std::string DescribeRows(const std::vector<TExportRow>& rows)
{
    std::string strText = "\n";
    for (const TExportRow& row : rows) {
        strText += "  \"" + row.strLeft + "\" | \"" + row.strRight + "\"\n";
    }
    return strText;
}

bool MatchesRow(const std::string& strRow, const std::string& strPattern)
{
    if (strRow.size() != strPattern.size()) {
        return false;
    }
    for (size_t i = 0; i < strRow.size(); ++i) {
        bool bDigit = std::isdigit(static_cast<unsigned char>(strRow[i])) != 0;
        bool bWild = (strPattern[i] == '#' && bDigit) || (strPattern[i] == '?' && (bDigit || strRow[i] == '-'));
        if (!bWild && strRow[i] != strPattern[i]) {
            return false;
        }
    }
    return true;
}

void ExpectStartRows(const std::vector<TExportRow>& rows)
{
    ASSERT_GE(rows.size(), START_ROWS) << DescribeRows(rows);
    const std::string strCtsOff = "┗┓|??????| RTS is Hi";
    int nOpen = -1;
    int nCtsRows[2] = {0, 0};
    for (size_t i = 0; i < START_ROWS; ++i) {
        const TExportRow& row = rows[i];
        if (row.strLeft == OPEN_ROW && row.strRight == OPEN_ROW) {
            nOpen = static_cast<int>(i);
            continue;
        }
        if (nOpen >= 0 && i == static_cast<size_t>(nOpen) + 1) {
            EXPECT_EQ(LINE_OFF, row.strLeft) << "signal columns follow the marker";
            EXPECT_EQ(LINE_OFF, row.strRight) << "signal columns follow the marker";
            continue;
        }
        // One side names the line, the other holds its signal and time column only.
        int nOwn = MatchesRow(row.strLeft, strCtsOff) ? 0 : MatchesRow(row.strRight, strCtsOff) ? 1 : -1;
        ASSERT_NE(-1, nOwn) << "start row " << i << ": \"" << row.strLeft << "\" / \"" << row.strRight << "\"";
        ++nCtsRows[nOwn];
        const std::string& strOther = nOwn == 0 ? row.strRight : row.strLeft;
        const std::string& strOwn = nOwn == 0 ? row.strLeft : row.strRight;
        EXPECT_EQ(12u, strOther.size()) << strOther;
        EXPECT_EQ(strOwn.substr(5, 7), strOther.substr(5, 7)) << "one moment, one time column";
    }
    EXPECT_GE(nOpen, 0) << "no \"" << OPEN_ROW << "\" row";
    EXPECT_EQ(1, nCtsRows[0]) << "port1 reports its CTS once";
    EXPECT_EQ(1, nCtsRows[1]) << "port2 reports its CTS once";
}

std::vector<std::string> GetIniSection(const std::string& strIni, const std::string& strSection)
{
    std::vector<std::string> keys;
    bool bInside = false;
    for (const std::string& strLine : GetIniLines(strIni)) {
        if (IsSectionLine(strLine)) {
            bInside = strLine == "[" + strSection + "]";
        } else if (bInside) {
            keys.push_back(strLine);
        }
    }
    return keys;
}

void ExpectIniSection(const std::string& strIni, const std::string& strSection,
                      const std::vector<std::string>& patterns)
{
    std::vector<std::string> lines = GetIniSection(strIni, strSection);
    ASSERT_EQ(patterns.size(), lines.size()) << "section [" << strSection << "]";
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(MatchesRow(lines[i], patterns[i])) << "[" << strSection << "] " << lines[i];
    }
}

std::vector<std::string> GetIniSectionNames(const std::string& strIni)
{
    std::vector<std::string> names;
    for (const std::string& strLine : GetIniLines(strIni)) {
        if (IsSectionLine(strLine)) {
            names.push_back(strLine.substr(1, strLine.size() - 2));
        }
    }
    return names;
}

void CTapFixture::TearDown()
{
    m_app.Kill();
}

HWND CTapFixture::StartToPortDialog(const std::string& strIni)
{
    std::string strExe = GetProgramPath();
    EXPECT_FALSE(strExe.empty()) << "the program's path is the first argument";
    if (strExe.empty() || !m_app.Start(strExe, strIni)) {
        ADD_FAILURE() << "could not start " << strExe;
        return nullptr;
    }
    HWND hDlg = m_app.WaitDialog(PORT_DIALOG, 30000);
    EXPECT_NE(nullptr, hDlg) << "no port settings dialog at start-up";
    return hDlg;
}

HWND CTapFixture::StartAndOpen(const std::string& strIni)
{
    if (StartToPortDialog(strIni) == nullptr) {
        return nullptr;
    }
    HWND hMain = m_app.ConfirmPorts();
    EXPECT_NE(nullptr, hMain) << "the ports did not open";
    return hMain;
}

bool CTapFixture::WaitRows(HWND hMain, int nRows, DWORD dwMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        int nLeft = GetListCount(hMain, ID_LEFT_VIEW);
        int nRight = GetListCount(hMain, ID_RIGHT_VIEW);
        if (nLeft == nRows && nRight == nRows) {
            return true;
        }
        if (GetTickCount() - dwStart >= dwMs) {
            ADD_FAILURE() << "views hold " << nLeft << " and " << nRight << " rows, expected " << nRows
                          << DescribeRows(ExportRows(hMain));
            return false;
        }
        Sleep(50);
    }
}

std::vector<TExportRow> CTapFixture::ExportRows(HWND hMain)
{
    std::string strPath = m_app.GetWorkDir() + "\\export.txt";
    DeleteFileA(strPath.c_str());
    EXPECT_EQ("保存しました。", m_app.ExportLog(hMain, strPath));
    bool bOk = false;
    std::vector<TExportRow> rows = ParseExport(ReadFileBytes(strPath), &bOk);
    EXPECT_TRUE(bOk) << "export lines are \"%-70s,%s\\r\\n\"" << DescribeRows(rows);
    return rows;
}

bool CTapFixture::MessageBoxAppears(DWORD dwMs)
{
    return m_app.WaitMessageBox(dwMs) != nullptr;
}
