#pragma once

#include <windows.h>

#include <deque>

#include "serial/SyncObject.h"
#include "support/SharedText.h"

class CLogListBox;

// One moment of the log: a row for the left view (column 0) and one for the
// right view (column 1). A null text means no row for that view.
struct TLogRowPair
{
    ZEV::CSharedText row[2];
};

// The rows on their way to one log view, or to the two views of a log, in the
// order they were made. Any thread adds; one message (WM_POSTLINE), posted to
// the lead view's window when rows start waiting, lets the window thread take
// every waiting row in one go, so a flood costs one message per batch instead
// of one per row. The two views take the two halves of each pair in the same
// go, so they are row for row in step whenever the window can paint.
//
// Holds at most the views' line limit: a view would drop older rows anyway,
// and a window that stops taking rows must not make the queue grow for ever.
// The lock is held only for a push or a swap, never while waiting for anything.
class CLogRowQueue
{
public:
    enum EMode {
        QUEUE_KEEP,       // tell the window; keep the pair when it cannot be told (ask again with Notify)
        QUEUE_OR_REFUSE,  // tell the window; drop the pair again when it cannot be told
        QUEUE_SILENT,     // do not tell the window (the caller decides when)
    };

    CLogRowQueue();

    CLogRowQueue(const CLogRowQueue&) = delete;
    CLogRowQueue& operator=(const CLogRowQueue&) = delete;

    // Window thread: the view of a column; nullptr takes it out.
    void SetView(int nColumn, CLogListBox* pView);
    // Most pairs held; beyond it the oldest pairs go, both halves together.
    void SetLimit(int nPairs);

    // Any thread. Queues the pair behind those waiting. Answers whether the
    // window has been told of the waiting rows (a notice is on its way).
    bool Add(TLogRowPair&& pair, EMode eMode = QUEUE_KEEP);
    // Any thread: tells the window unless it has been told or nothing waits;
    // false when its message queue refused the notice.
    bool Notify();
    int GetCount();

    // Window thread: every waiting pair, oldest first, and the views to give
    // them to; the next row added posts a new notice.
    void TakeAll(std::deque<TLogRowPair>& pairs, CLogListBox* views[2]);
    // Window thread: the rows waiting for one view go (its window is closing).
    void DropColumn(int nColumn);
    void Clear();

private:
    bool TellLocked();
    HWND GetLeadWindow() const;

    ZEV::CSyncSection m_lock;
    std::deque<TLogRowPair> m_pairs;
    CLogListBox* m_pView[2];
    size_t m_nLimit;
    bool m_bTold;   // a notice is on its way to the window
};
