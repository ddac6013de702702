#include "log/LogListBox.h"

#include "support/WideText.h"
#include "support/ZevException.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const int INITIAL_CAPACITY = 10000;

int LinesToDrop(int nMaxLines)
{
    return nMaxLines <= 1000 ? 5 : 20;
}

} // namespace

CLogListBox::CLogListBox()
    : m_nItemHeight(-1), m_lines(INITIAL_CAPACITY), m_nMargin(0), m_cxClient(-1), m_cyClient(-1),
      m_pQueue(std::make_shared<CLogRowQueue>()), m_nColumn(0), m_nAdded(0), m_nDropped(0)
{
    m_pQueue->SetView(0, this);
    m_pQueue->SetLimit(m_nMaxLines);
}

CLogListBox::~CLogListBox()
{
    // Go while still a log view, so the texts queued for the window are freed.
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_pQueue->SetView(m_nColumn, nullptr);
}

bool CLogListBox::PostLine(int, const char* pszText)
{
    // Without a window the row could never be taken.
    if (m_hWnd == NULL)
        return false;
    TLogRowPair pair;
    pair.row[m_nColumn] = ZEV::CSharedText(pszText);
    return m_pQueue->Add(std::move(pair), CLogRowQueue::QUEUE_OR_REFUSE);
}

void CLogListBox::PairWith(CLogListBox& partner)
{
    if (&partner == this || partner.m_pQueue == m_pQueue)
        return;
    partner.m_pQueue->SetView(partner.m_nColumn, nullptr);
    partner.m_pQueue = m_pQueue;
    partner.m_nColumn = 1 - m_nColumn;
    m_pQueue->SetView(partner.m_nColumn, &partner);
    m_pQueue->SetLimit(std::max(m_nMaxLines, partner.m_nMaxLines));
    RepaintWith(partner);
}

void CLogListBox::SetMaxLines(int nMaxLines)
{
    CDelayDrawListBox::SetMaxLines(nMaxLines);
    m_lines.SetCapacity(nMaxLines);
    m_pQueue->SetLimit(nMaxLines);
    // A box already on screen must forget the lines it just lost.
    if (m_hWnd != NULL)
        SendMessage(LB_SETCOUNT, 0);
}

const ZEV::CSharedText* CLogListBox::LineAt(WPARAM nIndex) const
{
    if (nIndex >= static_cast<WPARAM>(m_lines.GetCount()))
        return nullptr;
    const ZEV::CSharedText* pLine = m_lines.GetAt(static_cast<int>(nIndex));
    if (pLine == nullptr)
        throw ZEV::CIndexOutOfBoundsException();
    return pLine;
}

void CLogListBox::GetLineText(int nIndex, std::string& strText)
{
    if (nIndex < 0)
        return;
    if (const ZEV::CSharedText* pLine = LineAt(static_cast<WPARAM>(nIndex)))
        strText.assign(pLine->GetText(), pLine->GetLength());
}

int CLogListBox::CopyLineText(int nIndex, char* pBuffer)
{
    const ZEV::CSharedText* pLine = nIndex >= 0 ? LineAt(static_cast<WPARAM>(nIndex)) : nullptr;
    if (pLine == nullptr)
        return LB_ERR;
    std::memcpy(pBuffer, pLine->GetText(), pLine->GetLength() + 1);
    return static_cast<int>(pLine->GetLength());
}

LRESULT CLogListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_POSTLINE:
        OnPostLine();
        return 0;
    case WM_TIMER:
        if (wParam != IDT_TAKE_ROWS)
            break;
        KillTimer(IDT_TAKE_ROWS);
        OnPostLine();
        return 0;
    case WM_SIZE:
        m_cxClient = LOWORD(lParam);
        m_cyClient = HIWORD(lParam);
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        break;
    case WM_SETFONT:
        return OnSetFont(wParam, lParam);
    case WM_NCDESTROY:
        // Other threads may have posted after WM_DESTROY; after this message
        // their posts fail and they keep their texts.
        FreeQueuedLines();
        break;
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case LB_DELETESTRING:
        return OnDeleteString(wParam, lParam);
    case LB_RESETCONTENT:
        return OnResetContent(wParam, lParam);
    case LB_GETTEXT:
        return OnGetText(wParam, lParam);
    case LB_GETTEXTLEN:
        return OnGetTextLen(wParam);
    default:
        break;
    }
    return CDelayDrawListBox::WindowProc(message, wParam, lParam);
}

