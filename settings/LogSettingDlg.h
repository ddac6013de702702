#pragma once

#include "framework/Afx.h"
#include "res/resource.h"

// Chooses how the traffic log is shown. The choices go to the INI file as
// list positions; whoever applies them reads them back from there.
class CLogSettingDlg : public CDialog {
public:
    enum { IDD = IDD_LOG_SETTING };

    explicit CLogSettingDlg(CWnd* pParent = NULL);

    // The stored list positions, or their defaults when absent or empty.
    static int GetDataWidthSetting();
    static int GetDataViewSetting();
    static int GetSignalModeSetting();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    CComboBox m_cbSignalMode;
    CComboBox m_cbDataWidth;
    CComboBox m_cbDataView;
};
