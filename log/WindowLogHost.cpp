#include "log/WindowLogHost.h"

#include "framework/Wnd.h"
#include "log/LogListBox.h"
#include "log/LogRowQueue.h"
#include "serial/SerialPort.h"
#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileSection.h"
#include "support/SharedText.h"
#include "support/WideText.h"

namespace {

// A label is set with a sent message; bounded, so that an event thread can
// never hang on a window thread that is itself waiting for that thread.
const UINT HEADER_SEND_TIMEOUT_MS = 2000;

} // namespace

void CWindowLogHost::Attach(const TLogWindows& windows)
{
    m_windows = windows;
    if (windows.pView[0] != nullptr && windows.pView[1] != nullptr)
        windows.pView[0]->PairWith(*windows.pView[1]);
}

CLogRowQueue* CWindowLogHost::GetRowQueue() const
{
    for (CLogListBox* pView : m_windows.pView)
        if (pView != nullptr)
            return &pView->GetRowQueue();
    return nullptr;
}

bool CWindowLogHost::QueueRows(const std::string& strLeft, const std::string& strRight)
{
    CLogRowQueue* pQueue = GetRowQueue();
    if (pQueue == nullptr)
        return true;   // no view to show them: nothing to wait for
    TLogRowPair pair;
    pair.row[0] = ZEV::CSharedText(strLeft.data(), strLeft.size());
    pair.row[1] = ZEV::CSharedText(strRight.data(), strRight.size());
    return pQueue->Add(std::move(pair));
}

bool CWindowLogHost::NotifyRows()
{
    CLogRowQueue* pQueue = GetRowQueue();
    return pQueue == nullptr || pQueue->Notify();
}

size_t CWindowLogHost::GetQueuedRows()
{
    CLogRowQueue* pQueue = GetRowQueue();
    return pQueue != nullptr ? static_cast<size_t>(pQueue->GetCount()) : 0;
}

void CWindowLogHost::ResetViews()
{
    // Rows still queued for the views belong to the log being cleared.
    if (CLogRowQueue* pQueue = GetRowQueue())
        pQueue->Clear();
    for (CLogListBox* pView : m_windows.pView)
        if (pView != nullptr && pView->GetSafeHwnd() != NULL)
            pView->SendMessage(LB_RESETCONTENT);
}

void CWindowLogHost::SetHeaderText(int nView, const char* pszText)
{
    if ((nView != 0 && nView != 1) || m_windows.pHeader[nView] == nullptr)
        return;
    const HWND hLabel = m_windows.pHeader[nView]->GetSafeHwnd();
    if (hLabel == NULL)
        return;
    DWORD_PTR dwResult = 0;
    const std::wstring strText = ZEV::ToWide(pszText);
    ::SendMessageTimeoutW(hLabel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strText.c_str()), SMTO_NORMAL,
                          HEADER_SEND_TIMEOUT_MS, &dwResult);
}

bool CWindowLogHost::StartFlushTimer(DWORD dwDelayMs)
{
    if (m_windows.pMainWnd == nullptr || m_windows.pMainWnd->GetSafeHwnd() == NULL)
        return false;
    HWND hMain = m_windows.pMainWnd->GetSafeHwnd();
    if (::GetWindowThreadProcessId(hMain, NULL) == ::GetCurrentThreadId())
        return ::SetTimer(hMain, IDT_FLUSH, dwDelayMs, NULL) != 0;
    // A refused post (a full queue) leaves the timer to be asked for again.
    return ::PostMessageA(hMain, WM_ARM_FLUSH, dwDelayMs, 0) != FALSE;
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
