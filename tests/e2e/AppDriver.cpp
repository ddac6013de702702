#include "tests/e2e/AppDriver.h"

#include <algorithm>
#include <cstdio>

namespace {

const char APP_TITLE[] = "Taplinar";
const int ID_LEFT_VIEW = 1000;
const int ID_EXPORT = 32777;

// ctest hands over Unix paths; Wine reaches them through drive Z:.
std::string ToWinePath(const std::string& strPath)
{
    if (strPath.empty() || strPath[0] != '/') {
        return strPath;
    }
    std::string strOut = "Z:" + strPath;
    for (char& c : strOut) {
        if (c == '/') {
            c = '\\';
        }
    }
    return strOut;
}

// A folder that did not exist before: Wine reuses process ids, and a folder left from an
// earlier run would hand its INI file to the next test.
std::string MakeWorkDir()
{
    static int s_nRun = 0;
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    for (;;) {
        char szDir[MAX_PATH];
        snprintf(szDir, sizeof(szDir), "%staplinar-e2e-%lu-%d", szTemp, GetCurrentProcessId(), ++s_nRun);
        if (CreateDirectoryA(szDir, nullptr) || GetLastError() != ERROR_ALREADY_EXISTS) {
            return szDir;
        }
    }
}

// Removes a work folder with the files in it (it holds no subfolders of its own).
void RemoveWorkDir(const std::string& strDir)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA((strDir + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileA((strDir + "\\" + data.cFileName).c_str());
            }
        } while (FindNextFileA(hFind, &data));
        FindClose(hFind);
    }
    RemoveDirectoryA(strDir.c_str());
}

struct TEnumContext
{
    DWORD dwPid;
    std::vector<HWND>* pList;
};

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    TEnumContext* pContext = reinterpret_cast<TEnumContext*>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid == pContext->dwPid && IsWindowVisible(hWnd)) {
        pContext->pList->push_back(hWnd);
    }
    return TRUE;
}

bool IsMainWindow(HWND hWnd)
{
    return GetText(hWnd) == APP_TITLE && GetDlgItem(hWnd, ID_LEFT_VIEW) != nullptr;
}

}  // namespace

CAppDriver::CAppDriver()
{
    ZeroMemory(&m_pi, sizeof(m_pi));
}

CAppDriver::~CAppDriver()
{
    Kill();
    for (const std::string& strDir : m_workDirs) {
        RemoveWorkDir(strDir);
    }
}

bool CAppDriver::Start(const std::string& strExe, const std::string& strIni, const std::string& strArgs)
{
    Kill();
    m_strWorkDir = MakeWorkDir();
    m_workDirs.push_back(m_strWorkDir);
    std::string strTarget = m_strWorkDir + "\\taplinar.exe";
    if (!CopyFileA(ToWinePath(strExe).c_str(), strTarget.c_str(), FALSE)) {
        return false;
    }
    if (!strIni.empty() && !WriteFileBytes(GetIniPath(), strIni)) {
        return false;
    }
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    std::string strCommand = "\"" + strTarget + "\" " + strArgs;
    return CreateProcessA(strTarget.c_str(), &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr,
                          m_strWorkDir.c_str(), &si, &m_pi) != FALSE;
}

bool CAppDriver::AttachRunning(DWORD dwMs)
{
    const char* titles[] = {APP_TITLE, "設定 - Taplinar"};
    DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < dwMs) {
        for (const char* pszTitle : titles) {
            HWND hWnd = FindWindowA("#32770", pszTitle);
            if (hWnd == nullptr) {
                continue;
            }
            GetWindowThreadProcessId(hWnd, &m_pi.dwProcessId);
            m_pi.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE,
                                        m_pi.dwProcessId);
            return m_pi.hProcess != nullptr;
        }
        Sleep(100);
    }
    return false;
}

bool CAppDriver::WaitExit(DWORD dwMs)
{
    if (m_pi.hProcess == nullptr) {
        return true;
    }
    return WaitForSingleObject(m_pi.hProcess, dwMs) == WAIT_OBJECT_0;
}

bool CAppDriver::IsRunning() const
{
    return m_pi.hProcess != nullptr && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

void CAppDriver::Kill()
{
    if (m_pi.hProcess == nullptr) {
        return;
    }
    if (IsRunning()) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 10000);
    }
    Release();
}

void CAppDriver::Release()
{
    if (m_pi.hProcess == nullptr) {
        return;
    }
    if (m_pi.hThread != nullptr) {
        CloseHandle(m_pi.hThread);
    }
    CloseHandle(m_pi.hProcess);
    ZeroMemory(&m_pi, sizeof(m_pi));
}

std::string CAppDriver::GetIniPath() const
{
    return m_strWorkDir + "\\taplinar.ini";
}

std::string CAppDriver::ReadIni() const
{
    return ReadFileBytes(GetIniPath());
}

std::vector<HWND> CAppDriver::GetTopWindows() const
{
    std::vector<HWND> list;
    TEnumContext context = {m_pi.dwProcessId, &list};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
    return list;
}

