#pragma once

#include <map>
#include <string>

#include "framework/Afx.h"
#include "serial/ComPortInfo.h"

// A drop-down list of the COM ports present, "COM%d" per port with the port
// number as item data, and a tool tip that names the device of the selection.
class CComPortCombo : public CComboBox {
public:
    CComPortCombo();
    ~CComPortCombo() override;

    // Fills the list and selects its first entry.
    void Fill(const ZEV::TComPortList& ports);
    // The port number of the selected entry, or -1 (CB_ERR) when none is selected.
    int GetSelectedPort() const;
    // Selects the first entry of that port number and names it in the tool tip.
    bool SelectPort(int nPort);

    HWND GetToolTipWindow() const { return m_hToolTip; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    void CreateToolTip();
    void DestroyToolTip();
    void AttachToolTip(const std::string& strText);
    void UpdateTipText();
    std::string GetTipTextOfSelection() const;

    HWND m_hToolTip;
    std::map<int, std::string> m_tipTexts;
};
