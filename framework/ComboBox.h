#pragma once

#include "framework/Wnd.h"

#include <string>

// A combo box control: one line per operation over SendMessage. Its parent's
// WM_COMMAND notifications (CBN_SELCHANGE, ...) are offered to OnChildNotify
// first, so a derived box can follow its own selection.
class CComboBox : public CWnd
{
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
    { return CWnd::Create("COMBOBOX", NULL, dwStyle, rect, pParentWnd, nID); }

    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, nSelect)); }
    int AddString(LPCSTR lpszString) { return static_cast<int>(SendText(CB_ADDSTRING, 0, lpszString)); }
    int InsertString(int nIndex, LPCSTR lpszString)
    { return static_cast<int>(SendText(CB_INSERTSTRING, nIndex, lpszString)); }
    int DeleteString(UINT nIndex) { return static_cast<int>(SendMessage(CB_DELETESTRING, nIndex)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    // Shift-JIS texts; the lengths count its bytes.
    int GetLBText(int nIndex, LPSTR lpszText) const;
    void GetLBText(int nIndex, std::string& rString) const;
    int GetLBTextLen(int nIndex) const;
    int FindString(int nStartAfter, LPCSTR lpszString) const
    { return static_cast<int>(SendText(CB_FINDSTRING, nStartAfter, lpszString)); }
    int FindStringExact(int nIndexStart, LPCSTR lpszFind) const
    { return static_cast<int>(SendText(CB_FINDSTRINGEXACT, nIndexStart, lpszFind)); }
    int SelectString(int nStartAfter, LPCSTR lpszString)
    { return static_cast<int>(SendText(CB_SELECTSTRING, nStartAfter, lpszString)); }
    DWORD_PTR GetItemData(int nIndex) const { return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, nIndex)); }
    int SetItemData(int nIndex, DWORD_PTR dwItemData)
    { return static_cast<int>(SendMessage(CB_SETITEMDATA, nIndex, static_cast<LPARAM>(dwItemData))); }
    void ShowDropDown(BOOL bShowIt = TRUE) { SendMessage(CB_SHOWDROPDOWN, bShowIt); }
    BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
    int SetDroppedWidth(UINT nWidth) { return static_cast<int>(SendMessage(CB_SETDROPPEDWIDTH, nWidth)); }
    int GetItemHeight(int nIndex) const { return static_cast<int>(SendMessage(CB_GETITEMHEIGHT, nIndex)); }
    int SetItemHeight(int nIndex, UINT cyItemHeight)
    { return static_cast<int>(SendMessage(CB_SETITEMHEIGHT, nIndex, MAKELONG(cyItemHeight, 0))); }
    BOOL LimitText(int nMaxChars) { return static_cast<BOOL>(SendMessage(CB_LIMITTEXT, nMaxChars)); }
};
