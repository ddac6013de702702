#include "log/DelayDrawListBox.h"

CDelayDrawListBox::CDelayDrawListBox()
    : m_nRedrawLock(0), m_bTickArmed(false), m_nTickDelay(200), m_nEndDelay(100), m_pPartner(nullptr),
      m_bRepaintLead(false), m_bRepainting(false)
{
}

CDelayDrawListBox::~CDelayDrawListBox()
{
    Unpair();
}

void CDelayDrawListBox::RepaintWith(CDelayDrawListBox& partner)
{
    if (&partner == this)
        return;
    Unpair();
    partner.Unpair();
    m_pPartner = &partner;
    m_bRepaintLead = true;
    partner.m_pPartner = this;
    partner.m_bRepaintLead = false;
}

void CDelayDrawListBox::Unpair()
{
    if (m_pPartner != nullptr)
        m_pPartner->m_pPartner = nullptr;
    m_pPartner = nullptr;
}

CDelayDrawListBox* CDelayDrawListBox::RepaintedPartner() const
{
    return m_bRepaintLead && m_pPartner != nullptr && m_pPartner->m_hWnd != NULL ? m_pPartner : nullptr;
}

void CDelayDrawListBox::ScheduleRepaint()
{
    if (!m_bRepaintLead && m_pPartner != nullptr && m_pPartner->m_hWnd != NULL) {
        m_pPartner->ScheduleRepaint();
        return;
    }
    HoldDrawing();
    if (CDelayDrawListBox* pPartner = RepaintedPartner())
        pPartner->HoldDrawing();
    SetTimer(IDT_REDRAW_END, m_nEndDelay);
    if (!m_bTickArmed)
        m_bTickArmed = SetTimer(IDT_REDRAW_TICK, m_nTickDelay) != 0;
}

// The default procedure's redraw flag, not the list box's: only that one makes
// the window undrawable, and the caller's thread keeps it so for one step only.
CDelayDrawListBox::CFrozenScreen::CFrozenScreen(HWND hWnd) : m_hWnd(hWnd)
{
    ::DefWindowProcA(m_hWnd, WM_SETREDRAW, FALSE, 0);
}

CDelayDrawListBox::CFrozenScreen::~CFrozenScreen()
{
    ::DefWindowProcA(m_hWnd, WM_SETREDRAW, TRUE, 0);
}

void CDelayDrawListBox::HoldDrawing()
{
    if (SendMessage(WM_SETREDRAW, REDRAW_CTRL_QUERY, REDRAW_CTRL_MARK) == 0)
        SendMessage(WM_SETREDRAW, FALSE);
}

LRESULT CDelayDrawListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETREDRAW)
        return OnSetRedraw(wParam, lParam);
    if (message == WM_PAINT && m_nRedrawLock > 0) {
        // Drawing is held, yet part of the box lost what it showed: a scroll
        // (the user's, during traffic) moved the screen, a window uncovered it,
        // or rows went away. Drawn alone, that part could show rows twice next
        // to an older screen, so both boxes are drawn whole now, as the timer
        // would draw them.
        PAINTSTRUCT ps;
        ::BeginPaint(m_hWnd, &ps);
        ::EndPaint(m_hWnd, &ps);
        RepaintNow();
        return 0;
    }
    if (message == WM_TIMER && (wParam == IDT_REDRAW_TICK || wParam == IDT_REDRAW_END))
        OnRedrawTimer(wParam);
    return CLineListBox::WindowProc(message, wParam, lParam);
}

LRESULT CDelayDrawListBox::OnSetRedraw(WPARAM wParam, LPARAM lParam)
{
    if (lParam == REDRAW_CTRL_MARK) {
        if (wParam == REDRAW_CTRL_QUERY)
            return m_nRedrawLock;
        if (wParam == REDRAW_CTRL_RESET) {
            m_nRedrawLock = 0;
            DefWindowProc(WM_SETREDRAW, TRUE, 0);
        }
        return 0;
    }
    if (!wParam) {
        if (++m_nRedrawLock == 1)
            DefWindowProc(WM_SETREDRAW, FALSE, 0);
        return 0;
    }
    if (m_nRedrawLock <= 0)
        return 0;
    if (--m_nRedrawLock == 0)
        DefWindowProc(WM_SETREDRAW, TRUE, 0);
    return 0;
}

void CDelayDrawListBox::RepaintNow()
{
    CDelayDrawListBox* pLead = !m_bRepaintLead && m_pPartner != nullptr && m_pPartner->m_hWnd != NULL ? m_pPartner : this;
    // The repaint's own paints come back here while an outer hold stays on.
    if (pLead->m_bRepainting)
        return;
    pLead->m_bRepainting = true;
    pLead->OnRedrawTimer(IDT_REDRAW_TICK);
    pLead->m_bRepainting = false;
}

void CDelayDrawListBox::OnRedrawTimer(UINT_PTR nIDEvent)
{
    KillTimer(nIDEvent);
    const bool bTick = nIDEvent == IDT_REDRAW_TICK;
    // When the lines have stopped, a tick still pending would only switch
    // drawing off again and repaint once more for nothing.
    if (!bTick && m_bTickArmed)
        KillTimer(IDT_REDRAW_TICK);
    m_bTickArmed = false;
    CDelayDrawListBox* boxes[2] = {this, RepaintedPartner()};
    for (CDelayDrawListBox* pBox : boxes) {
        if (pBox == nullptr)
            continue;
        pBox->SendMessage(WM_SETREDRAW, TRUE);
        pBox->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
        if (bTick)
            pBox->SendMessage(WM_SETREDRAW, FALSE);
    }
    if (bTick)
        SetTimer(IDT_REDRAW_END, m_nEndDelay);
}

void CDelayDrawListBox::PreSubclassWindow()
{
    m_nRedrawLock = 0;
    m_bTickArmed = false;
    CLineListBox::PreSubclassWindow();
}

BOOL CDelayDrawListBox::PreCreateWindow(CREATESTRUCTA& cs)
{
    m_nRedrawLock = 0;
    return CLineListBox::PreCreateWindow(cs);
}

void CDelayDrawListBox::PostNcDestroy()
{
    // A partner held off by this box's timers would otherwise never draw again.
    if (CDelayDrawListBox* pPartner = RepaintedPartner())
        pPartner->SendMessage(WM_SETREDRAW, REDRAW_CTRL_RESET, REDRAW_CTRL_MARK);
    m_nRedrawLock = 0;
    CLineListBox::PostNcDestroy();
}
