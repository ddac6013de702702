#include "tests/reliability/ViewPairHost.h"

#include "support/Tick.h"

namespace {

const DWORD LOG_VIEW_STYLE = 0x50A12911;  // as in the main window's template
const UINT_PTR IDT_FLUSH = 1;
// The host whose views CountingProc serves (one at a time; no window property, whose
// look-up costs a server call per message under Wine).
CViewPairHost* g_pCountingHost = nullptr;

}  // namespace

CViewPairHost::CViewPairHost()
    : m_bMonitoring(true),
      m_template(WS_POPUP | WS_VISIBLE | WS_CAPTION, 420, 220, L"rel views", L"ＭＳ ゴシック", 9),
      m_log(this),
      m_nRefused(0),
      m_nQueueLimit(0),
      m_nPosted(0),
      m_nTaken(0),
      m_pfnView{}
{
    m_template.AddItem(0x82, 1007, SS_LEFT, 4, 2, 200, 10, L" L H")
        .AddItem(0x82, 1008, SS_LEFT, 210, 2, 200, 10, L" L H")
        .AddItem(0x83, 1000, LOG_VIEW_STYLE, 4, 14, 200, 200)
        .AddItem(0x83, 1001, LOG_VIEW_STYLE, 210, 14, 200, 200);
    m_views[0].SetMaxLines(100000);
    m_views[1].SetMaxLines(100000);
}

CViewPairHost::~CViewPairHost()
{
    if (m_hWnd != NULL)
        DestroyWindow();
    PumpFor(10);
    if (g_pCountingHost == this)
        g_pCountingHost = nullptr;
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
    // On top of each view: counts the rows it takes, to know what is still queued.
    for (int i = 0; i < 2; ++i) {
        g_pCountingHost = this;
        m_pfnView[i] = reinterpret_cast<WNDPROC>(
            ::SetWindowLongA(m_views[i].m_hWnd, GWL_WNDPROC, reinterpret_cast<LONG>(CountingProc)));
    }
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

LRESULT CALLBACK CViewPairHost::CountingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CViewPairHost* pHost = g_pCountingHost;
    const WNDPROC pfn = pHost->m_pfnView[hWnd == pHost->m_views[0].m_hWnd ? 0 : 1];
    if (message == WM_DESTROY) {
        // The view's own procedure must be back on top before it unwinds.
        ::SetWindowLongA(hWnd, GWL_WNDPROC, reinterpret_cast<LONG>(pfn));
    }
    if (message != WM_POSTLINE)
        return ::CallWindowProcA(pfn, hWnd, message, wParam, lParam);
    // A view takes the rows queued behind this one in the same go, the other view's
    // too: count what both stored.
    const int nBefore = pHost->m_views[0].GetLineCount() + pHost->m_views[1].GetLineCount();
    LRESULT lResult = ::CallWindowProcA(pfn, hWnd, message, wParam, lParam);
    const int nAfter = pHost->m_views[0].GetLineCount() + pHost->m_views[1].GetLineCount();
    pHost->m_nTaken += nAfter > nBefore ? nAfter - nBefore : 1;
    return lResult;
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

bool CViewPairHost::PostRow(int nView, const char* pszRow)
{
    const long nLimit = m_nQueueLimit;
    if ((nLimit == 0 || GetRowsInQueue() < nLimit) && m_views[nView].PostLine(-1, pszRow)) {
        ++m_nPosted;
        return true;
    }
    ++m_nRefused;
    return false;
}

void CViewPairHost::ResetView(int nView)
{
    m_views[nView].SendMessage(LB_RESETCONTENT);
}

void CViewPairHost::SetHeaderText(int nView, const char* pszText)
{
    ::SetDlgItemTextA(m_hWnd, nView == 0 ? 1007 : 1008, pszText);
}

void CViewPairHost::StartFlushTimer()
{
    ::SetTimer(m_hWnd, IDT_FLUSH, 100, NULL);
}

void CViewPairHost::StopFlushTimer()
{
    ::KillTimer(m_hWnd, IDT_FLUSH);
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
