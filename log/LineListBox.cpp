#include "log/LineListBox.h"

#include "framework/WaitCursor.h"
#include "support/Clipboard.h"

#include <vector>

namespace {

// Only a first key press counts: the low 24 bits of lParam must be exactly
// the key's scan code with a repeat count of 1.
const LPARAM KEY_BITS = 0xFFFFFF;
const LPARAM CTRL_C_KEY = 0x2E0001;
const LPARAM CTRL_A_KEY = 0x1E0001;
const DWORD CLIPBOARD_TIMEOUT = 500;

} // namespace

CLineListBox::CLineListBox() : m_nMaxLines(20000)
{
}

void CLineListBox::GetLineText(int nIndex, std::string& strText)
{
    GetText(nIndex, strText);
}

int CLineListBox::CopyLineText(int nIndex, char* pBuffer)
{
    return static_cast<int>(SendMessage(LB_GETTEXT, nIndex, reinterpret_cast<LPARAM>(pBuffer)));
}

std::string CLineListBox::GetLinesText(bool bSelectedOnly)
{
    std::string strAll, strLine;
    int nCount = GetCount();
    for (int i = 0; i < nCount; ++i) {
        if (bSelectedOnly && GetSel(i) <= 0)
            continue;
        GetLineText(i, strLine);
        strAll += strLine;
        strAll += "\r\n";
    }
    return strAll;
}

LRESULT CLineListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR) {
        bool bHandled = false;
        LRESULT result = OnChar(wParam, lParam, &bHandled);
        if (bHandled)
            return result;
    }
    if (message == WM_VSCROLL || message == WM_MOUSEWHEEL)
        return OnScroll(message, wParam, lParam);
    return CListBox::WindowProc(message, wParam, lParam);
}

LRESULT CLineListBox::OnChar(WPARAM wParam, LPARAM lParam, bool* pbHandled)
{
    LPARAM key = lParam & KEY_BITS;
    if (wParam == 3 && key == CTRL_C_KEY) {
        CopySelectionToClipboard();
        *pbHandled = true;
    } else if (wParam == 1 && key == CTRL_A_KEY) {
        SelectAllLines();
        *pbHandled = true;
    }
    return 0;
}

void CLineListBox::CopySelectionToClipboard()
{
    CWaitCursor wait;
    std::string strText = GetLinesText(true);
    if (strText.empty())
        return;
    // A busy clipboard is given up silently; the user can press again.
    ZEV::CClipboard(m_hWnd, CLIPBOARD_TIMEOUT, false).SetText(strText.c_str(), false);
}

void CLineListBox::SelectAllLines()
{
    CWaitCursor wait;
    int nCount = GetCount();
    if (nCount > 0)
        SendMessage(LB_SELITEMRANGEEX, 0, nCount - 1);
    HWND hParent = ::GetParent(m_hWnd);
    if (hParent != NULL && ::IsWindow(hParent))
        ::SendMessageW(hParent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT CLineListBox::OnScroll(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Scroll with drawing off, then go back and jump to the new top row with
    // drawing on, so the box is drawn once, at its new place.
    SendMessage(WM_SETREDRAW, FALSE);
    int nTopBefore = GetTopIndex();
    LRESULT result = CListBox::WindowProc(message, wParam, lParam);
    int nTopAfter = GetTopIndex();
    SetTopIndex(nTopBefore);
    SendMessage(WM_SETREDRAW, TRUE);
    if (nTopBefore == nTopAfter)
        RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    else
        SetTopIndex(nTopAfter);

    HWND hParent = ::GetParent(m_hWnd);
    if (hParent != NULL && ::IsWindow(hParent)) {
        WPARAM wReport = message == WM_VSCROLL ? wParam : MAKEWPARAM(SB_THUMBPOSITION, GetTopIndex());
        ::SendMessageW(hParent, WM_VSCROLL, wReport, reinterpret_cast<LPARAM>(m_hWnd));
    }
    return result;
}