void CLogListBox::OnPostLine()
{
    std::deque<TLogRowPair> pairs;
    CLogListBox* views[2] = {nullptr, nullptr};
    m_pQueue->TakeAll(pairs, views);
    for (int c = 0; c < 2; ++c)
        if (views[c] != nullptr && views[c]->m_hWnd == NULL)
            views[c] = nullptr;
    for (TLogRowPair& pair : pairs) {
        for (int c = 0; c < 2; ++c)
            if (views[c] != nullptr && !pair.row[c].IsNull())
                views[c]->StoreLine(std::move(pair.row[c]));
    }
    // Both views are told before the window can paint again.
    for (CLogListBox* pView : views)
        if (pView != nullptr)
            pView->AfterLinesAdded();
    // A notice already waiting again means rows outpace the window. Posted
    // messages go before input, paints and timers, so taking it at once would
    // shut those out for as long as the rows keep coming; the queue still
    // counts it as told, so the rows wait for the timer (or, without one, a
    // notice again).
    MSG msg;
    if (::PeekMessageW(&msg, m_hWnd, WM_POSTLINE, WM_POSTLINE, PM_REMOVE) &&
        SetTimer(IDT_TAKE_ROWS, TAKE_ROWS_PAUSE_MS) == 0)
        ::PostMessageW(m_hWnd, WM_POSTLINE, msg.wParam, msg.lParam);
}

void CLogListBox::StoreLine(ZEV::CSharedText&& line)
{
    if (m_lines.Add(std::move(line)) >= 0) {
        ++m_nAdded;
        return;
    }
    const int nDrop = LinesToDrop(m_nMaxLines);
    if (!m_lines.Pop(nDrop))
        return;  // no room even so: the line is dropped
    m_nDropped += nDrop;
    if (m_lines.Add(std::move(line)) >= 0)
        ++m_nAdded;
}

void CLogListBox::AfterLinesAdded()
{
    if (m_nAdded == 0 && m_nDropped == 0)
        return;
    // The screen keeps what it shows until the delayed repaint: moving the
    // caret or the top row would otherwise scroll it at once.
    HoldDrawing();
    {
        CFrozenScreen frozen(m_hWnd);
        if (m_nDropped > 0)
            MoveSelectionUp(m_nDropped);
        SendMessage(LB_SETCOUNT, m_lines.GetCount());
        // The system keeps the last page full, so this shows the newest line.
        if (m_lines.GetCount() > 0)
            SetTopIndex(m_lines.GetCount() - 1);
    }
    m_nAdded = 0;
    m_nDropped = 0;
    if (m_nItemHeight < 0)
        MeasureRows();
    ScheduleRepaint();
}

void CLogListBox::MoveSelectionUp(int nDropped)
{
    // The system box still has the old count here, so every shifted index is valid.
    const int nSelected = GetSelCount();
    if (nSelected == LB_ERR) {
        const int nCurrent = GetCurSel();
        if (nCurrent != LB_ERR)
            SetCurSel(nCurrent >= nDropped ? nCurrent - nDropped : -1);
        return;
    }
    const int nCaret = GetCaretIndex();
    const int nAnchor = GetAnchorIndex();
    if (nSelected > 0) {
        std::vector<int> selected(nSelected);
        selected.resize(std::max(0, GetSelItems(nSelected, selected.data())));
        SetSel(-1, FALSE);
        SelectShifted(selected, nDropped);
    }
    // Rows that went take the caret and the anchor to the oldest row left.
    if (nAnchor != LB_ERR)
        SetAnchorIndex(std::max(nAnchor - nDropped, 0));
    if (nCaret != LB_ERR)
        SetCaretIndex(std::max(nCaret - nDropped, 0), FALSE);
}

void CLogListBox::SelectShifted(const std::vector<int>& selected, int nDropped)
{
    // A run of selected rows is one request, so that a selected-all box stays cheap.
    for (size_t i = 0; i < selected.size();) {
        size_t j = i;
        while (j + 1 < selected.size() && selected[j + 1] == selected[j] + 1)
            ++j;
        if (selected[j] >= nDropped)
            SelItemRange(TRUE, std::max(selected[i] - nDropped, 0), selected[j] - nDropped);
        i = j + 1;
    }
}

void CLogListBox::AfterLinesChanged()
{
    SendMessage(LB_SETCOUNT, m_lines.GetCount());
    if (m_nItemHeight < 0)
        MeasureRows();
    ScheduleRepaint();
}

