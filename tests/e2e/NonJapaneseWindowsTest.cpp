#include <algorithm>

#include "tests/e2e/TapFixture.h"

// The program on a Windows whose code page for non-Unicode programs is not 932: this
// test runs under LANG=en_US.UTF-8 (code page 1252 in Wine), and the program it starts
// with it. Texts are read as Unicode and compared with the expected characters. (Wine
// lets no other process read a menu; the menu's texts show in the photograph taken
// under this locale.)
class NonJapaneseWindowsTest : public CTapFixture
{
};

namespace {

const int ID_PARITY = 1007;
const int ID_FLOW = 1013;

std::vector<std::wstring> ChildTexts(HWND hWnd)
{
    std::vector<std::wstring> texts;
    for (HWND h = GetWindow(hWnd, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        texts.push_back(GetTextW(h));
    }
    return texts;
}

std::string Utf8(const std::wstring& strText)
{
    char szText[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), -1, szText, sizeof(szText), nullptr, nullptr);
    return szText;
}

}  // namespace

TEST_F(NonJapaneseWindowsTest, TextsReadRightAndTheExportKeepsItsShiftJisBytes)
{
    ASSERT_EQ(1252u, GetACP()) << "run under LANG=en_US.UTF-8";
    CDevicePort host(3);
    CDevicePort instrument(4);
    ASSERT_TRUE(host.IsOpen() && instrument.IsOpen());
    host.Drain();
    HWND hDlg = StartToPortDialog();
    ASSERT_NE(nullptr, hDlg);
    const std::vector<std::wstring> labels = ChildTexts(hDlg);
    const struct {
        std::wstring strRead;  // empty: one of the dialog's labels
        std::wstring strText;
    } expected[] = {
        {GetTextW(hDlg), L"設定 - Taplinar"}, {L"", L"ポート１"}, {L"", L"ポート２"}, {L"", L"速度"},
        {L"", L"パリティ"}, {L"", L"ストップビット"}, {L"", L"データ長"}, {L"", L"フロー"}, {L"", L"更新"},
        {GetComboTextW(hDlg, ID_PARITY), L"なし"}, {GetComboTextW(hDlg, ID_FLOW), L"なし"},
    };
    for (const auto& item : expected) {
        const bool bFound = !item.strRead.empty() ? item.strRead == item.strText
                                                  : std::count(labels.begin(), labels.end(), item.strText) == 1;
        EXPECT_TRUE(bFound) << Utf8(item.strText) << " reads " << Utf8(item.strRead);
    }

    m_app.ClickButton(hDlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(hDlg, 10000));
    HWND hMain = m_app.WaitMainWindow();
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitRows(hMain, START_ROWS));
    EXPECT_EQ(L" L H     <\\\\.\\COM1>        DTR(HI)", GetTextW(GetDlgItem(hMain, ID_LEFT_HEADER)));

    // A character cut by the row's end and a lone lead byte before the CR follow the same
    // Shift-JIS rules as under code page 932: the export is the same bytes.
    ASSERT_TRUE(host.Write("ABCDEFG\x83\x7C\x81\x5B\x83\r\n"));
    ASSERT_TRUE(WaitRows(hMain, START_ROWS + 2));
    std::vector<TExportRow> rows = ExportRows(hMain);
    ASSERT_EQ(START_ROWS + 2, rows.size()) << DescribeRows(rows);
    EXPECT_EQ("　┃|------| 0000 : 41 42 43 44 45 46 47 83  : ABCDEFGポ", rows[START_ROWS].strLeft);
    EXPECT_EQ("　┃|      | 0008 : 7C 81 5B 83 0D 0A -- --  : .ー...", rows[START_ROWS + 1].strLeft);

    m_app.Command(hMain, IDCANCEL);
    HWND hBox = m_app.WaitMessageBox();
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(L"終了します。よろしいですか？？", GetTextW(GetDlgItem(hBox, 0xFFFF)));
    m_app.ClickButton(hBox, IDOK);
    EXPECT_TRUE(m_app.WaitExit(20000));
}
