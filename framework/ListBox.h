#pragma once

#include "framework/Wnd.h"

#include <string>

// A list box control: one line per operation over SendMessage. Owner-drawn
// boxes get their parent's WM_DRAWITEM, WM_MEASUREITEM, WM_COMPAREITEM and
// WM_DELETEITEM as DrawItem, MeasureItem, CompareItem and DeleteItem.
class CListBox : public CWnd
{
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
    { return CWnd::Create("LISTBOX", NULL, dwStyle, rect, pParentWnd, nID); }

    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
    int SetTopIndex(int nIndex) { return static_cast<int>(SendMessage(LB_SETTOPINDEX, nIndex)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(LB_SETCURSEL, nSelect)); }
    int GetSel(int nIndex) const { return static_cast<int>(SendMessage(LB_GETSEL, nIndex)); }
    int SetSel(int nIndex, BOOL bSelect = TRUE) { return static_cast<int>(SendMessage(LB_SETSEL, bSelect, nIndex)); }
    int GetSelCount() const { return static_cast<int>(SendMessage(LB_GETSELCOUNT)); }
    int GetSelItems(int nMaxItems, LPINT rgIndex) const
    { return static_cast<int>(SendMessage(LB_GETSELITEMS, nMaxItems, reinterpret_cast<LPARAM>(rgIndex))); }
    int SelItemRange(BOOL bSelect, int nFirstItem, int nLastItem)
    { return bSelect ? static_cast<int>(SendMessage(LB_SELITEMRANGEEX, nFirstItem, nLastItem))
                     : static_cast<int>(SendMessage(LB_SELITEMRANGEEX, nLastItem, nFirstItem)); }
    int GetCaretIndex() const { return static_cast<int>(SendMessage(LB_GETCARETINDEX)); }
    int SetCaretIndex(int nIndex, BOOL bScroll = TRUE)
    { return static_cast<int>(SendMessage(LB_SETCARETINDEX, nIndex, MAKELONG(bScroll, 0))); }
    int GetAnchorIndex() const { return static_cast<int>(SendMessage(LB_GETANCHORINDEX)); }
    void SetAnchorIndex(int nIndex) { SendMessage(LB_SETANCHORINDEX, nIndex); }

    // Shift-JIS texts; the lengths count its bytes.
    int GetText(int nIndex, LPSTR lpszBuffer) const;
    void GetText(int nIndex, std::string& rString) const;
    int GetTextLen(int nIndex) const;
    int AddString(LPCSTR lpszItem) { return static_cast<int>(SendText(LB_ADDSTRING, 0, lpszItem)); }
    int InsertString(int nIndex, LPCSTR lpszItem)
    { return static_cast<int>(SendText(LB_INSERTSTRING, nIndex, lpszItem)); }
    int DeleteString(UINT nIndex) { return static_cast<int>(SendMessage(LB_DELETESTRING, nIndex)); }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    int FindString(int nStartAfter, LPCSTR lpszItem) const
    { return static_cast<int>(SendText(LB_FINDSTRING, nStartAfter, lpszItem)); }
    int FindStringExact(int nIndexStart, LPCSTR lpszFind) const
    { return static_cast<int>(SendText(LB_FINDSTRINGEXACT, nIndexStart, lpszFind)); }
    int SelectString(int nStartAfter, LPCSTR lpszItem)
    { return static_cast<int>(SendText(LB_SELECTSTRING, nStartAfter, lpszItem)); }
    DWORD_PTR GetItemData(int nIndex) const { return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, nIndex)); }
    int SetItemData(int nIndex, DWORD_PTR dwItemData)
    { return static_cast<int>(SendMessage(LB_SETITEMDATA, nIndex, static_cast<LPARAM>(dwItemData))); }
    int GetItemHeight(int nIndex) const { return static_cast<int>(SendMessage(LB_GETITEMHEIGHT, nIndex)); }
    int SetItemHeight(int nIndex, UINT cyItemHeight)
    { return static_cast<int>(SendMessage(LB_SETITEMHEIGHT, nIndex, MAKELONG(cyItemHeight, 0))); }
    int GetItemRect(int nIndex, LPRECT lpRect) const
    { return static_cast<int>(SendMessage(LB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(lpRect))); }
    int InitStorage(int nItems, UINT nBytes) { return static_cast<int>(SendMessage(LB_INITSTORAGE, nItems, nBytes)); }
    UINT ItemFromPoint(POINT pt, BOOL& bOutside) const;

    // Owner drawing; the defaults do nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    virtual void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    virtual int CompareItem(LPCOMPAREITEMSTRUCT lpCompareItemStruct);
    virtual void DeleteItem(LPDELETEITEMSTRUCT lpDeleteItemStruct);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
