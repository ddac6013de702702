#include "tests/e2e/TapFixture.h"

namespace {

// Waits until the device reads its input as given.
bool WaitLine(const CDevicePort& device, DWORD dwInput, bool bOn, DWORD dwMs)
{
    return WaitUntil([&] { return ((device.ReadLines() & dwInput) != 0) == bOn; }, dwMs, 1);
}

}  // namespace

class LinesTest : public CTapFixture
{
};

// Each device's RTS and DTR reach the other device as CTS and DSR, both ways, through the
// cables' modem lines; CTS changes are logged as rows of the port that saw them, DSR only
// in that port's header. With lines that can be read a line wait is pending in each relay:
// reopening the ports and leaving the program must still end it at once.
TEST_F(LinesTest, EachDevicesOutputsReachTheOtherDeviceAndTheLogAndReopenAndExitStayQuick)
{
    CDevicePort host(3);
    CDevicePort instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    // Found at open: the host's DTR is on before the program starts.
    ASSERT_TRUE(host.DriveLine(SETDTR));
    HWND hMain = StartAndOpen();
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));
    EXPECT_TRUE(WaitLine(instrument, MS_DSR_ON, true, 5000)) << "the priming drives the partner's DTR";
    EXPECT_EQ(0u, instrument.ReadLines() & MS_CTS_ON);
    HWND hLeft = GetDlgItem(hMain, ID_LEFT_HEADER);
    HWND hRight = GetDlgItem(hMain, ID_RIGHT_HEADER);

    const struct {
        CDevicePort* pFrom;
        CDevicePort* pTo;
        DWORD dwFunction, dwInput;
        bool bOn;
        HWND hHeader;   // the header that shows the change, for DSR
        const char* pszHeader;
    } cases[] = {
        {&host, &instrument, SETRTS, MS_CTS_ON, true, nullptr, nullptr},
        {&instrument, &host, SETRTS, MS_CTS_ON, true, nullptr, nullptr},
        {&instrument, &host, SETDTR, MS_DSR_ON, true, hRight, " L H     <\\\\.\\COM2>        DTR(LOW)"},
        {&host, &instrument, CLRDTR, MS_DSR_ON, false, hLeft, " L H     <\\\\.\\COM1>        DTR(HI)"},
        {&host, &instrument, CLRRTS, MS_CTS_ON, false, nullptr, nullptr},
    };
    int nRows = START_ROWS;
    for (const auto& c : cases) {
        ASSERT_TRUE(c.pFrom->DriveLine(c.dwFunction)) << c.dwFunction;
        EXPECT_TRUE(WaitLine(*c.pTo, c.dwInput, c.bOn, 5000)) << c.dwFunction << ": the other device sees it";
        if (c.hHeader != nullptr)
            EXPECT_TRUE(WaitUntil([&] { return GetText(c.hHeader) == c.pszHeader; }, 5000)) << GetText(c.hHeader);
        else   // one row per CTS change; the next change waits for it, so the rows keep their order
            EXPECT_TRUE(WaitRows(hMain, ++nRows)) << c.dwFunction;
    }
    std::vector<TExportRow> rows = ExportRows(hMain);
    ASSERT_EQ(static_cast<size_t>(nRows), rows.size()) << DescribeRows(rows);
    ExpectStartRows(rows);
    const TExportRow expected[] = {
        {"┏┛|??????| RTS is Low", "　┃|??????|"},
        {"┃　|??????|", "┏┛|??????| RTS is Low"},
        {"┗┓|??????| RTS is Hi", "┃　|??????|"},
    };
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(MatchesRow(rows[START_ROWS + i].strLeft, expected[i].strLeft) &&
                    MatchesRow(rows[START_ROWS + i].strRight, expected[i].strRight)) << DescribeRows(rows);

    // A relay whose stop waits out its line wait takes 15 s a port.
    m_app.Command(hMain, CMD_PORT_SETTING);
    HWND hDlg = m_app.WaitDialog(PORT_DIALOG);
    ASSERT_NE(nullptr, hDlg);
    m_app.ClickButton(hDlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(hDlg, 10000));
    DWORD dwStart = GetTickCount();
    ASSERT_TRUE(WaitRows(hMain, nRows + 2));
    EXPECT_LT(GetTickCount() - dwStart, 1000u) << "from the dialog's going until the new marker is shown";
    // The reopened ports relay and follow the lines again.
    ASSERT_TRUE(host.DriveLine(SETRTS));
    EXPECT_TRUE(WaitLine(instrument, MS_CTS_ON, true, 5000));

    m_app.Command(hMain, IDCANCEL);
    HWND hBox = m_app.WaitMessageBox(10000);
    ASSERT_NE(nullptr, hBox);
    m_app.ClickButton(hBox, IDOK);
    ASSERT_TRUE(WaitWindowGone(hMain, 20000));
    dwStart = GetTickCount();
    ASSERT_TRUE(m_app.WaitExit(20000));
    EXPECT_LT(GetTickCount() - dwStart, 1000u) << "from the main window's going until the process ended";
    EXPECT_EQ(0u, instrument.ReadLines() & (MS_CTS_ON | MS_DSR_ON)) << "a closed port drops its outputs";
}

// With CTS flow control a device that holds its RTS off holds the bytes for it: raised
// within the write time-out (1 s and a little here) they arrive; raised later they were
// given up and never arrive. The log shows them as received either way; a port logs
// what it received once its write to the other port has ended.
TEST_F(LinesTest, CtsFlowControlHoldsBytesUntilTheDeviceIsReadyOrTheWriteTimesOut)
{
    CDevicePort host(3);
    CDevicePort instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    instrument.Drain();
    HWND hMain = StartAndOpen("[setting]\r\nflow=1\r\n");
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));

    ASSERT_TRUE(host.Write("HELD1"));
    EXPECT_EQ("", instrument.Read(1, 300)) << "sent while the instrument was not ready";
    ASSERT_TRUE(instrument.DriveLine(SETRTS));
    EXPECT_EQ("HELD1", instrument.Read(5, 2000));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 2));
    ASSERT_TRUE(instrument.DriveLine(CLRRTS));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 3));

    ASSERT_TRUE(host.Write("LOST2"));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 4));   // logged once the write gave up
    ASSERT_TRUE(instrument.DriveLine(SETRTS));
    EXPECT_EQ("", instrument.Read(1, 1000)) << "given up at the time-out, not sent late";
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 5));
    ASSERT_TRUE(host.Write("NEXT3"));
    EXPECT_EQ("NEXT3", instrument.Read(5, 2000)) << "the relay goes on";

    // Both held chunks are in port1's column, the one given up too.
    std::string strLeft;
    for (const TExportRow& row : ExportRows(hMain))
        strLeft += row.strLeft + "\n";
    EXPECT_NE(std::string::npos, strLeft.find("48 45 4C 44 31 -- -- --  : HELD1\n")) << strLeft;
    EXPECT_NE(std::string::npos, strLeft.find("4C 4F 53 54 32 -- -- --  : LOST2\n")) << strLeft;
    EXPECT_TRUE(m_app.Quit(hMain));
}
