#include "framework/FileDialog.h"

#include "support/WideText.h"

#include <algorithm>
#include <cstring>

namespace {

// Turns "a|b||" into "a\0b\0\0". The filter is Shift-JIS, where '|' can be
// the second byte of a double-byte character (0x837C is "ポ"), so only
// single-byte bars are separators.
std::string ToFilterList(LPCSTR lpszFilter)
{
    std::string list(lpszFilter != nullptr ? lpszFilter : "");
    for (size_t i = 0; i < list.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(list[i]);
        if (::IsDBCSLeadByteEx(932, c) && i + 1 < list.size()) {
            ++i;
            continue;
        }
        if (c == '|')
            list[i] = '\0';
    }
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

} // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : m_ofn(), m_bOpenFileDialog(bOpenFileDialog), m_fileName(MAX_PATH, '\0')
{
    m_pParentWnd = pParentWnd;
    if (lpszFileName != nullptr) {
        size_t n = std::strlen(lpszFileName);
        if (n + 1 > m_fileName.size())
            m_fileName.resize(n + 1);
        std::memcpy(m_fileName.data(), lpszFileName, n + 1);
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.lpstrFile = m_fileName.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_fileName.size());
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLEHOOK;
    m_ofn.lpfnHook = HookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
    if (lpszDefExt != nullptr) {
        m_strDefExt = lpszDefExt;
        m_ofn.lpstrDefExt = m_strDefExt.c_str();
    }
    if (lpszFilter != nullptr) {
        m_strFilter = ToFilterList(lpszFilter);
        m_ofn.lpstrFilter = m_strFilter.c_str();
    }
}

CFileDialog::~CFileDialog()
{
    // The hook's child dialog belongs to the system dialog.
    Detach();
}

INT_PTR CFileDialog::DoModal()
{
    m_ofn.hwndOwner = GetOwnerForModal();
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
    std::vector<wchar_t> fileName;
    std::wstring strFilter, strDefExt, strTitle;
    OPENFILENAMEW ofn = MakeWideRequest(fileName, strFilter, strDefExt, strTitle);
    BOOL bOK = m_bOpenFileDialog ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    Detach();
    m_strPath = bOK ? std::wstring(ofn.lpstrFile) : std::wstring();
    const WORD nFileOffset = bOK ? ofn.nFileOffset : 0;
    const WORD nFileExtension = bOK ? ofn.nFileExtension : 0;
    // The Shift-JIS side keeps what it is used for: the answer in m_ofn's buffer.
    std::string strPath = ZEV::FromWide(m_strPath);
    if (bOK && m_ofn.lpstrFile != nullptr && m_ofn.nMaxFile > 0) {
        size_t nCopy = std::min<size_t>(strPath.size(), m_ofn.nMaxFile - 1);
        std::memcpy(m_ofn.lpstrFile, strPath.data(), nCopy);
        m_ofn.lpstrFile[nCopy] = '\0';
    }
    // Offsets into the Shift-JIS path count its bytes.
    m_ofn.nFileOffset = static_cast<WORD>(ZEV::FromWide(m_strPath.substr(0, nFileOffset)).size());
    m_ofn.nFileExtension = static_cast<WORD>(ZEV::FromWide(m_strPath.substr(0, nFileExtension)).size());
    m_nModalResult = bOK ? IDOK : IDCANCEL;
    return m_nModalResult;
}

UINT_PTR CALLBACK CFileDialog::HookProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* pOfn = reinterpret_cast<OPENFILENAMEW*>(lParam);
        auto* pDlg = reinterpret_cast<CFileDialog*>(pOfn->lCustData);
        pDlg->Attach(hWnd);
        return pDlg->OnInitDialog();
    }
    auto* pDlg = static_cast<CFileDialog*>(FromHandlePermanent(hWnd));
    if (pDlg == nullptr)
        return 0;
    if (message == WM_DESTROY) {
        pDlg->Detach();
        return 0;
    }
    if (message != WM_NOTIFY)
        return 0;
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    if (pHdr->code == CDN_INITDONE) {
        pDlg->OnInitDone();
        return 0;
    }
    if (pHdr->code == CDN_FILEOK && pDlg->OnFileNameOK()) {
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, 1);
        return 1;
    }
    return 0;
}

BOOL CFileDialog::OnInitDialog()
{
    return TRUE;
}

void CFileDialog::OnInitDone()
{
}

BOOL CFileDialog::OnFileNameOK()
{
    return FALSE;
}

std::string CFileDialog::GetPathName() const
{
    return m_ofn.lpstrFile != nullptr ? std::string(m_ofn.lpstrFile) : std::string();
}

std::wstring CFileDialog::GetPathNameW() const
{
    return m_strPath;
}

OPENFILENAMEW CFileDialog::MakeWideRequest(std::vector<wchar_t>& fileName, std::wstring& strFilter,
                                           std::wstring& strDefExt, std::wstring& strTitle) const
{
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_ofn.hwndOwner;
    ofn.hInstance = m_ofn.hInstance;
    // The filter list holds NULs: converted whole, its two closing NULs included.
    if (m_ofn.lpstrFilter != nullptr) {
        size_t nLength = 0;
        while (m_ofn.lpstrFilter[nLength] != '\0' || m_ofn.lpstrFilter[nLength + 1] != '\0')
            ++nLength;
        strFilter = ZEV::ToWide(m_ofn.lpstrFilter, static_cast<int>(nLength + 2));
        ofn.lpstrFilter = strFilter.c_str();
    }
    ofn.nFilterIndex = m_ofn.nFilterIndex;
    std::wstring strInitial = ZEV::ToWide(m_ofn.lpstrFile);
    // At least as many characters as the Shift-JIS buffer holds bytes.
    fileName.assign(std::max<size_t>(m_ofn.nMaxFile, strInitial.size() + 1), L'\0');
    std::copy(strInitial.begin(), strInitial.end(), fileName.begin());
    ofn.lpstrFile = fileName.data();
    ofn.nMaxFile = static_cast<DWORD>(fileName.size());
    if (m_ofn.lpstrTitle != nullptr) {
        strTitle = ZEV::ToWide(m_ofn.lpstrTitle);
        ofn.lpstrTitle = strTitle.c_str();
    }
    ofn.Flags = m_ofn.Flags;
    if (m_ofn.lpstrDefExt != nullptr) {
        strDefExt = ZEV::ToWide(m_ofn.lpstrDefExt);
        ofn.lpstrDefExt = strDefExt.c_str();
    }
    ofn.lCustData = m_ofn.lCustData;
    ofn.lpfnHook = m_ofn.lpfnHook;
    ofn.FlagsEx = m_ofn.FlagsEx;
    return ofn;
}

std::string CFileDialog::GetFileName() const
{
    std::string path = GetPathName();
    if (m_ofn.nFileOffset > 0 && m_ofn.nFileOffset <= path.size())
        return path.substr(m_ofn.nFileOffset);
    return path;
}

std::string CFileDialog::GetFileExt() const
{
    std::string path = GetPathName();
    if (m_ofn.nFileExtension > 0 && m_ofn.nFileExtension <= path.size())
        return path.substr(m_ofn.nFileExtension);
    return std::string();
}

std::string CFileDialog::GetFileTitle() const
{
    std::string name = GetFileName();
    std::string ext = GetFileExt();
    if (!ext.empty() && name.size() > ext.size())
        return name.substr(0, name.size() - ext.size() - 1);
    return name;
}
