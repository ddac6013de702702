#include "framework/ListBox.h"


void CListBox::GetText(int nIndex, std::string& rString) const
{
    ReceiveText(LB_GETTEXTLEN, LB_GETTEXT, nIndex, rString);
}

int CListBox::GetText(int nIndex, LPSTR lpszBuffer) const
{
    std::string strText;
    return ReceiveText(LB_GETTEXTLEN, LB_GETTEXT, nIndex, strText) ? CopyText(strText, lpszBuffer) : LB_ERR;
}

int CListBox::GetTextLen(int nIndex) const
{
    std::string strText;
    return ReceiveText(LB_GETTEXTLEN, LB_GETTEXT, nIndex, strText) ? static_cast<int>(strText.size()) : LB_ERR;
}

UINT CListBox::ItemFromPoint(POINT pt, BOOL& bOutside) const
{
    DWORD dw = static_cast<DWORD>(SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y)));
    bOutside = HIWORD(dw) != 0;
    return LOWORD(dw);
}

void CListBox::DrawItem(LPDRAWITEMSTRUCT)
{
}

void CListBox::MeasureItem(LPMEASUREITEMSTRUCT)
{
}

int CListBox::CompareItem(LPCOMPAREITEMSTRUCT)
{
    return 0;
}

void CListBox::DeleteItem(LPDELETEITEMSTRUCT)
{
}

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    switch (message) {
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return TRUE;
    case WM_MEASUREITEM:
        MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return TRUE;
    case WM_COMPAREITEM:
        *pResult = CompareItem(reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
        return TRUE;
    case WM_DELETEITEM:
        DeleteItem(reinterpret_cast<LPDELETEITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return TRUE;
    default:
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    }
}
