#pragma once

#include "log/LineListBox.h"

// lParam of WM_SETREDRAW that makes it a request about the redraw lock:
// wParam 100 resets the lock and switches drawing on, 101 answers the lock
// count, anything else answers 0.
const LPARAM REDRAW_CTRL_MARK = 0x74735278;
const WPARAM REDRAW_CTRL_RESET = 100;
const WPARAM REDRAW_CTRL_QUERY = 101;

// Timers: repaint while lines keep coming, and once more when they stop.
const UINT_PTR IDT_REDRAW_TICK = 20001;
const UINT_PTR IDT_REDRAW_END = 20002;

// A line list box that repaints lazily: ScheduleRepaint switches drawing off
// and repaints every m_nTickDelay ms while requests keep coming, and once
// more m_nEndDelay ms after the last one, when drawing goes back on.
// WM_SETREDRAW requests nest: only the first FALSE and the matching last TRUE
// reach the system list box, and while drawing is off no paint reaches it.
class CDelayDrawListBox : public CLineListBox
{
public:
    CDelayDrawListBox();

    void ScheduleRepaint();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void PostNcDestroy() override;

protected:
    int m_nRedrawLock;
    bool m_bTickArmed;
    UINT m_nTickDelay;
    UINT m_nEndDelay;

private:
    LRESULT OnSetRedraw(WPARAM wParam, LPARAM lParam);
    void OnRedrawTimer(UINT_PTR nIDEvent);
};
