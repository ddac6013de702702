#include "framework/Dialog.h"

#include "framework/WinApp.h"
#include "framework/JapaneseFont.h"
#include "support/WideText.h"

#include <cwchar>

namespace {

// A template named by its number stays a number; a name is converted.
std::wstring TemplateName(LPCSTR lpszTemplateName)
{
    return IS_INTRESOURCE(lpszTemplateName) ? std::wstring() : ZEV::ToWide(lpszTemplateName);
}

LPCWSTR TemplateId(LPCSTR lpszTemplateName, const std::wstring& strName)
{
    return IS_INTRESOURCE(lpszTemplateName) ? reinterpret_cast<LPCWSTR>(lpszTemplateName) : strName.c_str();
}

} // namespace

INT_PTR CALLBACK AfxDlgProc(HWND, UINT message, WPARAM, LPARAM)
{
    // WM_INITDIALOG is answered by CDialog::WindowProc before it gets here.
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

CDialog::CDialog()
    : m_pParentWnd(nullptr), m_lpszTemplateName(nullptr), m_lpDialogTemplate(nullptr),
      m_nModalResult(-1)
{
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_pParentWnd(pParentWnd), m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)),
      m_lpDialogTemplate(nullptr), m_nModalResult(-1)
{
}

CDialog::CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd)
    : m_pParentWnd(pParentWnd), m_lpszTemplateName(lpszTemplateName), m_lpDialogTemplate(nullptr),
      m_nModalResult(-1)
{
}

CDialog::~CDialog()
{
    // Destroy while the object is still a dialog, so the handlers that run
    // during destruction are the dialog's and not the bare window's.
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd)
{
    m_lpDialogTemplate = lpDialogTemplate;
    m_lpszTemplateName = nullptr;
    m_pParentWnd = pParentWnd;
    return lpDialogTemplate != nullptr;
}

HWND CDialog::GetOwnerForModal() const
{
    HWND hParent = m_pParentWnd->GetSafeHwnd();
    HWND hOwner = hParent;
    if (hOwner == NULL) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain != this)
            hOwner = pMain->GetSafeHwnd();
    }
    if (hOwner == NULL || !::IsWindow(hOwner))
        return NULL;
    // A popup cannot be owned by a child window.
    hOwner = ::GetAncestor(hOwner, GA_ROOT);
    // Without a parent, stack over whatever the main window shows on top
    // (another modal dialog), so that closing this one does not re-enable
    // the main window underneath that dialog.
    return hParent == NULL ? ::GetLastActivePopup(hOwner) : hOwner;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd != NULL)
        return -1;
    HWND hOwner = GetOwnerForModal();
    LPARAM lParam = reinterpret_cast<LPARAM>(this);
    m_nModalResult = -1;
    // The W functions make a Unicode dialog: the template's UTF-16 texts are used as they are.
    std::wstring strName = TemplateName(m_lpszTemplateName);
    AfxHookWindowCreate(this);
    INT_PTR nResult = m_lpDialogTemplate != nullptr
        ? ::DialogBoxIndirectParamW(AfxGetResourceHandle(), m_lpDialogTemplate, hOwner, AfxDlgProc, lParam)
        : ::DialogBoxParamW(AfxGetResourceHandle(), TemplateId(m_lpszTemplateName, strName), hOwner,
                            AfxDlgProc, lParam);
    AfxUnhookWindowCreate();
    return nResult;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    return CreateModeless(MAKEINTRESOURCEA(nIDTemplate), nullptr, pParentWnd);
}

BOOL CDialog::Create(LPCSTR lpszTemplateName, CWnd* pParentWnd)
{
    return CreateModeless(lpszTemplateName, nullptr, pParentWnd);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd)
{
    return CreateModeless(nullptr, lpDialogTemplate, pParentWnd);
}

BOOL CDialog::CreateModeless(LPCSTR lpszTemplateName, LPCDLGTEMPLATEA lpDialogTemplate,
                             CWnd* pParentWnd)
{
    if (m_hWnd != NULL)
        return FALSE;
    if (pParentWnd != nullptr)
        m_pParentWnd = pParentWnd;
    HWND hParent = m_pParentWnd->GetSafeHwnd();
    LPARAM lParam = reinterpret_cast<LPARAM>(this);
    m_nModalResult = -1;
    std::wstring strName = TemplateName(lpszTemplateName);
    AfxHookWindowCreate(this);
    HWND hWnd = lpDialogTemplate != nullptr
        ? ::CreateDialogIndirectParamW(AfxGetResourceHandle(), lpDialogTemplate, hParent, AfxDlgProc, lParam)
        : ::CreateDialogParamW(AfxGetResourceHandle(), TemplateId(lpszTemplateName, strName), hParent,
                               AfxDlgProc, lParam);
    AfxUnhookWindowCreate();
    return hWnd != NULL && hWnd == m_hWnd;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        UseJapaneseFont();
        return OnInitDialog();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDialog::UseJapaneseFont()
{
    HFONT hFont = GetFont();
    LOGFONTW lf = {};
    if (hFont == NULL || ::GetObjectW(hFont, sizeof lf, &lf) == 0)
        return;
    LOGFONTW chosen = lf;
    ZEV::ChooseJapaneseFace(chosen);
    // The template's character set may have been dropped for the system's default one.
    if (std::wcscmp(chosen.lfFaceName, lf.lfFaceName) == 0 && chosen.lfCharSet == lf.lfCharSet)
        return;
    m_pJapaneseFont.reset(::CreateFontIndirectW(&chosen));
    if (!m_pJapaneseFont)
        return;
    SendMessageToDescendants(WM_SETFONT, reinterpret_cast<WPARAM>(m_pJapaneseFont.get()), FALSE, FALSE);
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_pJapaneseFont.get()), FALSE);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CWnd::OnCommand(wParam, lParam))
        return TRUE;
    UINT nCode = HIWORD(wParam);
    // Only clicks, menu items and accelerators (codes 0 and 1) are commands.
    if (nCode != BN_CLICKED && nCode != 1)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    ::EndDialog(m_hWnd, nResult);
}
