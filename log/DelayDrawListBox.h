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
// Two boxes that show one table repaint together (RepaintWith).
class CDelayDrawListBox : public CLineListBox
{
public:
    CDelayDrawListBox();
    ~CDelayDrawListBox() override;

    // Window thread, before lines come: this box's timers repaint partner
    // too, in the same handler, so no lines can come between the two paints
    // and both always show the same moment. Partner's own requests go here.
    void RepaintWith(CDelayDrawListBox& partner);
    void ScheduleRepaint();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void PostNcDestroy() override;

protected:
    // While it lives the window cannot be drawn at all, so a change of the top
    // row moves no pixels: the system list box scrolls the screen at once even
    // with drawing held (Wine's does), and the rows the scroll uncovered kept
    // the old rows until the delayed repaint, so the newest rows showed twice.
    class CFrozenScreen
    {
    public:
        explicit CFrozenScreen(HWND hWnd);
        ~CFrozenScreen();
        CFrozenScreen(const CFrozenScreen&) = delete;
        CFrozenScreen& operator=(const CFrozenScreen&) = delete;

    private:
        HWND m_hWnd;
    };

    int m_nRedrawLock;
    bool m_bTickArmed;
    UINT m_nTickDelay;
    UINT m_nEndDelay;

    // Switches drawing off unless it is off already.
    void HoldDrawing();

private:
    LRESULT OnSetRedraw(WPARAM wParam, LPARAM lParam);
    void OnRedrawTimer(UINT_PTR nIDEvent);
    // Both boxes of the table drawn whole at once, drawing held again after.
    void RepaintNow();
    void Unpair();
    // The partner this box repaints, if any and if its window is there.
    CDelayDrawListBox* RepaintedPartner() const;

    CDelayDrawListBox* m_pPartner;  // the other box of the table, or nullptr
    bool m_bRepaintLead;            // this box's timers repaint both
    bool m_bRepainting;             // the lead is in RepaintNow
};
