// tapctl: drives a running Taplinar from the command line, as a user would.
//   tapctl confirm-ports     press OK in the port settings dialog shown at start-up
//   tapctl export PATH       "ログ書き出し" into PATH; prints the message shown
//   tapctl quit              close the program, answering its question with OK
//   tapctl command ID        the menu command ID on the main window
//   tapctl menu LETTER       open the main window's menu with that access key
//   tapctl key VK            a key press (virtual-key code) to the program's active window
//   tapctl wait TITLE        wait until a window with that title shows
//   tapctl click TITLE ID    press button ID of the window with that title
//   tapctl answer ID         press button ID of the program's message box
//   tapctl shows NAME [TEXT] wait until the program's front window is titled NAME (or is of
//                            class NAME) and, given TEXT, shows it; prints where the
//                            program's windows are on the screen, as WxH+X+Y
//   tapctl view-rows [N]     row counts of both log views and, per view, its last dump
//                            row among the last N rows (default 200)
//   tapctl watch MS SECONDS  every MS: how long the main window takes to answer WM_NULL
//                            and both views' row counts, one line per probe
// Exits 0 when the step did what it should.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/AppDriver.h"

namespace {

const int ID_EXPORT = 32777;
const int ID_VIEWS[2] = {1000, 1001};
// A busy window thread answers late; a probe that waits longer than this counts as lost.
const UINT PROBE_TIMEOUT_MS = 30000;
const char PORT_DIALOG[] = "設定 - Taplinar";

int ConfirmPorts(CAppDriver& app)
{
    HWND hDlg = app.WaitDialog(PORT_DIALOG, 30000);
    if (hDlg == nullptr) {
        fprintf(stderr, "tapctl: no port settings dialog\n");
        return 1;
    }
    app.ClickButton(hDlg, IDOK);
    if (app.WaitMainWindow(10000) == nullptr) {
        fprintf(stderr, "tapctl: the main window did not appear\n");
        return 1;
    }
    return app.WaitWindow([&](HWND hWnd) { return hWnd == hDlg; }, 1) == nullptr ? 0 : 1;
}

int Export(CAppDriver& app, const std::string& strPath)
{
    HWND hMain = app.WaitMainWindow(10000);
    if (hMain == nullptr) {
        return 1;
    }
    app.Command(hMain, ID_EXPORT);
    HWND hSave = app.WaitSaveDialog(10000);
    if (hSave == nullptr || !app.FillSaveDialog(hSave, strPath)) {
        fprintf(stderr, "tapctl: no save dialog\n");
        return 1;
    }
    HWND hBox = app.WaitMessageBox(20000);
    if (hBox == nullptr) {
        fprintf(stderr, "tapctl: no message after saving\n");
        return 1;
    }
    std::string strMessage = GetMessageText(hBox);
    printf("%s\n", strMessage.c_str());
    app.ClickButton(hBox, IDOK);
    for (int i = 0; i < 100 && IsWindow(hBox); ++i) {
        Sleep(50);
    }
    return strMessage == "保存しました。" ? 0 : 1;
}

int Quit(CAppDriver& app)
{
    HWND hMain = app.WaitMainWindow(10000);
    if (hMain == nullptr) {
        return 1;
    }
    app.Command(hMain, IDCANCEL);
    HWND hBox = app.WaitMessageBox(10000);
    if (hBox == nullptr) {
        return 1;
    }
    app.ClickButton(hBox, IDOK);
    return app.WaitExit(20000) ? 0 : 1;
}

HWND MainWindow(CAppDriver& app)
{
    HWND hMain = app.WaitMainWindow(10000);
    if (hMain == nullptr) {
        fprintf(stderr, "tapctl: no main window\n");
    }
    return hMain;
}

int Command(CAppDriver& app, int nId)
{
    HWND hMain = MainWindow(app);
    if (hMain == nullptr) {
        return 1;
    }
    app.Command(hMain, nId);
    return 0;
}

int OpenMenu(CAppDriver& app, char cLetter)
{
    HWND hMain = MainWindow(app);
    if (hMain == nullptr) {
        return 1;
    }
    PostMessageA(hMain, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(cLetter));
    return 0;
}

int Key(CAppDriver& app, UINT nVirtualKey)
{
    HWND hActive = app.WaitWindow([](HWND hWnd) { return GetForegroundWindow() == hWnd; }, 2000);
    HWND hTarget = hActive != nullptr ? hActive : MainWindow(app);
    if (hTarget == nullptr) {
        return 1;
    }
    app.PressKey(hTarget, nVirtualKey);
    return 0;
}

int Click(CAppDriver& app, const char* pszTitle, int nId)
{
    HWND hWnd = app.WaitDialog(pszTitle, 10000);
    if (hWnd == nullptr) {
        fprintf(stderr, "tapctl: no window titled %s\n", pszTitle);
        return 1;
    }
    app.ClickButton(hWnd, nId);
    return WaitWindowGone(hWnd, 10000) ? 0 : 1;
}

int Answer(CAppDriver& app, int nId)
{
    HWND hBox = app.WaitMessageBox(10000);
    if (hBox == nullptr) {
        fprintf(stderr, "tapctl: no message box\n");
        return 1;
    }
    app.ClickButton(hBox, nId);
    return WaitWindowGone(hBox, 10000) ? 0 : 1;
}

// A photograph is named for a window: it is taken only once that window is in front of
// the program's others, and it covers all of them, whatever their size.
int Shows(CAppDriver& app, const std::string& strName, const std::string& strText)
{
    std::string strFront = "none";
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < 10000; Sleep(100)) {
        std::vector<HWND> windows = app.GetTopWindows();
        if (windows.empty())
            continue;
        strFront = GetText(windows[0]) + " (" + GetClass(windows[0]) + ")";
        if ((GetText(windows[0]) != strName && GetClass(windows[0]) != strName) ||
            (!strText.empty() && FindWindowExA(windows[0], nullptr, nullptr, strText.c_str()) == nullptr))
            continue;
        RECT all = {}, rc, screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        for (HWND hWnd : windows)
            if (GetWindowRect(hWnd, &rc))
                UnionRect(&all, &all, &rc);
        IntersectRect(&all, &all, &screen);
        printf("%ldx%ld+%ld+%ld\n", all.right - all.left, all.bottom - all.top, all.left, all.top);
        return 0;
    }
    fprintf(stderr, "tapctl: the program's front window is %s, not %s %s\n", strFront.c_str(), strName.c_str(),
            strText.c_str());
    return 1;
}

