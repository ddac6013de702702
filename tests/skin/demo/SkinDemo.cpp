// Shows the program's dialog templates with the installed skin, so that the
// skin can be looked at and photographed without ports or settings.
//   skin_demo.exe main | inactive | menu | port | log | about | msgbox
#include <windows.h>

#include <cstring>

#include "res/resource.h"
#include "skin/SkinSetup.h"

namespace {

HWND g_hMain = nullptr;
const UINT WM_DEMO_OPEN_MENU = WM_APP + 1;

const char* const g_rows[2][4] = {
    {"ON  ON  12:00:01.250 0D 0A 41 54 2B 43 47 4D  ..AT+CGM", "ON  ON  12:00:01.262 49 0D 0A  I..", "", ""},
    {"", "", "ON  OFF 12:00:01.300 4F 4B 0D 0A  OK..", ""}};

void DrawRow(const DRAWITEMSTRUCT& dis)
{
    const int nView = dis.CtlID == IDC_LOG1 ? 0 : 1;
    const bool bSelected = (dis.itemState & ODS_SELECTED) != 0;
    FillRect(dis.hDC, &dis.rcItem, GetSysColorBrush(bSelected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (dis.itemID >= 4)
        return;
    SetBkMode(dis.hDC, TRANSPARENT);
    SetTextColor(dis.hDC, GetSysColor(bSelected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const char* pszRow = g_rows[nView][dis.itemID];
    RECT rc = dis.rcItem;
    rc.left += 2;
    DrawTextA(dis.hDC, pszRow, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void LayOutMain(HWND hDlg)
{
    RECT rc = {};
    GetClientRect(hDlg, &rc);
    const int nHalf = (rc.right - 21) / 2;
    MoveWindow(GetDlgItem(hDlg, IDC_HEADER1), 7, 6, nHalf, 16, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDC_HEADER2), 14 + nHalf, 6, nHalf, 16, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDC_LOG1), 7, 24, nHalf, rc.bottom - 31, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDC_LOG2), 14 + nHalf, 24, nHalf, rc.bottom - 31, TRUE);
}

INT_PTR CALLBACK MainProc(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_INITDIALOG: {
        HICON hIcon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr),
                                                    MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                                    16, 16, 0));
        SendMessageA(hDlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
        SetDlgItemTextA(hDlg, IDC_HEADER1, " COM1  CTS:ON  DSR:ON");
        SetDlgItemTextA(hDlg, IDC_HEADER2, " COM2  CTS:ON  DSR:OFF");
        return TRUE;
    }
    case WM_SIZE:
        LayOutMain(hDlg);
        return TRUE;
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* pDraw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (pDraw->CtlType != ODT_LISTBOX)
            return FALSE;
        DrawRow(*pDraw);
        return TRUE;
    }
    case WM_DEMO_OPEN_MENU: {
        // The view menu, its first item checked as while monitoring.
        HMENU hBar = GetMenu(hDlg);
        HMENU hView = GetSubMenu(hBar, 1);
        CheckMenuItem(hView, 0, MF_BYPOSITION | MF_CHECKED);
        RECT rcItem = {};
        GetMenuItemRect(hDlg, hBar, 1, &rcItem);
        // The menu loop takes these keys first: the second item shows selected.
        PostMessageA(hDlg, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(hDlg, WM_KEYDOWN, VK_DOWN, 0);
        TrackPopupMenu(hView, TPM_LEFTALIGN | TPM_TOPALIGN, rcItem.left, rcItem.bottom, 0, hDlg,
                       nullptr);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK PlainProc(HWND, UINT nMsg, WPARAM, LPARAM)
{
    return nMsg == WM_INITDIALOG ? TRUE : FALSE;
}

HWND ShowMain()
{
    HWND hDlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TAPLINAR_DIALOG),
                                   nullptr, &MainProc, 0);
    SetWindowPos(hDlg, nullptr, 20, 20, 640, 300, SWP_NOZORDER);
    ShowWindow(hDlg, SW_SHOW);
    SetActiveWindow(hDlg);
    return hDlg;
}

HWND ShowDialog(UINT nId, int x, int y)
{
    HWND hDlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nId), g_hMain,
                                   &PlainProc, 0);
    SetWindowPos(hDlg, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
    ShowWindow(hDlg, SW_SHOW);
    SetActiveWindow(hDlg);
    return hDlg;
}

// A grey backdrop under everything, so that black (inactive) captions show on
// the photographs; Xvfb's own background is black.
void ShowBackdrop()
{
    HWND hBackdrop = CreateWindowExA(WS_EX_NOACTIVATE, "STATIC", "", WS_POPUP | SS_GRAYRECT, 0, 0,
                                     GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowPos(hBackdrop, HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void InstallSkin()
{
    ZEV::TSkinColors colors;
    colors.textColor = 0x000000;
    colors.faceColor = 0xFFA37A;
    colors.activeCaptionColor = 0xFF0000;
    colors.inactiveCaptionColor = 0x000000;
    HINSTANCE hInstance = GetModuleHandleA(nullptr);
    ZEV::CSharedBitmap buttons = ZEV::LoadSkinBitmap(hInstance, IDB_SKIN_BUTTONS);
    ZEV::CSharedBitmap frame = ZEV::LoadSkinBitmap(hInstance, IDB_SKIN_FRAME);
    ZEV::SetupSkin(colors, frame.Get(), buttons.Get(), 3);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    InstallSkin();
    ShowBackdrop();
    const char* pszMode = lpCmdLine && *lpCmdLine ? lpCmdLine : "main";
    g_hMain = ShowMain();
    SendDlgItemMessageA(g_hMain, IDC_LOG1, LB_SETCOUNT, 3, 0);
    SendDlgItemMessageA(g_hMain, IDC_LOG2, LB_SETCOUNT, 3, 0);

    if (std::strcmp(pszMode, "inactive") == 0)
        ShowDialog(IDD_ABOUTBOX, 420, 330);
    else if (std::strcmp(pszMode, "menu") == 0)
        PostMessageA(g_hMain, WM_DEMO_OPEN_MENU, 0, 0);
    else if (std::strcmp(pszMode, "port") == 0)
        ShowDialog(IDD_PORT_SETTING, 120, 80);
    else if (std::strcmp(pszMode, "log") == 0)
        ShowDialog(IDD_LOG_SETTING, 120, 80);
    else if (std::strcmp(pszMode, "about") == 0)
        ShowDialog(IDD_ABOUTBOX, 120, 80);
    else if (std::strcmp(pszMode, "msgbox") == 0)
        MessageBoxA(g_hMain, "指定のポート１はオープンできませんでした。", "Taplinar",
                    MB_OK | MB_ICONEXCLAMATION);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(GetActiveWindow(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
