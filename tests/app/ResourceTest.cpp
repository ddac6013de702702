#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(NULL);
}

struct TMenuEntry {
    UINT nId;
    std::string strText;
    bool operator==(const TMenuEntry& other) const {
        return nId == other.nId && strText == other.strText;
    }
};

std::ostream& operator<<(std::ostream& os, const TMenuEntry& entry) {
    return os << entry.nId << ":" << entry.strText;
}

std::vector<TMenuEntry> PopupEntries(HMENU hPopup) {
    std::vector<TMenuEntry> entries;
    for (int i = 0; i < GetMenuItemCount(hPopup); ++i) {
        char szText[128] = {};
        GetMenuStringA(hPopup, i, szText, sizeof(szText), MF_BYPOSITION);
        UINT nId = GetMenuItemID(hPopup, i);
        entries.push_back({nId == static_cast<UINT>(-1) ? 0 : nId, szText});
    }
    return entries;
}

std::string MenuText(HMENU hMenu, int nPos) {
    char szText[128] = {};
    GetMenuStringA(hMenu, nPos, szText, sizeof(szText), MF_BYPOSITION);
    return szText;
}

// The pixel format and size of a bitmap loaded as the skin loads it.
DIBSECTION LoadSkinBitmap(int nId, HBITMAP* phBitmap) {
    DIBSECTION dib = {};
    *phBitmap = static_cast<HBITMAP>(LoadImageA(Module(), MAKEINTRESOURCEA(nId), IMAGE_BITMAP, 0, 0,
                                                LR_CREATEDIBSECTION));
    if (*phBitmap != NULL) {
        GetObjectA(*phBitmap, sizeof(dib), &dib);
    }
    return dib;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

}  // namespace

TEST(ResourceTest, MenuAndAboutStringAreThoseOfTheProgram) {
    char szText[128] = {};
    ASSERT_GT(LoadStringA(Module(), IDS_ABOUTBOX, szText, sizeof(szText)), 0);
    EXPECT_EQ("Taplinar のﾊﾞｰｼﾞｮﾝ情報(&A)...", std::string(szText));

    HMENU hMenu = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_MAINMENU));
    ASSERT_NE(nullptr, hMenu);
    ASSERT_EQ(3, GetMenuItemCount(hMenu));
    EXPECT_EQ("ファイル(&F)", MenuText(hMenu, 0));
    EXPECT_EQ("表示(&V)", MenuText(hMenu, 1));
    EXPECT_EQ("ヘルプ(&H)", MenuText(hMenu, 2));
    EXPECT_EQ((std::vector<TMenuEntry>{{32774, "ポート設定(&E)"}, {0, ""}, {32777, "ログ書き出し(&W)"},
                                       {0, ""}, {32771, "終了(&X)"}}),
              PopupEntries(GetSubMenu(hMenu, 0)));
    EXPECT_EQ((std::vector<TMenuEntry>{{32775, "監視(&M)"}, {0, ""}, {32776, "ログ設定(&S)"},
                                       {32772, "ログクリア(&C)"}}),
              PopupEntries(GetSubMenu(hMenu, 1)));
    EXPECT_EQ((std::vector<TMenuEntry>{{32773, "バージョン情報(&A)"}}),
              PopupEntries(GetSubMenu(hMenu, 2)));
    DestroyMenu(hMenu);
}

TEST(ResourceTest, IconAndSkinBitmapsHaveTheirSizesAndDepth) {
    EXPECT_NE(nullptr, LoadIconA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME)));
    HICON hSmall = static_cast<HICON>(
        LoadImageA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(nullptr, hSmall);
    DestroyIcon(hSmall);

    HBITMAP hFrame = NULL;
    DIBSECTION frame = LoadSkinBitmap(IDB_SKIN_FRAME, &hFrame);
    ASSERT_NE(nullptr, hFrame);
    EXPECT_EQ(90, frame.dsBm.bmWidth);
    EXPECT_EQ(90, frame.dsBm.bmHeight);
    EXPECT_EQ(24, frame.dsBm.bmBitsPixel);
    DeleteObject(hFrame);

    HBITMAP hButtons = NULL;
    DIBSECTION buttons = LoadSkinBitmap(IDB_SKIN_BUTTONS, &hButtons);
    ASSERT_NE(nullptr, hButtons);
    EXPECT_EQ(42, buttons.dsBm.bmWidth);
    EXPECT_EQ(15, buttons.dsBm.bmHeight);
    EXPECT_EQ(24, buttons.dsBm.bmBitsPixel);
    // The skin takes the bottom-left pixel as the transparent colour after
    // turning black into its face colour: the corner must be pure black, and
    // each state's face must be drawn (not black) at its centre.
    HDC hdc = CreateCompatibleDC(NULL);
    HGDIOBJ hOld = SelectObject(hdc, hButtons);
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(hdc, 0, 14));
    for (int nState = 0; nState < 3; ++nState) {
        EXPECT_NE(RGB(0, 0, 0), GetPixel(hdc, nState * 14 + 7, 7)) << "state " << nState;
    }
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    DeleteObject(hButtons);
}

