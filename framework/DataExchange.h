#pragma once

#include <windows.h>

#include <string>

class CWnd;

// Thrown by CDataExchange::Fail; UpdateData catches it and answers FALSE.
class CUserException
{
};

// One pass of a window's DoDataExchange: from the controls into the members
// (m_bSaveAndValidate TRUE) or the other way round.
class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_idLastControl(0) {}

    // The control's handle; Fail when the window has no such control.
    HWND PrepareCtrl(int nIDC);
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    int m_idLastControl;
};

// Binds rControl to control nIDC of the dialog (subclassing it) the first
// time it runs; later passes leave a bound control alone.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
