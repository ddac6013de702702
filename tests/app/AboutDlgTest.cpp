#include "app/AboutDlg.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string WindowText(HWND hWnd) {
    char szText[512] = {};
    GetWindowTextA(hWnd, szText, sizeof(szText));
    return szText;
}

}  // namespace

TEST(AboutDlgTest, ShowsTheFourLinesOfTheProgramsVersionBlock) {
    CAboutDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_ABOUTBOX));
    EXPECT_EQ("Taplinar \x82\xcc\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8f\xee\x95\xf1", WindowText(dlg.m_hWnd));
    EXPECT_EQ("簡易 Taplinar \nVersion 0, 19, 1028, 0\n\n"
              "Copyright (C) 2026 Taplinar developers Taplinar project",
              WindowText(GetDlgItem(dlg.m_hWnd, IDC_VERSION_TEXT)));
    EXPECT_NE(0, GetWindowLongA(GetDlgItem(dlg.m_hWnd, IDC_VERSION_TEXT), GWL_STYLE) & SS_NOPREFIX);

    // The OK button ends the box with OK.
    SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg.m_hWnd, IDOK)));
    EXPECT_EQ(IDOK, dlg.m_nModalResult);
    dlg.DestroyWindow();
}
