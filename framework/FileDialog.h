#pragma once

#include "framework/Dialog.h"

#include <commdlg.h>

#include <string>
#include <vector>

// The system's open or save file dialog. The filter uses '|' between its
// parts ("Text (*.txt)|*.txt||"). The dialog runs with a hook, so a derived
// class sees OnInitDialog (with this object bound to the hook's child dialog;
// GetParent() is the system dialog itself) and OnInitDone.
// m_ofn may be adjusted between construction and DoModal, for example to hand
// in a larger file-name buffer. Its texts are Shift-JIS; the system dialog itself
// runs through the Unicode function, so the path chosen may hold any character:
// GetPathNameW answers it whole, GetPathName as Shift-JIS.
class CFileDialog : public CDialog
{
public:
    explicit CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = NULL, LPCSTR lpszFileName = NULL,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         LPCSTR lpszFilter = NULL, CWnd* pParentWnd = NULL);
    ~CFileDialog() override;

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal() override;

    std::string GetPathName() const;
    std::wstring GetPathNameW() const;
    std::string GetFileName() const;
    std::string GetFileExt() const;
    std::string GetFileTitle() const;

    BOOL OnInitDialog() override;
    virtual void OnInitDone();
    // Nonzero keeps the dialog open.
    virtual BOOL OnFileNameOK();

    OPENFILENAMEA m_ofn;

protected:
    BOOL m_bOpenFileDialog;

private:
    static UINT_PTR CALLBACK HookProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The Unicode request made from m_ofn, and the answer.
    OPENFILENAMEW MakeWideRequest(std::vector<wchar_t>& fileName, std::wstring& strFilter,
                                  std::wstring& strDefExt, std::wstring& strTitle) const;

    std::vector<char> m_fileName;
    std::wstring m_strPath;
    std::string m_strDefExt;
    std::string m_strFilter;
};
