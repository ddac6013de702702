#include "log/WindowLogHost.h"

#include "framework/Wnd.h"
#include "log/LogListBox.h"
#include "serial/SerialPort.h"
#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileSection.h"
#include "support/SharedText.h"

namespace {

const UINT FLUSH_DELAY_MS = 100;
// A label is set with a sent message; bounded, so that an event thread can
// never hang on a window thread that is itself waiting for that thread.
const UINT HEADER_SEND_TIMEOUT_MS = 2000;

} // namespace

HWND CWindowLogHost::GetViewWindow(int nView) const
{
    if ((nView != 0 && nView != 1) || m_windows.pView[nView] == nullptr)
        return NULL;
    return m_windows.pView[nView]->GetSafeHwnd();
}

bool CWindowLogHost::PostRow(int nView, const char* pszRow)
{
    const HWND hView = GetViewWindow(nView);
    if (hView == NULL)
        return true;   // no view to show it: nothing to wait for
    return m_windows.pView[nView]->PostLine(-1, pszRow);
}

void CWindowLogHost::ResetView(int nView)
{
    const HWND hView = GetViewWindow(nView);
    if (hView == NULL)
        return;
    // Rows still queued for the view belong to the log being cleared.
    MSG msg;
    while (::PeekMessageA(&msg, hView, WM_POSTLINE, WM_POSTLINE, PM_REMOVE | PM_NOYIELD))
        ZEV::CSharedText::FreeBuffer(reinterpret_cast<char*>(msg.lParam));
    ::SendMessageA(hView, LB_RESETCONTENT, 0, 0);
}

void CWindowLogHost::SetHeaderText(int nView, const char* pszText)
{
    if ((nView != 0 && nView != 1) || m_windows.pHeader[nView] == nullptr)
        return;
    const HWND hLabel = m_windows.pHeader[nView]->GetSafeHwnd();
    if (hLabel == NULL)
        return;
    DWORD_PTR dwResult = 0;
    ::SendMessageTimeoutA(hLabel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText), SMTO_NORMAL,
                          HEADER_SEND_TIMEOUT_MS, &dwResult);
}

void CWindowLogHost::StartFlushTimer()
{
    if (m_windows.pMainWnd != nullptr && m_windows.pMainWnd->GetSafeHwnd() != NULL)
        ::SetTimer(m_windows.pMainWnd->GetSafeHwnd(), IDT_FLUSH, FLUSH_DELAY_MS, NULL);
}

void CWindowLogHost::StopFlushTimer()
{
    if (m_windows.pMainWnd != nullptr && m_windows.pMainWnd->GetSafeHwnd() != NULL)
        ::KillTimer(m_windows.pMainWnd->GetSafeHwnd(), IDT_FLUSH);
}

bool CWindowLogHost::IsMonitoring()
{
    return m_windows.pbMonitor != nullptr && *m_windows.pbMonitor;
}

int CWindowLogHost::ReadLogSetting(const char* pszKey, int nDefault)
{
    ZEV::CIniProfile ini(m_strIniPath.empty() ? nullptr : m_strIniPath.c_str());
    const ZEV::CProfileSection section(&ini, ZEV::INI_SECTION_LOG_SETTING);
    return static_cast<int>(section.ReadDword(pszKey, static_cast<DWORD>(nDefault)));
}

std::string CWindowLogHost::GetPortName(int nIndex)
{
    if ((nIndex != 0 && nIndex != 1) || m_windows.pPort[nIndex] == nullptr)
        return std::string();
    return m_windows.pPort[nIndex]->GetPortSetting().strPortName;
}