void CLogListBox::MeasureRows()
{
    HFONT hFont = GetFont();
    LOGFONTW lf = {};
    if (hFont == NULL || ::GetObjectW(hFont, sizeof lf, &lf) == 0)
        ::GetObjectW(::GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
    m_nItemHeight = std::abs(static_cast<int>(lf.lfHeight)) + 2 * m_nMargin;
    SendMessage(LB_SETITEMHEIGHT, 0, MAKELPARAM(m_nItemHeight, 0));
}

LRESULT CLogListBox::OnDeleteString(WPARAM wParam, LPARAM lParam)
{
    if (lParam == PASS_THROUGH_MARK)
        return CDelayDrawListBox::WindowProc(LB_DELETESTRING, wParam, lParam);
    if (wParam < static_cast<WPARAM>(m_lines.GetCount())) {
        m_lines.RemoveAt(static_cast<int>(wParam));
        AfterLinesChanged();
    }
    return 0;
}

LRESULT CLogListBox::OnResetContent(WPARAM wParam, LPARAM lParam)
{
    if (lParam != PASS_THROUGH_MARK && !m_lines.IsEmpty()) {
        m_lines.RemoveAll();
        AfterLinesChanged();
    }
    return CDelayDrawListBox::WindowProc(LB_RESETCONTENT, wParam, lParam);
}

LRESULT CLogListBox::OnGetText(WPARAM wParam, LPARAM lParam)
{
    // The system hands another process's request over with a buffer the size
    // of a list box item's data, since the box keeps no strings: a row would
    // overrun it. Only the window's own thread is served.
    if (::InSendMessage())
        return LB_ERR;
    const ZEV::CSharedText* pLine = LineAt(wParam);
    if (pLine == nullptr)
        return LB_ERR;
    std::memcpy(reinterpret_cast<char*>(lParam), pLine->GetText(), pLine->GetLength() + 1);
    return static_cast<LRESULT>(pLine->GetLength());
}

LRESULT CLogListBox::OnGetTextLen(WPARAM wParam)
{
    const ZEV::CSharedText* pLine = LineAt(wParam);
    return pLine != nullptr ? static_cast<LRESULT>(pLine->GetLength()) : LB_ERR;
}

LRESULT CLogListBox::OnSetFont(WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CDelayDrawListBox::WindowProc(WM_SETFONT, wParam, lParam);
    m_nItemHeight = -1;
    SendMessage(LB_SETCOUNT, m_lines.GetCount());
    MeasureRows();
    ScheduleRepaint();
    return result;
}

LRESULT CLogListBox::OnEraseBackground(HDC hDC)
{
    // Rows paint themselves in DrawItem; erasing only what lies below the
    // last row keeps them from flickering.
    if (m_cxClient < 0) {
        RECT rc;
        GetClientRect(&rc);
        m_cxClient = rc.right - rc.left;
        m_cyClient = rc.bottom - rc.top;
    }
    int y = (m_lines.GetCount() - GetTopIndex()) * m_nItemHeight;
    if (y < 0)
        y = 0;
    if (y < m_cyClient)
        ::PatBlt(hDC, 0, y, m_cxClient, m_cyClient - y, PATCOPY);
    return 0;
}

void CLogListBox::FreeQueuedLines()
{
    // The notices carry nothing; the rows themselves wait in the queue.
    MSG msg;
    while (::PeekMessageW(&msg, m_hWnd, WM_POSTLINE, WM_POSTLINE, PM_REMOVE))
        continue;
    m_pQueue->DropColumn(m_nColumn);
}

void CLogListBox::OnDestroy()
{
    // Lines still queued for this window would otherwise be lost with it.
    FreeQueuedLines();
    CDelayDrawListBox::OnDestroy();
}

void CLogListBox::DrawItem(LPDRAWITEMSTRUCT p)
{
    if (p->CtlType != ODT_LISTBOX || p->hwndItem != m_hWnd ||
        p->itemID >= static_cast<UINT>(m_lines.GetCount()))
        return;
    const ZEV::CSharedText* pLine = LineAt(p->itemID);
    bool bSelected = (p->itemState & ODS_SELECTED) != 0;
    COLORREF crOldText = ::SetTextColor(p->hDC, ::GetSysColor(bSelected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    int nOldMode = ::SetBkMode(p->hDC, TRANSPARENT);
    ::FillRect(p->hDC, &p->rcItem, ::GetSysColorBrush(bSelected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    RECT rcText = p->rcItem;
    rcText.top += m_nMargin;
    // The row's text column is Shift-JIS, whatever the system's code page.
    const std::wstring strText = ZEV::ToWide(pLine->GetText(), static_cast<int>(pLine->GetLength()));
    ::DrawTextW(p->hDC, strText.c_str(), static_cast<int>(strText.size()), &rcText, DT_NOPREFIX | DT_SINGLELINE);
    if (p->itemState & ODS_FOCUS) {
        ::SetTextColor(p->hDC, RGB(0, 0, 0));
        ::DrawFocusRect(p->hDC, &p->rcItem);
    }
    ::SetBkMode(p->hDC, nOldMode);
    ::SetTextColor(p->hDC, crOldText);
}

void CLogListBox::MeasureItem(LPMEASUREITEMSTRUCT)
{
}

void CLogListBox::PostNcDestroy()
{
    m_lines.RemoveAll();
    m_nRedrawLock = 0;
    CDelayDrawListBox::PostNcDestroy();
}
