#include "tests/settings/DialogTestKit.h"

#include <commctrl.h>

#include <fstream>
#include <iterator>

#include "settings/IniProfile.h"

namespace {

// Message boxes carry their text in a static control of this id.
const int MESSAGE_BOX_TEXT_ID = 0xFFFF;

CMessageBoxCatcher* g_pCatcher = nullptr;
std::vector<std::string>* g_pTexts = nullptr;

bool IsMessageBox(HWND hWnd) {
    char szClass[16] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    return lstrcmpA(szClass, "#32770") == 0 && GetDlgItem(hWnd, MESSAGE_BOX_TEXT_ID) != NULL;
}

}  // namespace

CMessageBoxCatcher::CMessageBoxCatcher() : m_hHook(NULL) {
    g_pCatcher = this;
    g_pTexts = &m_texts;
    m_hHook = SetWindowsHookExA(WH_CBT, HookProc, NULL, GetCurrentThreadId());
}

CMessageBoxCatcher::~CMessageBoxCatcher() {
    if (m_hHook != NULL) {
        UnhookWindowsHookEx(m_hHook);
    }
    g_pCatcher = nullptr;
    g_pTexts = nullptr;
}

LRESULT CALLBACK CMessageBoxCatcher::HookProc(int nCode, WPARAM wParam, LPARAM lParam) {
    HHOOK hHook = g_pCatcher ? g_pCatcher->m_hHook : NULL;
    if (nCode == HCBT_ACTIVATE && g_pTexts != nullptr) {
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        if (IsMessageBox(hWnd)) {
            char szText[512] = {};
            GetDlgItemTextA(hWnd, MESSAGE_BOX_TEXT_ID, szText, sizeof(szText));
            g_pTexts->push_back(szText);
            PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(hHook, nCode, wParam, lParam);
}

CDefaultIniGuard::CDefaultIniGuard() : m_strPath(ZEV::GetDefaultIniPath()) {
    DeleteFileA(m_strPath.c_str());
}

CDefaultIniGuard::~CDefaultIniGuard() {
    DeleteFileA(m_strPath.c_str());
}

bool CDefaultIniGuard::Exists() const {
    return GetFileAttributesA(m_strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CDefaultIniGuard::ReadBytes() const {
    std::ifstream in(m_strPath.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CDefaultIniGuard::WriteBytes(const std::string& strBytes) const {
    {
        std::ofstream out(m_strPath.c_str(), std::ios::binary | std::ios::trunc);
        out << strBytes;
    }
    DateBack();
}

void CDefaultIniGuard::DateBack() const {
    static WORD s_nStamp = 0;
    ++s_nStamp;
    HANDLE hFile = CreateFileA(m_strPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        return;
    }
    SYSTEMTIME st = {2001, 1, 0, 1, static_cast<WORD>(s_nStamp / 60 % 24),
                     static_cast<WORD>(s_nStamp % 60), 0, 0};
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    SetFileTime(hFile, NULL, NULL, &ft);
    CloseHandle(hFile);
}

ULONGLONG CDefaultIniGuard::GetWriteTime() const {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(m_strPath.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

void ChooseItem(HWND hDlg, int nID, int nIndex) {
    HWND hCombo = GetDlgItem(hDlg, nID);
    SendMessageA(hCombo, CB_SETCURSEL, nIndex, 0);
    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nID, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hCombo));
}

void ClickButton(HWND hDlg, int nID) {
    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDlg, nID)));
}

int GetSelection(HWND hDlg, int nID) {
    return static_cast<int>(SendDlgItemMessageA(hDlg, nID, CB_GETCURSEL, 0, 0));
}

std::vector<std::string> GetItems(HWND hDlg, int nID) {
    std::vector<std::string> items;
    int nCount = static_cast<int>(SendDlgItemMessageA(hDlg, nID, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i) {
        char szText[256] = {};
        SendDlgItemMessageA(hDlg, nID, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(szText));
        items.push_back(szText);
    }
    return items;
}

std::string GetSelectedText(HWND hDlg, int nID) {
    int nSelected = GetSelection(hDlg, nID);
    return nSelected < 0 ? std::string() : GetItems(hDlg, nID)[static_cast<size_t>(nSelected)];
}

std::string GetToolTipText(HWND hToolTip, HWND hTool) {
    // Some versions copy up to a whole tip's worth of text into the buffer.
    char szText[INFOTIPSIZE + 1] = {};
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = GetParent(hTool);
    ti.uId = reinterpret_cast<UINT_PTR>(hTool);
    ti.lpszText = szText;
    SendMessageA(hToolTip, TTM_GETTEXTA, sizeof(szText), reinterpret_cast<LPARAM>(&ti));
    return szText;
}
