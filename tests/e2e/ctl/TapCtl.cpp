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
// Exits 0 when the step did what it should.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/e2e/AppDriver.h"

namespace {

const int ID_EXPORT = 32777;
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: tapctl confirm-ports | export PATH | quit | command ID | menu LETTER | key VK | wait TITLE | click TITLE ID\n");
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
    } else if (strcmp(argv[1], "answer") == 0 && argc >= 3) {
        nResult = Answer(app, atoi(argv[2]));
    } else if (strcmp(argv[1], "click") == 0 && argc >= 4) {
        nResult = Click(app, argv[2], atoi(argv[3]));
    }
    app.Release();
    return nResult;
}
