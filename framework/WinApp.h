#pragma once

#include <windows.h>

class CWnd;

// The program's name: the caption of AfxMessageBox when the application
// object was given no name of its own.
#define AFX_APP_NAME "Taplinar"

// The application object. The program defines exactly one, as a global; its
// constructor registers it so that WinMain (defined with this class) finds it
// and runs InitInstance, then either Run (when InitInstance answers TRUE) or
// ExitInstance.
class CWinApp
{
public:
    explicit CWinApp(LPCSTR lpszAppName = NULL);
    virtual ~CWinApp();

    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // The message loop of the application; ends at WM_QUIT with ExitInstance.
    virtual int Run();
    virtual int ExitInstance();
    // Every AfxMessageBox ends here, so an application (or a test) can
    // answer message boxes itself.
    virtual int DoMessageBox(LPCSTR lpszPrompt, UINT nType, UINT nIDPrompt);

    HICON LoadIcon(UINT nIDResource) const;
    HICON LoadIcon(LPCSTR lpszResourceName) const;
    HICON LoadStandardIcon(LPCSTR lpszIconName) const { return ::LoadIconA(NULL, lpszIconName); }
    HCURSOR LoadCursor(UINT nIDResource) const;
    HCURSOR LoadStandardCursor(LPCSTR lpszCursorName) const { return ::LoadCursorA(NULL, lpszCursorName); }

    CWnd* m_pMainWnd;
    HINSTANCE m_hInstance;
    LPSTR m_lpCmdLine;
    int m_nCmdShow;
    LPCSTR m_pszAppName;

protected:
    // Kept for code written against older frameworks; the system draws 3-D
    // controls itself.
    BOOL Enable3dControls() { return TRUE; }
    BOOL Enable3dControlsStatic() { return TRUE; }
};

// Runs the registered application object; WinMain calls it.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
LPCSTR AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// Nothing to do: the program hosts no ActiveX controls.
inline void AfxEnableControlContainer() {}

int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