TEST(ResourceTest, MainTemplateHasItsControlsStylesAndMenu) {
    HWND hDlg = CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_TAPLINAR_DIALOG), NULL,
                                   PlainDialogProc, 0);
    ASSERT_NE(nullptr, hDlg);
    char szText[64] = {};
    GetWindowTextA(hDlg, szText, sizeof(szText));
    EXPECT_EQ("Taplinar", std::string(szText));
    LONG lStyle = GetWindowLongA(hDlg, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU),
              lStyle & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU));
    EXPECT_NE(0, GetWindowLongA(hDlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    HMENU hMenu = GetMenu(hDlg);
    ASSERT_NE(nullptr, hMenu);
    EXPECT_EQ(3, GetMenuItemCount(hMenu));

    // The scroll bar comes and goes with the content, and the dialog manager
    // may turn the border into a client edge; the rest stays as written.
    const LONG lListStyle = LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT |
                            LBS_EXTENDEDSEL | LBS_NODATA | WS_TABSTOP;
    for (int nId : {IDC_LOG1, IDC_LOG2}) {
        HWND hList = GetDlgItem(hDlg, nId);
        ASSERT_NE(nullptr, hList) << nId;
        EXPECT_EQ(lListStyle, GetWindowLongA(hList, GWL_STYLE) & lListStyle) << nId;
        EXPECT_TRUE((GetWindowLongA(hList, GWL_STYLE) & WS_BORDER) ||
                    (GetWindowLongA(hList, GWL_EXSTYLE) & WS_EX_CLIENTEDGE))
            << nId;
    }
    for (int nId : {IDC_HEADER1, IDC_HEADER2}) {
        HWND hLabel = GetDlgItem(hDlg, nId);
        ASSERT_NE(nullptr, hLabel) << nId;
        GetWindowTextA(hLabel, szText, sizeof(szText));
        EXPECT_EQ(" L H", std::string(szText));
        EXPECT_EQ(SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                  GetWindowLongA(hLabel, GWL_STYLE) & (SS_TYPEMASK | SS_NOPREFIX));
    }
    DestroyWindow(hDlg);
}

TEST(ResourceTest, SettingsTemplatesCarryTheirCaptionsAndLists) {
    struct {
        int nTemplate;
        const char* pszCaption;
        std::vector<int> lists;
    } templates[] = {
        {IDD_PORT_SETTING, "設定 - Taplinar",
         {IDC_PORT1, IDC_PORT2, IDC_SPEED, IDC_PARITY, IDC_STOPBIT, IDC_DATABIT, IDC_FLOW}},
        {IDD_LOG_SETTING, "ログ設定 - Taplinar", {IDC_DATA_WIDTH, IDC_DATA_VIEW, IDC_SIGNAL_MODE}},
    };
    for (const auto& t : templates) {
        HWND hDlg = CreateDialogParamA(Module(), MAKEINTRESOURCEA(t.nTemplate), NULL,
                                       PlainDialogProc, 0);
        ASSERT_NE(nullptr, hDlg) << t.nTemplate;
        char szText[64] = {};
        GetWindowTextA(hDlg, szText, sizeof(szText));
        EXPECT_EQ(t.pszCaption, std::string(szText));
        EXPECT_NE(0, GetWindowLongA(hDlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        for (int nId : t.lists) {
            HWND hList = GetDlgItem(hDlg, nId);
            ASSERT_NE(nullptr, hList) << nId;
            EXPECT_EQ(CBS_DROPDOWNLIST, GetWindowLongA(hList, GWL_STYLE) & 3) << nId;
        }
        EXPECT_NE(nullptr, GetDlgItem(hDlg, IDOK));
        EXPECT_NE(nullptr, GetDlgItem(hDlg, IDCANCEL));
        DestroyWindow(hDlg);
    }
}
