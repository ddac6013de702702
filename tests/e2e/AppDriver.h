#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Drives the real program from another Wine process, as a user would: it finds the
// program's windows by title and class, posts menu commands, keys and button clicks,
// and reads texts back. Titles are Shift-JIS, like this file's literals.
class CAppDriver
{
public:
    CAppDriver();
    ~CAppDriver();

    // Copies the executable into a fresh work folder (so that its INI file is the
    // test's own) and starts it there, with strArgs on its command line. The folders go
    // when the driver goes.
    bool Start(const std::string& strExe, const std::string& strIni = std::string(),
               const std::string& strArgs = std::string());
    // Takes over a program that is already running (its first window is found by title).
    bool AttachRunning(DWORD dwMs);
    // Waits for the process to end; answers whether it ended within the time.
    bool WaitExit(DWORD dwMs);
    bool IsRunning() const;
    void Kill();
    // Lets go of the process without ending it.
    void Release();

    const std::string& GetWorkDir() const { return m_strWorkDir; }
    std::string GetIniPath() const;
    std::string ReadIni() const;

    // Top-level windows of the program.
    HWND WaitWindow(const std::function<bool(HWND)>& match, DWORD dwMs) const;
    HWND WaitDialog(const char* pszTitle, DWORD dwMs = 20000) const;
    HWND WaitMainWindow(DWORD dwMs = 20000) const;
    // A message box of the program ("Taplinar" caption, no log views), or 0.
    HWND WaitMessageBox(DWORD dwMs = 10000) const;
    // The system's save-file dialog, or 0.
    HWND WaitSaveDialog(DWORD dwMs = 10000) const;
    // Types the path into the save dialog and confirms it.
    bool FillSaveDialog(HWND hDlg, const std::string& strPath) const;
    std::vector<HWND> GetTopWindows() const;

    // Input as a user would give it.
    void Command(HWND hWnd, int nId) const;
    // Sends a command and waits until it was handled: only for commands that open no window.
    bool SendCommand(HWND hWnd, int nId, DWORD dwMs = 10000) const;
    void ClickButton(HWND hDlg, int nId) const;
    void PressKey(HWND hWnd, UINT nVirtualKey) const;

    // Confirms the port settings dialog shown at start-up and answers the main window,
    // or 0 when the dialog or the main window did not appear.
    HWND ConfirmPorts(DWORD dwMs = 30000) const;
    // "ログ書き出し" into the path; answers the text of the message shown afterwards
    // (its box is closed), or empty text when a step did not happen.
    std::string ExportLog(HWND hMain, const std::string& strPath) const;
    // Closes the program, answering its question with OK; answers whether it ended.
    bool Quit(HWND hMain);

    DWORD GetProcessId() const { return m_pi.dwProcessId; }

private:
    PROCESS_INFORMATION m_pi;
    std::string m_strWorkDir;
    // Removed with the driver.
    std::vector<std::string> m_workDirs;
};

// Texts and states of another process's windows.
// Shift-JIS, whatever code page this process runs with.
std::string GetText(HWND hWnd);
std::wstring GetTextW(HWND hWnd);
std::string GetMessageText(HWND hBox);
std::string GetClass(HWND hWnd);
int GetDefaultButton(HWND hDlg);
int GetListCount(HWND hDlg, int nId);
// Drop-down lists of another process: the selected position and its text (a drop-down
// list's window text is its selection; CB_GETLBTEXT does not cross processes everywhere).
int GetComboSelection(HWND hDlg, int nId);
std::string GetComboText(HWND hDlg, int nId);
std::wstring GetComboTextW(HWND hDlg, int nId);
bool SelectComboItem(HWND hDlg, int nId, int nIndex);
// Waits until done() answers true, looking every dwStepMs; answers whether it did in time.
bool WaitUntil(const std::function<bool()>& done, DWORD dwMs, DWORD dwStepMs = 20);
// Waits until the window no longer exists or is hidden.
bool WaitWindowGone(HWND hWnd, DWORD dwMs);

// One simulated device on a COM port (the far end of a pty pair).
class CDevicePort
{
public:
    explicit CDevicePort(int nPort);
    ~CDevicePort();

    bool IsOpen() const { return m_hPort != INVALID_HANDLE_VALUE; }
    bool Write(const std::string& strData);
    // Reads until nBytes arrived or dwMs passed; answers what arrived.
    std::string Read(size_t nBytes, DWORD dwMs);
    // Drops whatever is queued.
    void Drain();
    // The device's own outputs (SETRTS, CLRDTR, ...) and the inputs it reads (MS_CTS_ON, ...).
    bool DriveLine(DWORD dwFunction) { return EscapeCommFunction(m_hPort, dwFunction) != FALSE; }
    DWORD ReadLines() const;
    // Holds the device's transmit line in a break, or lets it go.
    bool HoldBreak(bool bOn) { return (bOn ? SetCommBreak(m_hPort) : ClearCommBreak(m_hPort)) != FALSE; }

private:
    HANDLE m_hPort;
};

// Whole files, read and written as bytes.
std::string ReadFileBytes(const std::string& strPath);
bool WriteFileBytes(const std::string& strPath, const std::string& strData);
// Lines of a text separated by "\r\n".
std::vector<std::string> SplitLines(const std::string& strText);
