#include "app/AboutDlg.h"

#include "app/VersionInfo.h"

CAboutDlg::CAboutDlg() : CDialog(IDD) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    wchar_t szPath[MAX_PATH] = {};
    GetModuleFileNameW(NULL, szPath, MAX_PATH);

    // Without a readable version resource the text is empty: the template's
    // placeholder would claim a version that the file does not have.
    ZEV::CVersionInfo info;
    info.Load(szPath);
    SetDlgItemText(IDC_VERSION_TEXT, info.GetAboutText("\nVersion", 0).c_str());
    return TRUE;
}
