#include "settings/LogSettingDlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/settings/DialogTestKit.h"

namespace {

typedef std::vector<std::string> TTexts;

const char ALL_THREE[] =
    "[main-dlg]\r\nValid=1\r\n[log-setting]\r\ndata-width=1\r\ndata-view-type=1\r\n"
    "signal-mode=0\r\n";

class LogSettingDlgTest : public ::testing::Test {
protected:
    void TearDown() override { m_dlg.DestroyWindow(); }

    HWND Open() {
        EXPECT_TRUE(m_dlg.Create(IDD_LOG_SETTING));
        return m_dlg.m_hWnd;
    }

    ULONGLONG PrepareFile(const std::string& strBytes) {
        m_ini.WriteBytes(strBytes);
        return m_ini.GetWriteTime();
    }

    CDefaultIniGuard m_ini;
    CLogSettingDlg m_dlg;
};

}  // namespace

TEST_F(LogSettingDlgTest, WithoutIniFileShowsEightBytesAbbreviatedWithSignals) {
    HWND hDlg = Open();
    EXPECT_EQ((TTexts{"16", "8"}), GetItems(hDlg, IDC_DATA_WIDTH));
    EXPECT_EQ((TTexts{"HEX表示（省略有り）", "HEX表示（省略なし）"}), GetItems(hDlg, IDC_DATA_VIEW));
    EXPECT_EQ((TTexts{"表示あり", "表示なし"}), GetItems(hDlg, IDC_SIGNAL_MODE));
    EXPECT_EQ("8", GetSelectedText(hDlg, IDC_DATA_WIDTH));
    EXPECT_EQ("HEX表示（省略有り）", GetSelectedText(hDlg, IDC_DATA_VIEW));
    EXPECT_EQ("\x95\x5c\x8e\xa6\x82\xa0\x82\xe8", GetSelectedText(hDlg, IDC_SIGNAL_MODE));
    EXPECT_FALSE(m_ini.Exists());
}

TEST_F(LogSettingDlgTest, ChoosingSixteenStoresPositionZero) {
    HWND hDlg = Open();
    ChooseItem(hDlg, IDC_DATA_WIDTH, 0);
    ClickButton(hDlg, IDOK);
    EXPECT_EQ(IDOK, m_dlg.m_nModalResult);
    EXPECT_EQ("[log-setting]\r\ndata-width=0\r\ndata-view-type=0\r\nsignal-mode=0\r\n",
              m_ini.ReadBytes());
    EXPECT_EQ(0, CLogSettingDlg::GetDataWidthSetting());
}

TEST_F(LogSettingDlgTest, CancelLeavesTheFileUntouched) {
    const ULONGLONG ullAged = PrepareFile(ALL_THREE);
    HWND hDlg = Open();
    EXPECT_EQ("HEX表示（省略なし）", GetSelectedText(hDlg, IDC_DATA_VIEW));
    ChooseItem(hDlg, IDC_DATA_WIDTH, 0);
    ChooseItem(hDlg, IDC_DATA_VIEW, 0);
    ChooseItem(hDlg, IDC_SIGNAL_MODE, 1);
    ClickButton(hDlg, IDCANCEL);
    EXPECT_EQ(IDCANCEL, m_dlg.m_nModalResult);
    EXPECT_EQ(ALL_THREE, m_ini.ReadBytes());
    EXPECT_EQ(ullAged, m_ini.GetWriteTime());
}

TEST_F(LogSettingDlgTest, ConfirmingWithoutChangesDoesNotRewriteTheFile) {
    const ULONGLONG ullAged = PrepareFile(ALL_THREE);
    ClickButton(Open(), IDOK);
    EXPECT_EQ(IDOK, m_dlg.m_nModalResult);
    EXPECT_EQ(ALL_THREE, m_ini.ReadBytes());
    EXPECT_EQ(ullAged, m_ini.GetWriteTime());
}

TEST_F(LogSettingDlgTest, OutOfRangePositionsSelectNothingAndAreKept) {
    const std::string bad =
        "[log-setting]\r\ndata-width=2\r\ndata-view-type=-1\r\nsignal-mode=99\r\n";
    const ULONGLONG ullAged = PrepareFile(bad);
    HWND hDlg = Open();
    EXPECT_EQ(CB_ERR, GetSelection(hDlg, IDC_DATA_WIDTH));
    EXPECT_EQ(CB_ERR, GetSelection(hDlg, IDC_DATA_VIEW));
    EXPECT_EQ(CB_ERR, GetSelection(hDlg, IDC_SIGNAL_MODE));
    // Nothing chosen is nothing to store.
    ClickButton(hDlg, IDOK);
    EXPECT_EQ(bad, m_ini.ReadBytes());
    EXPECT_EQ(ullAged, m_ini.GetWriteTime());
}

TEST_F(LogSettingDlgTest, ReadersFallBackOnlyForAbsentOrEmptyValues) {
    EXPECT_EQ(1, CLogSettingDlg::GetDataWidthSetting());
    EXPECT_EQ(0, CLogSettingDlg::GetDataViewSetting());
    EXPECT_EQ(0, CLogSettingDlg::GetSignalModeSetting());

    m_ini.WriteBytes("[log-setting]\r\ndata-width=\r\ndata-view-type=abc\r\nsignal-mode=3\r\n");
    EXPECT_EQ(1, CLogSettingDlg::GetDataWidthSetting());
    EXPECT_EQ(0, CLogSettingDlg::GetDataViewSetting());
    EXPECT_EQ(3, CLogSettingDlg::GetSignalModeSetting());

    m_ini.WriteBytes("[log-setting]\r\ndata-width=0\r\ndata-view-type=-1\r\n");
    EXPECT_EQ(0, CLogSettingDlg::GetDataWidthSetting());
    EXPECT_EQ(-1, CLogSettingDlg::GetDataViewSetting());
}
