#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/AppDriver.h"

// Ids and texts of the program, as a user meets them.
const int ID_LEFT_VIEW = 1000;
const int ID_RIGHT_VIEW = 1001;
const int ID_LEFT_HEADER = 1007;
const int ID_RIGHT_HEADER = 1008;
const int ID_ABOUT_TEXT = 1009;
const int CMD_PORT_SETTING = 32774;
const int CMD_EXPORT = 32777;
const int CMD_RECORD = 32778;
const int CMD_EXIT = 32771;
const int CMD_MONITOR = 32775;
const int CMD_LOG_SETTING = 32776;
const int CMD_LOG_CLEAR = 32772;
const int CMD_VERSION = 32773;
const int SYSCMD_ABOUT = 16;

extern const char PORT_DIALOG[];
extern const char LOG_DIALOG[];
extern const char ABOUT_DIALOG[];
extern const char QUIT_QUESTION[];
extern const char OPEN_ROW[];
extern const char LINE_OFF[];
extern const char RECORDING_STOPPED[];

// The program's executable, named on the command line of the test (the first argument
// that is not a GoogleTest option).
std::string GetProgramPath();

// One parsed export line: the left and the right view's row of one moment.
struct TExportRow
{
    std::string strLeft;
    std::string strRight;
};

// Splits "%-70s,%s" lines back into their halves: a left row of up to 70 bytes is
// padded to 70 and followed by the comma; a longer one is followed by it directly.
// bOk is false when a line does not have that shape.
std::vector<TExportRow> ParseExport(const std::string& strFile, bool* pbOk);

// Whether a line of a recording is the row pair "----- WORD YYYY/MM/DD HH:MM:SS -----".
bool IsMarkerLine(const std::string& strLine, const std::string& strWord);

// All rows, one per line, for failure messages.
std::string DescribeRows(const std::vector<TExportRow>& rows);

// Matches a row against a pattern in which '#' stands for one decimal digit and '?' for
// a digit or '-' (the milliseconds of a time column cannot be predicted).
bool MatchesRow(const std::string& strRow, const std::string& strPattern);

// Rows that opening the ports leaves in both views: the marker and the signal columns
// of the opening, and each relay's first report that its CTS input is off (ptys have no
// modem lines). The relays report from their own threads, so those two rows may come
// before or after the marker; checks all four and answers their count.
const size_t START_ROWS = 4;
void ExpectStartRows(const std::vector<TExportRow>& rows);

// Keys and values of one INI section, in file order, as "key=value" lines.
std::vector<std::string> GetIniSection(const std::string& strIni, const std::string& strSection);
// Compares a section's lines with patterns as MatchesRow does.
void ExpectIniSection(const std::string& strIni, const std::string& strSection,
                      const std::vector<std::string>& patterns);
// Names of the sections in file order.
std::vector<std::string> GetIniSectionNames(const std::string& strIni);

// A running program with both far-end devices at hand. Each test starts its own copy
// in a fresh folder, so its INI file is its own.
class CTapFixture : public ::testing::Test
{
protected:
    void TearDown() override;

    // Starts the program and answers its port settings dialog, or 0.
    HWND StartToPortDialog(const std::string& strIni = std::string());
    // Starts the program and confirms the port settings: the main window, or 0.
    HWND StartAndOpen(const std::string& strIni = std::string());
    // Waits until both views hold nRows rows; answers whether they did.
    bool WaitRows(HWND hMain, int nRows, DWORD dwMs = 10000);
    // Exports the log into the work folder and answers the file's rows; fails the test
    // when the save was not reported as done.
    std::vector<TExportRow> ExportRows(HWND hMain);
    // Answers whether a message box of the program appears within the time.
    bool MessageBoxAppears(DWORD dwMs);

    CAppDriver m_app;
};