HWND CAppDriver::WaitWindow(const std::function<bool(HWND)>& match, DWORD dwMs) const
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        for (HWND hWnd : GetTopWindows()) {
            if (match(hWnd)) {
                return hWnd;
            }
        }
        if (GetTickCount() - dwStart >= dwMs || !IsRunning()) {
            return nullptr;
        }
        Sleep(50);
    }
}

HWND CAppDriver::WaitDialog(const char* pszTitle, DWORD dwMs) const
{
    std::string strTitle = pszTitle;
    return WaitWindow([&](HWND hWnd) { return GetText(hWnd) == strTitle; }, dwMs);
}

HWND CAppDriver::WaitMainWindow(DWORD dwMs) const
{
    return WaitWindow(IsMainWindow, dwMs);
}

HWND CAppDriver::WaitMessageBox(DWORD dwMs) const
{
    return WaitWindow([](HWND hWnd) { return GetText(hWnd) == APP_TITLE && !IsMainWindow(hWnd); }, dwMs);
}

HWND CAppDriver::WaitSaveDialog(DWORD dwMs) const
{
    // Explorer-style dialogs name the file in combo box 0x47C, older ones in edit 0x480.
    return WaitWindow([](HWND hWnd) {
        return GetClass(hWnd) == "#32770" && (GetDlgItem(hWnd, 0x47C) != nullptr || GetDlgItem(hWnd, 0x480) != nullptr);
    }, dwMs);
}

bool CAppDriver::FillSaveDialog(HWND hDlg, const std::string& strPath) const
{
    HWND hName = GetDlgItem(hDlg, 0x47C);
    if (hName == nullptr) {
        hName = GetDlgItem(hDlg, 0x480);
    }
    if (hName == nullptr || !SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strPath.c_str()))) {
        return false;
    }
    ClickButton(hDlg, IDOK);
    return true;
}

HWND CAppDriver::ConfirmPorts(DWORD dwMs) const
{
    HWND hDlg = WaitDialog("設定 - Taplinar", dwMs);
    if (hDlg == nullptr) {
        return nullptr;
    }
    ClickButton(hDlg, IDOK);
    if (!WaitWindowGone(hDlg, dwMs)) {
        return nullptr;
    }
    return WaitMainWindow(dwMs);
}

std::string CAppDriver::ExportLog(HWND hMain, const std::string& strPath) const
{
    Command(hMain, ID_EXPORT);
    HWND hSave = WaitSaveDialog(10000);
    if (hSave == nullptr || !FillSaveDialog(hSave, strPath)) {
        return std::string();
    }
    HWND hBox = WaitMessageBox(20000);
    if (hBox == nullptr) {
        return std::string();
    }
    std::string strMessage = GetMessageText(hBox);
    ClickButton(hBox, IDOK);
    WaitWindowGone(hBox, 10000);
    return strMessage;
}

bool CAppDriver::Quit(HWND hMain)
{
    Command(hMain, IDCANCEL);
    HWND hBox = WaitMessageBox(10000);
    if (hBox == nullptr) {
        return false;
    }
    ClickButton(hBox, IDOK);
    return WaitExit(20000);
}

void CAppDriver::Command(HWND hWnd, int nId) const
{
    PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(nId, 0), 0);
}

bool CAppDriver::SendCommand(HWND hWnd, int nId, DWORD dwMs) const
{
    DWORD_PTR dwResult = 0;
    return SendMessageTimeoutA(hWnd, WM_COMMAND, MAKEWPARAM(nId, 0), 0, SMTO_NORMAL, dwMs, &dwResult) != 0;
}

void CAppDriver::ClickButton(HWND hDlg, int nId) const
{
    PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hDlg, nId)));
}

void CAppDriver::PressKey(HWND hWnd, UINT nVirtualKey) const
{
    // Keys go to the focused control, so that the dialog's own key handling sees them.
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    HWND hTarget = hWnd;
    // After a message box the thread's focus can still name one of its destroyed buttons;
    // then the window itself takes the key.
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, nullptr), &info) && info.hwndFocus != nullptr &&
        IsChild(hWnd, info.hwndFocus)) {
        hTarget = info.hwndFocus;
    }
    UINT nScan = MapVirtualKeyA(nVirtualKey, 0);
    PostMessageA(hTarget, WM_KEYDOWN, nVirtualKey, 1 | (nScan << 16));
    PostMessageA(hTarget, WM_KEYUP, nVirtualKey, 1 | (nScan << 16) | 0xC0000000);
}

std::wstring GetTextW(HWND hWnd)
{
    wchar_t szText[1024] = L"";
    GetWindowTextW(hWnd, szText, 1024);
    return szText;
}

// Read as Unicode and turned into Shift-JIS here, so the texts compare right whatever
// code page this process runs with.
static std::string ToShiftJis(const std::wstring& strText)
{
    char szText[2048] = "";
    WideCharToMultiByte(932, 0, strText.c_str(), -1, szText, sizeof(szText), nullptr, nullptr);
    return szText;
}

std::string GetText(HWND hWnd)
{
    return ToShiftJis(GetTextW(hWnd));
}

