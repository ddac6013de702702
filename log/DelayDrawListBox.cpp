#include "log/DelayDrawListBox.h"

CDelayDrawListBox::CDelayDrawListBox()
    : m_nRedrawLock(0), m_bTickArmed(false), m_nTickDelay(200), m_nEndDelay(100)
{
}

void CDelayDrawListBox::ScheduleRepaint()
{
    if (SendMessage(WM_SETREDRAW, REDRAW_CTRL_QUERY, REDRAW_CTRL_MARK) == 0)
        SendMessage(WM_SETREDRAW, FALSE);
    SetTimer(IDT_REDRAW_END, m_nEndDelay);
    if (!m_bTickArmed) {
        m_bTickArmed = true;
        SetTimer(IDT_REDRAW_TICK, m_nTickDelay);
    }
}

LRESULT CDelayDrawListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETREDRAW)
        return OnSetRedraw(wParam, lParam);
    if (message == WM_PAINT && m_nRedrawLock > 0) {
        // The system list box invalidates itself on LB_SETCOUNT even with
        // drawing switched off; such paints draw no rows (the timers repaint
        // them), but a pending erase still runs, so rows that went away
        // do not stay on screen.
        PAINTSTRUCT ps;
        ::BeginPaint(m_hWnd, &ps);
        ::EndPaint(m_hWnd, &ps);
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

void CDelayDrawListBox::OnRedrawTimer(UINT_PTR nIDEvent)
{
    KillTimer(nIDEvent);
    if (nIDEvent == IDT_REDRAW_TICK) {
        m_bTickArmed = false;
        SendMessage(WM_SETREDRAW, TRUE);
        RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
        SendMessage(WM_SETREDRAW, FALSE);
        SetTimer(IDT_REDRAW_END, m_nEndDelay);
        return;
    }
    // The lines have stopped: a tick still pending would only switch drawing
    // off again and repaint once more for nothing.
    if (m_bTickArmed) {
        KillTimer(IDT_REDRAW_TICK);
        m_bTickArmed = false;
    }
    SendMessage(WM_SETREDRAW, TRUE);
    RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
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
    m_nRedrawLock = 0;
    CLineListBox::PostNcDestroy();
}
