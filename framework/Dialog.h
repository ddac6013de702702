#pragma once

#include "framework/Wnd.h"

#include <memory>

// A dialog from a resource template or from a template built in memory; run
// modally with DoModal, or created modeless with Create / CreateIndirect.
// WM_INITDIALOG reaches OnInitDialog (whose default binds the controls through
// DoDataExchange); IDOK and IDCANCEL reach OnOK and OnCancel, which end the
// dialog with that result. The dialog's font is asked for with the Japanese
// character set, and a template's face that the system lacks (or has without
// Japanese glyphs) is replaced by one that has them, before OnInitDialog.
class CDialog : public CWnd
{
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    explicit CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    ~CDialog() override;

    // Modal use of a template in memory (kept by the caller until DoModal returns).
    BOOL InitModalIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd = NULL);
    // The dialog's result (EndDialog's argument), or -1 when it could not be made.
    virtual INT_PTR DoModal();

    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    BOOL Create(LPCSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    BOOL CreateIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd = NULL);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult);

    void NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
    void PrevDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
    void GotoDlgCtrl(CWnd* pWndCtrl)
    { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pWndCtrl->GetSafeHwnd()), 1); }
    void SetDefID(UINT nID) { ::SendMessageW(m_hWnd, DM_SETDEFID, nID, 0); }
    DWORD GetDefID() const { return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0)); }
    void MapDialogRect(LPRECT lpRect) const { ::MapDialogRect(m_hWnd, lpRect); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    CWnd* m_pParentWnd;
    LPCSTR m_lpszTemplateName;
    LPCDLGTEMPLATEA m_lpDialogTemplate;
    int m_nModalResult;

protected:
    // The owner of a modal dialog: the given parent, else the main window.
    HWND GetOwnerForModal() const;

private:
    struct CFontDeleter {
        void operator()(HFONT hFont) const { ::DeleteObject(hFont); }
    };

    void UseJapaneseFont();

    // The replacement font, for as long as the dialog uses it.
    std::unique_ptr<HFONT__, CFontDeleter> m_pJapaneseFont;

    BOOL CreateModeless(LPCSTR lpszTemplateName, LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd);
};

// The dialog procedure of every CDialog: the window procedure does the work.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
