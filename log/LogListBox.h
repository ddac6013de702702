#pragma once

// How to put a row into a log view (for the traffic log and anyone else):
//
//   view.PostLine(-1, "text");        // from any thread
//
// PostLine puts a heap copy of the text into the view's row queue
// (CLogRowQueue) and, when rows start waiting there, posts WM_POSTLINE to the
// view's window, which then takes every waiting row in one go. From then on
// the copy belongs to the view, which keeps it as the stored line without
// copying it again and frees it when the line is dropped, the box is cleared
// or the window goes (rows still waiting at WM_DESTROY are freed too). The
// caller's text stays the caller's. When the window cannot be told (no window,
// or its queue is full) PostLine drops the copy itself and answers false:
// nothing was handed over, and the caller may try again. Only the window
// thread may touch the box otherwise.
//
// The two views of a log share one queue (PairWith): their rows travel in
// pairs and both views take them in the same go, and one timer repaints both
// in one handler, so they stay in step on screen too.

#include "log/DelayDrawListBox.h"
#include "log/LogRowQueue.h"
#include "support/RingQueueT.h"
#include "support/SharedText.h"

#include <memory>
#include <string>
#include <vector>

// The view's append message: rows wait in the view's row queue; the message,
// posted when they start waiting, makes the view take all of them (rows are
// always appended).
const UINT WM_POSTLINE = WM_APP;

// While rows come faster than the window takes them, the next take waits for
// this timer instead of a notice, so the window's input, paints and timers
// get their turn in between.
const UINT_PTR IDT_TAKE_ROWS = 20003;
const UINT TAKE_ROWS_PAUSE_MS = 10;

// lParam of LB_DELETESTRING or LB_RESETCONTENT that hands the message to the
// system list box unchanged.
const LPARAM PASS_THROUGH_MARK = 0x546C6C62;

// One log view: an owner-drawn list box without strings of its own
// (LBS_OWNERDRAWFIXED | LBS_NODATA; LBS_EXTENDEDSEL for copying). It keeps
// its lines in a ring of at most m_nMaxLines, tells the system box only their
// number, always shows the newest line and repaints lazily, so a flood of
// lines costs few repaints. When the ring is full the oldest 20 lines go (5
// for limits up to 1000); the selection, the caret and the anchor stay on
// their rows.
class CLogListBox : public CDelayDrawListBox
{
public:
    CLogListBox();
    ~CLogListBox() override;

    // Any thread. False when the line could not be handed over (it is freed).
    bool PostLine(int nPosition, const char* pszText);
    // Window thread, before rows come: this view shows the left and partner
    // the right column of one log; both take their rows from this view's
    // queue and are repainted by this view's timers.
    void PairWith(CLogListBox& partner);
    // The queue this view takes its rows from; any thread may add to it.
    CLogRowQueue& GetRowQueue() { return *m_pQueue; }

    // Replaces the store by an empty one holding at most nMaxLines lines.
    void SetMaxLines(int nMaxLines) override;
    // Leaves strText unchanged for an index outside the lines.
    void GetLineText(int nIndex, std::string& strText) override;
    int CopyLineText(int nIndex, char* pBuffer) override;
    int GetLineCount() const { return m_lines.GetCount(); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    // Rows are sized by LB_SETITEMHEIGHT from the font instead.
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;
    void PostNcDestroy() override;

protected:
    int m_nItemHeight;
    ZEV::CRingQueueT<ZEV::CSharedText> m_lines;
    // Space above the text in a row; the row is 2 x m_nMargin higher than the font.
    int m_nMargin;
    int m_cxClient;
    int m_cyClient;

private:
    // Takes every row waiting in the queue, into this view and its partner.
    void OnPostLine();
    // Appends a line to the ring, dropping the oldest lines when it is full.
    void StoreLine(ZEV::CSharedText&& line);
    // Tells the system box about the lines stored since the last update:
    // one count, one scroll and one repaint request however many came.
    void AfterLinesAdded();
    // The oldest nDropped lines went: selection, caret and anchor follow their rows.
    void MoveSelectionUp(int nDropped);
    void SelectShifted(const std::vector<int>& selected, int nDropped);
    LRESULT OnDeleteString(WPARAM wParam, LPARAM lParam);
    LRESULT OnResetContent(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetTextLen(WPARAM wParam);
    LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBackground(HDC hDC);
    void OnDestroy() override;
    // Rows still waiting for this view go with its window.
    void FreeQueuedLines();
    // The ring changed: new count to the system box, row height, repaint.
    void AfterLinesChanged();
    void MeasureRows();
    const ZEV::CSharedText* LineAt(WPARAM nIndex) const;

    std::shared_ptr<CLogRowQueue> m_pQueue;
    int m_nColumn;      // this view's half of each row pair
    int m_nAdded;       // lines stored since the system box was last told
    int m_nDropped;     // oldest lines dropped since then
};
