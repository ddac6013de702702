#pragma once

// How to put a row into a log view (for the traffic log and anyone else):
//
//   view.PostLine(-1, "text");        // from any thread
//
// PostLine makes a heap copy of the text and posts it to the view's window
// as WM_POSTLINE; from then on the copy belongs to the view, which keeps it as
// the stored line without copying it again and frees it when the line is
// dropped, the box is cleared or the window goes (copies still queued at
// WM_DESTROY are freed too). The caller's text stays the caller's. When the
// post fails (no window, or its queue is full) PostLine frees the copy itself
// and answers false: nothing was handed over, and the caller may try again.
// Only the window thread may touch the box otherwise.

#include "log/DelayDrawListBox.h"
#include "support/RingQueueT.h"
#include "support/SharedText.h"

#include <string>

// The view's append message: wParam the insert position (always appended),
// lParam a heap text made by ZEV::CSharedText::Duplicate whose ownership
// passes to the receiver.
const UINT WM_POSTLINE = WM_APP;

// lParam of LB_DELETESTRING or LB_RESETCONTENT that hands the message to the
// system list box unchanged.
const LPARAM PASS_THROUGH_MARK = 0x546C6C62;

// One log view: an owner-drawn list box without strings of its own
// (LBS_OWNERDRAWFIXED | LBS_NODATA; LBS_EXTENDEDSEL for copying). It keeps
// its lines in a ring of at most m_nMaxLines, tells the system box only their
// number, always shows the newest line and repaints lazily, so a flood of
// lines costs few repaints. When the ring is full the oldest 20 lines go (5
// for limits up to 1000).
class CLogListBox : public CDelayDrawListBox
{
public:
    CLogListBox();
    ~CLogListBox() override;

    // Any thread. False when the line could not be posted (it is freed).
    bool PostLine(int nPosition, const char* pszText);

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
    void OnPostLine(char* pszText);
    // Adopts a posted text into the ring; the index it got, or -1 when dropped.
    int StoreLine(char* pszText);
    // Tells the system box about the lines stored since the last update.
    void AfterLinesAdded();
    static bool IsTouched(CLogListBox* const* touched, int nTouched, const CLogListBox* pView);
    LRESULT OnDeleteString(WPARAM wParam, LPARAM lParam);
    LRESULT OnResetContent(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetTextLen(WPARAM wParam);
    LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBackground(HDC hDC);
    void OnDestroy() override;
    void FreeQueuedLines();
    // The ring changed: new count to the system box, row height, repaint.
    void AfterLinesChanged();
    void MeasureRows();
    const ZEV::CSharedText* LineAt(WPARAM nIndex) const;
};
