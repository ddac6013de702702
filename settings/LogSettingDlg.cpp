#include "settings/LogSettingDlg.h"

#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileSection.h"

namespace {

int ReadLogSetting(const char* pszKey, DWORD dwDefault) {
    ZEV::CIniProfile ini;
    ZEV::CProfileSection section = ini.GetSection(ZEV::INI_SECTION_LOG_SETTING);
    ZEV::CProfileValue value = section.QueryValue(pszKey);
    if (value.IsEmpty()) {
        return static_cast<int>(dwDefault);
    }
    return static_cast<int>(value.ToInt64());
}

void FillList(CComboBox& list, const char* pszFirst, const char* pszSecond, int nSelected) {
    list.AddString(pszFirst);
    list.AddString(pszSecond);
    // A position outside the list leaves it without a selection.
    list.SetCurSel(nSelected);
}

// A list without a selection has nothing to store: the key keeps its value.
void StorePosition(const ZEV::CProfileSection& section, const char* pszKey, const CComboBox& list) {
    int nSelected = list.GetCurSel();
    if (nSelected == CB_ERR) {
        return;
    }
    section.WriteDword(pszKey, static_cast<DWORD>(nSelected));
}

}  // namespace

CLogSettingDlg::CLogSettingDlg(CWnd* pParent) : CDialog(IDD, pParent) {}

int CLogSettingDlg::GetDataWidthSetting() {
    return ReadLogSetting(ZEV::INI_KEY_DATA_WIDTH, ZEV::INI_DEFAULT_DATA_WIDTH);
}

int CLogSettingDlg::GetDataViewSetting() {
    return ReadLogSetting(ZEV::INI_KEY_DATA_VIEW_TYPE, ZEV::INI_DEFAULT_DATA_VIEW_TYPE);
}

int CLogSettingDlg::GetSignalModeSetting() {
    return ReadLogSetting(ZEV::INI_KEY_SIGNAL_MODE, ZEV::INI_DEFAULT_SIGNAL_MODE);
}

void CLogSettingDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SIGNAL_MODE, m_cbSignalMode);
    DDX_Control(pDX, IDC_DATA_WIDTH, m_cbDataWidth);
    DDX_Control(pDX, IDC_DATA_VIEW, m_cbDataView);
}

BOOL CLogSettingDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillList(m_cbDataWidth, "16", "8", GetDataWidthSetting());
    FillList(m_cbDataView, "HEX表示（省略有り）", "HEX表示（省略なし）", GetDataViewSetting());
    FillList(m_cbSignalMode, "表示あり", "表示なし", GetSignalModeSetting());
    return TRUE;
}

void CLogSettingDlg::OnOK() {
    ZEV::CIniProfile ini;
    ZEV::CProfileSection section = ini.GetSection(ZEV::INI_SECTION_LOG_SETTING);
    StorePosition(section, ZEV::INI_KEY_DATA_WIDTH, m_cbDataWidth);
    StorePosition(section, ZEV::INI_KEY_DATA_VIEW_TYPE, m_cbDataView);
    StorePosition(section, ZEV::INI_KEY_SIGNAL_MODE, m_cbSignalMode);
    EndDialog(IDOK);
}