std::string GetMessageText(HWND hBox)
{
    // The message box shows its text in a static control with id 0xFFFF.
    HWND hText = GetDlgItem(hBox, 0xFFFF);
    return hText != nullptr ? GetText(hText) : std::string();
}

std::string GetClass(HWND hWnd)
{
    char szClass[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    return szClass;
}

int GetDefaultButton(HWND hDlg)
{
    for (HWND hChild = GetWindow(hDlg, GW_CHILD); hChild != nullptr; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        LONG lStyle = GetWindowLongA(hChild, GWL_STYLE);
        if (GetClass(hChild) == "Button" && (lStyle & 0x0F) == BS_DEFPUSHBUTTON) {
            return GetDlgCtrlID(hChild);
        }
    }
    return -1;
}

int GetListCount(HWND hDlg, int nId)
{
    return static_cast<int>(SendMessageA(GetDlgItem(hDlg, nId), LB_GETCOUNT, 0, 0));
}

int GetComboSelection(HWND hDlg, int nId)
{
    return static_cast<int>(SendMessageA(GetDlgItem(hDlg, nId), CB_GETCURSEL, 0, 0));
}

std::string GetComboText(HWND hDlg, int nId)
{
    return ToShiftJis(GetComboTextW(hDlg, nId));
}

std::wstring GetComboTextW(HWND hDlg, int nId)
{
    wchar_t szText[1024] = L"";
    SendMessageW(GetDlgItem(hDlg, nId), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(szText));
    return szText;
}

bool SelectComboItem(HWND hDlg, int nId, int nIndex)
{
    HWND hCombo = GetDlgItem(hDlg, nId);
    if (SendMessageA(hCombo, CB_SETCURSEL, nIndex, 0) != nIndex) {
        return false;
    }
    // CB_SETCURSEL does not notify; a user's choice does.
    PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
    return true;
}

bool WaitUntil(const std::function<bool()>& done, DWORD dwMs, DWORD dwStepMs)
{
    for (DWORD dwStart = GetTickCount(); !done(); Sleep(dwStepMs)) {
        if (GetTickCount() - dwStart >= dwMs) {
            return false;
        }
    }
    return true;
}

bool WaitWindowGone(HWND hWnd, DWORD dwMs)
{
    return WaitUntil([hWnd] { return !IsWindow(hWnd) || !IsWindowVisible(hWnd); }, dwMs, 50);
}

CDevicePort::CDevicePort(int nPort)
{
    char szName[32];
    snprintf(szName, sizeof(szName), "\\\\.\\COM%d", nPort);
    m_hPort = CreateFileA(szName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (m_hPort == INVALID_HANDLE_VALUE) {
        return;
    }
    COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 1, 5000};
    SetCommTimeouts(m_hPort, &timeouts);
    // A device starts with its outputs off, whatever the test before left on the cable.
    EscapeCommFunction(m_hPort, CLRRTS);
    EscapeCommFunction(m_hPort, CLRDTR);
}

CDevicePort::~CDevicePort()
{
    if (m_hPort != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hPort);
    }
}

bool CDevicePort::Write(const std::string& strData)
{
    DWORD dwWritten = 0;
    return WriteFile(m_hPort, strData.data(), static_cast<DWORD>(strData.size()), &dwWritten, nullptr) &&
           dwWritten == strData.size();
}

std::string CDevicePort::Read(size_t nBytes, DWORD dwMs)
{
    std::string strData;
    DWORD dwStart = GetTickCount();
    while (strData.size() < nBytes && GetTickCount() - dwStart < dwMs) {
        char buffer[4096];
        DWORD dwRead = 0;
        DWORD dwWant = static_cast<DWORD>(std::min(sizeof(buffer), nBytes - strData.size()));
        if (ReadFile(m_hPort, buffer, dwWant, &dwRead, nullptr) && dwRead > 0) {
            strData.append(buffer, dwRead);
        } else {
            Sleep(5);
        }
    }
    return strData;
}

void CDevicePort::Drain()
{
    Read(1 << 20, 200);
}

DWORD CDevicePort::ReadLines() const
{
    DWORD dwStatus = 0;
    return GetCommModemStatus(m_hPort, &dwStatus) ? dwStatus : 0;
}

std::string ReadFileBytes(const std::string& strPath)
{
    std::string strData;
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return strData;
    }
    char buffer[65536];
    DWORD dwRead = 0;
    while (ReadFile(hFile, buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) {
        strData.append(buffer, dwRead);
    }
    CloseHandle(hFile);
    return strData;
}

bool WriteFileBytes(const std::string& strPath, const std::string& strData)
{
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD dwWritten = 0;
    BOOL bOk = WriteFile(hFile, strData.data(), static_cast<DWORD>(strData.size()), &dwWritten, nullptr);
    CloseHandle(hFile);
    return bOk && dwWritten == strData.size();
}

std::vector<std::string> SplitLines(const std::string& strText)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (;;) {
        size_t nEnd = strText.find("\r\n", nStart);
        if (nEnd == std::string::npos) {
            if (nStart < strText.size()) {
                lines.push_back(strText.substr(nStart));
            }
            return lines;
        }
        lines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
    }
}