// The answer of one message to another process's window, or -1 when it did not come.
LONG_PTR Ask(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(hWnd, nMessage, wParam, lParam, SMTO_NORMAL, PROBE_TIMEOUT_MS, &dwResult))
        return -1;
    return static_cast<LONG_PTR>(dwResult);
}

// A dump row holds " : " between its offset and its bytes; the rows that only mark the
// other port's moment do not.
bool IsDumpRow(const std::string& strRow)
{
    return strRow.find(" : ") != std::string::npos;
}

std::string ReadClipboardText()
{
    std::string strText;
    for (int nTry = 0; nTry < 50 && !OpenClipboard(nullptr); ++nTry)
        Sleep(20);
    HANDLE hData = GetClipboardData(CF_TEXT);
    const char* pszText = hData != nullptr ? static_cast<const char*>(GlobalLock(hData)) : nullptr;
    if (pszText != nullptr) {
        strText = pszText;
        GlobalUnlock(hData);
    }
    CloseClipboard();
    return strText;
}

// The rows of a view reach another process only as the user gets them: LB_GETTEXT of an
// owner-drawn box without strings carries just a pointer's worth of bytes across. So the
// last rows are selected and copied with the view's own Ctrl+C.
std::vector<std::string> CopyLastRows(HWND hView, LONG_PTR nCount, int nDepth)
{
    LONG_PTR nFirst = nCount > nDepth ? nCount - nDepth : 0;
    if (nCount <= 0 || !OpenClipboard(nullptr))
        return {};
    EmptyClipboard();
    CloseClipboard();
    Ask(hView, LB_SETSEL, FALSE, -1);
    Ask(hView, LB_SELITEMRANGEEX, nFirst, nCount - 1);
    Ask(hView, WM_CHAR, 3, 0x2E0001);
    Ask(hView, LB_SETSEL, FALSE, -1);
    return SplitLines(ReadClipboardText());
}

