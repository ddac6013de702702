#pragma once

#include "framework/ListBox.h"

#include <string>

// A list box of text lines with the keys and scrolling the log views need:
// Ctrl+C copies the selected lines to the clipboard, Ctrl+A selects all and
// tells the parent (LBN_SELCHANGE), and every scroll (scroll bar or wheel) is
// reported to the parent as WM_VSCROLL with this box as the scroll bar, so a
// parent can keep several boxes in step.
class CLineListBox : public CListBox
{
public:
    CLineListBox();

    // Text of one line; a derived box may keep its lines itself.
    virtual void GetLineText(int nIndex, std::string& strText);
    // Copies the line and its NUL into pBuffer; its length, or LB_ERR.
    virtual int CopyLineText(int nIndex, char* pBuffer);
    virtual void SetMaxLines(int nMaxLines) { m_nMaxLines = nMaxLines; }
    int GetMaxLines() const { return m_nMaxLines; }

    // Every line (or only the selected ones), each followed by "\r\n", in
    // view order.
    std::string GetLinesText(bool bSelectedOnly);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // How many of the oldest lines a full box drops depends on this limit.
    int m_nMaxLines;

private:
    LRESULT OnChar(WPARAM wParam, LPARAM lParam, bool* pbHandled);
    LRESULT OnScroll(UINT message, WPARAM wParam, LPARAM lParam);
    void CopySelectionToClipboard();
    void SelectAllLines();
};
