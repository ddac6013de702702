#include "framework/WinApp.h"

#include "framework/Wnd.h"
#include "support/WideText.h"

#include <string>

namespace {

// The one application object of the process, registered by its constructor.
CWinApp* g_pApp = nullptr;
HINSTANCE g_hResource = NULL;

// The owner a message box or modal dialog should have when none is given:
// the main window's most recent popup, else the thread's active window.
HWND FindMessageBoxOwner()
{
    CWnd* pMain = AfxGetMainWnd();
    HWND hMain = pMain != nullptr ? pMain->m_hWnd : NULL;
    if (hMain != NULL && ::IsWindow(hMain))
        return ::GetLastActivePopup(hMain);
    return ::GetActiveWindow();
}

// Message boxes without an icon get the one the button set suggests.
UINT AddDefaultIcon(UINT nType)
{
    if ((nType & MB_ICONMASK) != 0)
        return nType;
    switch (nType & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
        return nType | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return nType | MB_ICONQUESTION;
    default:
        return nType;
    }
}

std::string LoadResourceString(UINT nID)
{
    // The string table holds UTF-16; Shift-JIS from it whatever the system's code page.
    wchar_t buffer[1024];
    int n = ::LoadStringW(AfxGetResourceHandle(), nID, buffer, sizeof buffer / sizeof buffer[0]);
    return ZEV::FromWide(buffer, n > 0 ? n : 0);
}

int ShowMessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType)
{
    return ::MessageBoxW(FindMessageBoxOwner(), ZEV::ToWide(lpszText).c_str(), ZEV::ToWide(lpszCaption).c_str(),
                         AddDefaultIcon(nType));
}

} // namespace

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pMainWnd(nullptr), m_hInstance(NULL), m_lpCmdLine(nullptr), m_nCmdShow(SW_SHOWNORMAL),
      m_pszAppName(lpszAppName != nullptr ? lpszAppName : AFX_APP_NAME)
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageW(&msg, NULL, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

int CWinApp::DoMessageBox(LPCSTR lpszPrompt, UINT nType, UINT /*nIDPrompt*/)
{
    return ShowMessageBox(lpszPrompt, AfxGetAppName(), nType);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

HICON CWinApp::LoadIcon(LPCSTR lpszResourceName) const
{
    return ::LoadIconA(AfxGetResourceHandle(), lpszResourceName);
}

HCURSOR CWinApp::LoadCursor(UINT nIDResource) const
{
    return ::LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWnd* AfxGetMainWnd()
{
    return g_pApp != nullptr ? g_pApp->m_pMainWnd : nullptr;
}

LPCSTR AfxGetAppName()
{
    return g_pApp != nullptr ? g_pApp->m_pszAppName : AFX_APP_NAME;
}

HINSTANCE AfxGetInstanceHandle()
{
    if (g_pApp != nullptr && g_pApp->m_hInstance != NULL)
        return g_pApp->m_hInstance;
    return ::GetModuleHandleA(NULL);
}

HINSTANCE AfxGetResourceHandle()
{
    return g_hResource != NULL ? g_hResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    g_hResource = hInstResource;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp)
{
    if (g_pApp != nullptr)
        return g_pApp->DoMessageBox(lpszText, nType, nIDHelp);
    return ShowMessageBox(lpszText, AFX_APP_NAME, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    std::string text = LoadResourceString(nIDPrompt);
    UINT nHelp = nIDHelp == (UINT)-1 ? nIDPrompt : nIDHelp;
    if (g_pApp != nullptr)
        return g_pApp->DoMessageBox(text.c_str(), nType, nHelp);
    return ShowMessageBox(text.c_str(), AFX_APP_NAME, nType);
}

// The program's entry point: the libraries' WinMain, found through the
// application object's registration.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
