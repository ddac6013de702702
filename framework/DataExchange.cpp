#include "framework/DataExchange.h"

#include "framework/Wnd.h"
#include "support/WideText.h"

#include <cstdlib>

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWnd = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC);
    if (hWnd == NULL)
        Fail();
    m_idLastControl = nIDC;
    return hWnd;
}

void CDataExchange::Fail()
{
    throw CUserException();
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != NULL)
        return;
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWnd))
        pDX->Fail();
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        CWnd::FromHandle(hWnd)->SetWindowText(value.c_str());
        return;
    }
    CWnd::FromHandle(hWnd)->GetWindowText(value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        char buffer[16];
        wsprintfA(buffer, "%d", value);
        ::SetWindowTextW(hWnd, ZEV::ToWide(buffer).c_str());
        return;
    }
    char buffer[64] = {};
    CWnd::FromHandle(hWnd)->GetWindowText(buffer, sizeof buffer);
    char* pEnd = nullptr;
    long n = std::strtol(buffer, &pEnd, 10);
    if (pEnd == buffer)
        pDX->Fail();
    value = static_cast<int>(n);
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(hWnd, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(hWnd, CB_SETCURSEL, index, 0);
}

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(hWnd, LB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(hWnd, LB_SETCURSEL, index, 0);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(hWnd, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(hWnd, BM_SETCHECK, value, 0);
}
