#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Answers every message box that the calling thread shows while it lives:
// records the box's text and presses OK, so a dialog under test never waits
// for a user.
class CMessageBoxCatcher {
public:
    CMessageBoxCatcher();
    ~CMessageBoxCatcher();

    CMessageBoxCatcher(const CMessageBoxCatcher&) = delete;
    CMessageBoxCatcher& operator=(const CMessageBoxCatcher&) = delete;

    const std::vector<std::string>& GetTexts() const { return m_texts; }

private:
    static LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam);

    HHOOK m_hHook;
    std::vector<std::string> m_texts;
};

// The INI file beside the test executable, which the dialogs use. Removed
// when the guard is made and again when it goes.
class CDefaultIniGuard {
public:
    CDefaultIniGuard();
    ~CDefaultIniGuard();

    const std::string& GetPath() const { return m_strPath; }
    bool Exists() const;
    std::string ReadBytes() const;
    // Writes the file and dates it back to a time of its own: any rewrite
    // then shows, and the system's profile cache, which goes by the write
    // time alone, cannot mistake it for an earlier content.
    void WriteBytes(const std::string& strBytes) const;
    ULONGLONG GetWriteTime() const;

private:
    void DateBack() const;

    std::string m_strPath;
};

// What a user does with a combo box: picks an entry, and the parent is told.
void ChooseItem(HWND hDlg, int nID, int nIndex);
void ClickButton(HWND hDlg, int nID);
int GetSelection(HWND hDlg, int nID);
std::vector<std::string> GetItems(HWND hDlg, int nID);
// The text of the selected entry, empty when none is selected.
std::string GetSelectedText(HWND hDlg, int nID);
// The text the tool tip shows for its tool, the control itself.
std::string GetToolTipText(HWND hToolTip, HWND hTool);