int ViewRows(CAppDriver& app, int nDepth)
{
    HWND hMain = MainWindow(app);
    if (hMain == nullptr)
        return 1;
    for (int nView : ID_VIEWS) {
        HWND hView = GetDlgItem(hMain, nView);
        LONG_PTR nCount = Ask(hView, LB_GETCOUNT, 0, 0);
        std::vector<std::string> rows = CopyLastRows(hView, nCount, nDepth);
        std::string strLast;
        for (auto it = rows.rbegin(); it != rows.rend() && strLast.empty(); ++it)
            if (IsDumpRow(*it))
                strLast = *it;
        printf("view %d %ld %s\n", nView, static_cast<long>(nCount), strLast.c_str());
    }
    return 0;
}

double MsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Probes on a fixed period; a probe that overran it is followed by the next at once.
int Watch(CAppDriver& app, int nPeriodMs, int nSeconds)
{
    HWND hMain = MainWindow(app);
    if (hMain == nullptr)
        return 1;
    HWND hViews[2] = {GetDlgItem(hMain, ID_VIEWS[0]), GetDlgItem(hMain, ID_VIEWS[1])};
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    for (double dNext = 0; dNext < nSeconds * 1000.0 && IsWindow(hMain); dNext += nPeriodMs) {
        double dWait = dNext - MsSince(start);
        if (dWait > 0)
            Sleep(static_cast<DWORD>(dWait));
        LARGE_INTEGER sent;
        QueryPerformanceCounter(&sent);
        bool bAnswered = Ask(hMain, WM_NULL, 0, 0) >= 0;
        double dAnswer = bAnswered ? MsSince(sent) : -1.0;
        printf("probe %.1f %.2f %ld %ld\n", MsSince(start), dAnswer, static_cast<long>(Ask(hViews[0], LB_GETCOUNT, 0, 0)),
               static_cast<long>(Ask(hViews[1], LB_GETCOUNT, 0, 0)));
        fflush(stdout);
        if (MsSince(start) > dNext + nPeriodMs)
            dNext = MsSince(start) - nPeriodMs;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: tapctl confirm-ports | export PATH | quit | command ID | menu LETTER | key VK | wait TITLE | click TITLE ID | shows NAME [TEXT] | view-rows [N] | watch MS SECONDS\n");
        return 2;
    }
    CAppDriver app;
    if (!app.AttachRunning(30000)) {
        fprintf(stderr, "tapctl: Taplinar is not running\n");
        return 1;
    }
    int nResult = 2;
    if (strcmp(argv[1], "confirm-ports") == 0) {
        nResult = ConfirmPorts(app);
    } else if (strcmp(argv[1], "export") == 0 && argc >= 3) {
        nResult = Export(app, argv[2]);
    } else if (strcmp(argv[1], "quit") == 0) {
        nResult = Quit(app);
    } else if (strcmp(argv[1], "command") == 0 && argc >= 3) {
        nResult = Command(app, atoi(argv[2]));
    } else if (strcmp(argv[1], "menu") == 0 && argc >= 3) {
        nResult = OpenMenu(app, argv[2][0]);
    } else if (strcmp(argv[1], "key") == 0 && argc >= 3) {
        nResult = Key(app, static_cast<UINT>(atoi(argv[2])));
    } else if (strcmp(argv[1], "wait") == 0 && argc >= 3) {
        nResult = app.WaitDialog(argv[2], 20000) != nullptr ? 0 : 1;
    } else if (strcmp(argv[1], "shows") == 0 && argc >= 3) {
        nResult = Shows(app, argv[2], argc >= 4 ? argv[3] : "");
    } else if (strcmp(argv[1], "answer") == 0 && argc >= 3) {
        nResult = Answer(app, atoi(argv[2]));
    } else if (strcmp(argv[1], "view-rows") == 0) {
        nResult = ViewRows(app, argc >= 3 ? atoi(argv[2]) : 200);
    } else if (strcmp(argv[1], "watch") == 0 && argc >= 4) {
        nResult = Watch(app, atoi(argv[2]), atoi(argv[3]));
    } else if (strcmp(argv[1], "click") == 0 && argc >= 4) {
        nResult = Click(app, argv[2], atoi(argv[3]));
    }
    app.Release();
    return nResult;
}
