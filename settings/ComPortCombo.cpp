#include "settings/ComPortCombo.h"

#include <commctrl.h>

#include "support/Format.h"
#include "support/WideText.h"

namespace {

const char NO_PORT_TEXT[] = "一つも見つかりません";

// The size every comctl32 version accepts; the full structure is refused by
// version 5, which is what a program without a manifest gets.
TOOLINFOW MakeToolInfo(HWND hCombo, std::wstring& strText) {
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = ::GetParent(hCombo);
    ti.uId = reinterpret_cast<UINT_PTR>(hCombo);
    ti.lpszText = &strText[0];
    return ti;
}

}  // namespace

CComPortCombo::CComPortCombo() : m_hToolTip(NULL) {}

CComPortCombo::~CComPortCombo() {
    DestroyToolTip();
}

void CComPortCombo::CreateToolTip() {
    DestroyToolTip();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    m_hToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 m_hWnd, NULL, AfxGetInstanceHandle(), NULL);
}

void CComPortCombo::DestroyToolTip() {
    if (m_hToolTip != NULL) {
        ::DestroyWindow(m_hToolTip);
        m_hToolTip = NULL;
    }
}

void CComPortCombo::AttachToolTip(const std::string& strText) {
    if (m_hToolTip == NULL) {
        return;
    }
    std::wstring strWide = ZEV::ToWide(strText);
    TOOLINFOW ti = MakeToolInfo(m_hWnd, strWide);
    ::SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    ::SendMessageW(m_hToolTip, TTM_ACTIVATE, TRUE, 0);
}

void CComPortCombo::UpdateTipText() {
    if (m_hToolTip == NULL) {
        return;
    }
    std::wstring strText = ZEV::ToWide(GetTipTextOfSelection());
    TOOLINFOW ti = MakeToolInfo(m_hWnd, strText);
    ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

std::string CComPortCombo::GetTipTextOfSelection() const {
    std::map<int, std::string>::const_iterator it = m_tipTexts.find(GetSelectedPort());
    return it != m_tipTexts.end() ? it->second : std::string();
}

void CComPortCombo::Fill(const ZEV::TComPortList& ports) {
    ResetContent();
    m_tipTexts.clear();
    CreateToolTip();
    if (ports.empty()) {
        AttachToolTip(NO_PORT_TEXT);
        return;
    }
    for (const ZEV::TComPortInfo& port : ports) {
        int nIndex = AddString(ZEV::Format("COM%d", port.m_nPort).c_str());
        SetItemData(nIndex, port.m_nPort);
        m_tipTexts[port.m_nPort] = port.GetDisplayText();
    }
    SetCurSel(0);
    AttachToolTip(GetTipTextOfSelection());
}

int CComPortCombo::GetSelectedPort() const {
    int nIndex = GetCurSel();
    if (nIndex == CB_ERR) {
        return CB_ERR;
    }
    return static_cast<int>(GetItemData(nIndex));
}

bool CComPortCombo::SelectPort(int nPort) {
    int nCount = GetCount();
    for (int i = 0; i < nCount; ++i) {
        if (static_cast<int>(GetItemData(i)) == nPort) {
            SetCurSel(i);
            UpdateTipText();
            return true;
        }
    }
    return false;
}

LRESULT CComPortCombo::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The tool tip sees the mouse only through us: the tool is not subclassed.
    if (m_hToolTip != NULL && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        MSG msg = {m_hWnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        DWORD dwPos = GetMessagePos();
        msg.pt.x = static_cast<short>(LOWORD(dwPos));
        msg.pt.y = static_cast<short>(HIWORD(dwPos));
        ::SendMessageW(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    if (message == WM_DESTROY) {
        m_tipTexts.clear();
        DestroyToolTip();
    }
    return CComboBox::WindowProc(message, wParam, lParam);
}

BOOL CComPortCombo::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
        UpdateTipText();
    }
    // The parent still gets the notification.
    return CComboBox::OnChildNotify(message, wParam, lParam, pResult);
}
