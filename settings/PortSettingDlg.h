#pragma once

#include "framework/Afx.h"
#include "monitor/LineRelay.h"
#include "res/resource.h"
#include "serial/ComPortInfo.h"
#include "settings/ComPortCombo.h"

// Chooses the two ports and the one set of line settings they share. On OK
// it reconfigures and opens both ports itself, and stores the choices only
// when both opened; otherwise it says which port failed and stays open.
class CPortSettingDlg : public CDialog {
public:
    enum { IDD = IDD_PORT_SETTING };

    explicit CPortSettingDlg(CWnd* pParent = NULL);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    void OnRefresh();
    // The COM ports present; asked afresh at start-up and on every refresh.
    virtual ZEV::TComPortList EnumeratePorts();

private:
    void RefillPortList(CComPortCombo& list, const ZEV::TComPortList& ports);
    void FillChoices();
    void SelectStoredSettings();
    void StoreSettings(int nPort1, int nPort2);

protected:
    CComboBox m_cbFlow;
    CComboBox m_cbStopBits;
    CComboBox m_cbSpeed;
    CComPortCombo m_cbPort2;
    CComPortCombo m_cbPort1;
    CComboBox m_cbParity;
    CComboBox m_cbDataBits;
    HICON m_hIcon;

public:
    CLineRelay* m_pPort1;
    CLineRelay* m_pPort2;
};
