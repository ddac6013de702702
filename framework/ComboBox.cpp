#include "framework/ComboBox.h"


void CComboBox::GetLBText(int nIndex, std::string& rString) const
{
    ReceiveText(CB_GETLBTEXTLEN, CB_GETLBTEXT, nIndex, rString);
}

int CComboBox::GetLBText(int nIndex, LPSTR lpszText) const
{
    std::string strText;
    return ReceiveText(CB_GETLBTEXTLEN, CB_GETLBTEXT, nIndex, strText) ? CopyText(strText, lpszText) : CB_ERR;
}

int CComboBox::GetLBTextLen(int nIndex) const
{
    std::string strText;
    return ReceiveText(CB_GETLBTEXTLEN, CB_GETLBTEXT, nIndex, strText) ? static_cast<int>(strText.size()) : CB_ERR;
}
