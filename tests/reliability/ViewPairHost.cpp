#include "tests/reliability/ViewPairHost.h"

#include "support/Tick.h"

namespace {

const DWORD LOG_VIEW_STYLE = 0x50A12911;  // as in the main window's template
const UINT_PTR IDT_FLUSH = 1;

}  // namespace

CViewPairHost::CViewPairHost()
    : m_bMonitoring(true),
      m_template(WS_POPUP | WS_VISIBLE | WS_CAPTION, 420, 220, L"rel views", L"ＭＳ ゴシック", 9),
      m_log(this),
      m_nRefused(0),
      m_nRefuseEvery(0),
      m_nNotices(0)
{
    m_template.AddItem(0x82, 1007, SS_LEFT, 4, 2, 200, 10, L" L H")
        .AddItem(0x82, 1008, SS_LEFT, 210, 2, 200, 10, L" L H")
        .AddItem(0x83, 1000, LOG_VIEW_STYLE, 4, 14, 200, 200)
        .AddItem(0x83, 1001, LOG_VIEW_STYLE, 210, 14, 200, 200);
    m_views[0].SetMaxLines(100000);
    m_views[1].SetMaxLines(100000);
    m_views[0].PairWith(m_views[1]);
}

CViewPairHost::~CViewPairHost()
{
    if (m_hWnd != NULL)
        DestroyWindow();
    PumpFor(10);
}

bool CViewPairHost::Open()
{
    return CreateIndirect(m_template.Get()) != FALSE;
}

BOOL CViewPairHost::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_views[0].SubclassDlgItem(1000, this);
    m_views[1].SubclassDlgItem(1001, this);
    return TRUE;
}

LRESULT CViewPairHost::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == IDT_FLUSH) {
        ::KillTimer(m_hWnd, IDT_FLUSH);
        m_log.FlushPending();
        return 0;
    }
    if (message == CQueueLatencyProbe::WM_PROBE) {
        CQueueLatencyProbe::OnProbe(lParam);
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

std::string CViewPairHost::Row(int n, int nIndex)
{
    std::string strText;
    m_views[n].GetLineText(nIndex, strText);
    return strText;
}

bool CViewPairHost::HasRow(int n, const std::string& strPart)
{
    const int nCount = Count(n);
    for (int i = 0; i < nCount; ++i)
        if (Row(n, i).find(strPart) != std::string::npos)
            return true;
    return false;
}

void CViewPairHost::SetSetting(const char* pszKey, int nValue)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    m_settings[pszKey] = nValue;
}

bool CViewPairHost::RefuseNotice()
{
    const long nEvery = m_nRefuseEvery;
    if (nEvery <= 0 || ++m_nNotices % nEvery == 0)
        return false;
    ++m_nRefused;
    return true;
}

bool CViewPairHost::QueueRows(const std::string& strLeft, const std::string& strRight)
{
    TLogRowPair pair;
    pair.row[0] = ZEV::CSharedText(strLeft.c_str());
    pair.row[1] = ZEV::CSharedText(strRight.c_str());
    CLogRowQueue& queue = m_views[0].GetRowQueue();
    if (queue.Add(std::move(pair), CLogRowQueue::QUEUE_SILENT))
        return true;   // a notice is on its way already
    return NotifyRows();
}

bool CViewPairHost::NotifyRows()
{
    return !RefuseNotice() && m_views[0].GetRowQueue().Notify();
}

size_t CViewPairHost::GetQueuedRows()
{
    return static_cast<size_t>(m_views[0].GetRowQueue().GetCount());
}

void CViewPairHost::ResetViews()
{
    m_views[0].GetRowQueue().Clear();
    m_views[0].SendMessage(LB_RESETCONTENT);
    m_views[1].SendMessage(LB_RESETCONTENT);
}

void CViewPairHost::SetHeaderText(int nView, const char* pszText)
{
    ::SetDlgItemTextA(m_hWnd, nView == 0 ? 1007 : 1008, pszText);
}

bool CViewPairHost::StartFlushTimer(DWORD dwDelayMs)
{
    return ::SetTimer(m_hWnd, IDT_FLUSH, dwDelayMs, NULL) != 0;
}

int CViewPairHost::ReadLogSetting(const char* pszKey, int nDefault)
{
    std::lock_guard<std::mutex> lock(m_settingsMutex);
    auto it = m_settings.find(pszKey);
    return it == m_settings.end() ? nDefault : it->second;
}

std::string CViewPairHost::GetPortName(int nIndex)
{
    return nIndex == 0 ? "\\\\.\\COM1" : "\\\\.\\COM2";
}

void PumpFor(DWORD dwMs)
{
    PumpUntil([] { return false; }, dwMs);
}

bool PumpUntil(const std::function<bool()>& pred, DWORD dwMs)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (pred())
            return true;
        if (::GetTickCount() - dwStart >= dwMs)
            return false;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    }
}

CQueueLatencyProbe* CQueueLatencyProbe::s_pActive = nullptr;

CQueueLatencyProbe::CQueueLatencyProbe(HWND hWnd)
    : m_hWnd(hWnd), m_hThread(NULL), m_bRun(true), m_dwWorst(0), m_nAnswered(0), m_dwPostedAt(0),
      m_bWaiting(false)
{
    s_pActive = this;
    m_hThread = ::CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
}

CQueueLatencyProbe::~CQueueLatencyProbe()
{
    Stop();
    s_pActive = nullptr;
}

void CQueueLatencyProbe::Stop()
{
    m_bRun = false;
    if (m_hThread != NULL) {
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
}

void CQueueLatencyProbe::OnProbe(LPARAM)
{
    CQueueLatencyProbe* p = s_pActive;
    if (p == nullptr || !p->m_bWaiting)
        return;
    const DWORD dwWaited = ::GetTickCount() - p->m_dwPostedAt;
    if (dwWaited > p->m_dwWorst)
        p->m_dwWorst = dwWaited;
    ++p->m_nAnswered;
    p->m_bWaiting = false;
}

DWORD WINAPI CQueueLatencyProbe::ThreadProc(LPVOID pParam)
{
    static_cast<CQueueLatencyProbe*>(pParam)->Run();
    return 0;
}

void CQueueLatencyProbe::Run()
{
    while (m_bRun) {
        if (!m_bWaiting) {
            m_dwPostedAt = ::GetTickCount();
            m_bWaiting = true;
            if (!::PostMessageA(m_hWnd, WM_PROBE, 0, 0))
                m_bWaiting = false;
        } else {
            // Still queued: the wait so far counts too, so a probe stuck behind a
            // flood shows even before it is answered.
            const DWORD dwWaited = ::GetTickCount() - m_dwPostedAt;
            if (dwWaited > m_dwWorst)
                m_dwWorst = dwWaited;
        }
        ::Sleep(20);
    }
}
