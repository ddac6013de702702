#include "settings/PortSettingDlg.h"

#include <cstdlib>
#include <string>

#include "serial/ComPortEnum.h"
#include "serial/SerialPort.h"
#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileSection.h"

namespace {

const char* const SPEED_ITEMS[] = {"4800",   "9600",   "19200",  "38400", "57600",
                                   "115200", "230400", "460800", "921600"};
const char* const PARITY_ITEMS[] = {"なし", "奇数", "偶数"};
const char* const STOP_BIT_ITEMS[] = {"1 bit", "1.5 bit", "2 bit"};
const char* const DATA_BIT_ITEMS[] = {"8 bit", "7 bit"};
const char* const FLOW_ITEMS[] = {"なし", "あり"};

template <size_t N>
void AddItems(CComboBox& list, const char* const (&items)[N]) {
    for (const char* pszItem : items) {
        list.AddString(pszItem);
    }
}

// The decimal number the list shows, 0 for an empty text ("8 bit" reads 8).
DWORD ReadNumberText(const CComboBox& list) {
    std::string strText;
    list.GetWindowText(strText);
    return static_cast<DWORD>(std::strtol(strText.c_str(), NULL, 10));
}

// The port was open: keep what it had and close it for the new settings.
void TakeDown(CLineRelay& port, int& nOldNumber, ZEV::TPortSetting& kept) {
    if (!port.IsOpen()) {
        return;
    }
    kept = port.GetPortSetting();
    nOldNumber = ZEV::GetPortNumber(kept.strPortName);
    port.Close();
}

// A list without a selection (-1) has nothing to store: the key keeps its
// value rather than becoming 4294967295.
void StoreNumber(const ZEV::CProfileSection& section, const char* pszKey, int nValue) {
    if (nValue < 0) {
        return;
    }
    section.WriteDword(pszKey, static_cast<DWORD>(nValue));
}

ZEV::TPortSetting WithPortName(ZEV::TPortSetting setting, int nNumber) {
    setting.strPortName = ZEV::MakePortName(nNumber);
    return setting;
}

}  // namespace

CPortSettingDlg::CPortSettingDlg(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_pPort1(NULL),
      m_pPort2(NULL) {}

void CPortSettingDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FLOW, m_cbFlow);
    DDX_Control(pDX, IDC_STOPBIT, m_cbStopBits);
    DDX_Control(pDX, IDC_SPEED, m_cbSpeed);
    DDX_Control(pDX, IDC_PORT2, m_cbPort2);
    DDX_Control(pDX, IDC_PORT1, m_cbPort1);
    DDX_Control(pDX, IDC_PARITY, m_cbParity);
    DDX_Control(pDX, IDC_DATABIT, m_cbDataBits);
}

ZEV::TComPortList CPortSettingDlg::EnumeratePorts() {
    return ZEV::EnumComPorts();
}

void CPortSettingDlg::RefillPortList(CComPortCombo& list, const ZEV::TComPortList& ports) {
    list.SendMessage(WM_SETREDRAW, FALSE);
    int nSelected = list.GetSelectedPort();
    list.Fill(ports);
    list.SelectPort(nSelected);
    list.SendMessage(WM_SETREDRAW, TRUE);
    ::RedrawWindow(list.m_hWnd, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CPortSettingDlg::FillChoices() {
    AddItems(m_cbSpeed, SPEED_ITEMS);
    AddItems(m_cbParity, PARITY_ITEMS);
    AddItems(m_cbStopBits, STOP_BIT_ITEMS);
    AddItems(m_cbDataBits, DATA_BIT_ITEMS);
    AddItems(m_cbFlow, FLOW_ITEMS);
}

void CPortSettingDlg::SelectStoredSettings() {
    ZEV::CIniProfile ini;
    ZEV::CProfileSection section = ini.GetSection(ZEV::INI_SECTION_SETTING);
    // A stored port that is gone leaves the first port of the list selected;
    // a position outside its list leaves the list without a selection.
    m_cbPort1.SelectPort(static_cast<int>(section.ReadDword(ZEV::INI_KEY_PORT1, ZEV::INI_DEFAULT_PORT1)));
    m_cbPort2.SelectPort(static_cast<int>(section.ReadDword(ZEV::INI_KEY_PORT2, ZEV::INI_DEFAULT_PORT2)));
    m_cbSpeed.SetCurSel(static_cast<int>(section.ReadDword(ZEV::INI_KEY_SPEED, ZEV::INI_DEFAULT_SPEED)));
    m_cbParity.SetCurSel(static_cast<int>(section.ReadDword(ZEV::INI_KEY_PARITY, ZEV::INI_DEFAULT_PARITY)));
    m_cbStopBits.SetCurSel(static_cast<int>(section.ReadDword(ZEV::INI_KEY_STOPBIT, ZEV::INI_DEFAULT_STOPBIT)));
    m_cbDataBits.SetCurSel(static_cast<int>(section.ReadDword(ZEV::INI_KEY_DATA, ZEV::INI_DEFAULT_DATA)));
    m_cbFlow.SetCurSel(static_cast<int>(section.ReadDword(ZEV::INI_KEY_FLOW, ZEV::INI_DEFAULT_FLOW)));
}

BOOL CPortSettingDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    ZEV::TComPortList ports = EnumeratePorts();
    RefillPortList(m_cbPort1, ports);
    RefillPortList(m_cbPort2, ports);
    FillChoices();
    SelectStoredSettings();
    return TRUE;
}

void CPortSettingDlg::OnRefresh() {
    ZEV::TComPortList ports = EnumeratePorts();
    RefillPortList(m_cbPort1, ports);
    RefillPortList(m_cbPort2, ports);
}

BOOL CPortSettingDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_REFRESH && HIWORD(wParam) == BN_CLICKED) {
        OnRefresh();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CPortSettingDlg::OnOK() {
    if (m_pPort1 == NULL || m_pPort2 == NULL) {
        return;
    }

    int nOld1 = -1;
    int nOld2 = -1;
    ZEV::TPortSetting kept;
    TakeDown(*m_pPort1, nOld1, kept);
    TakeDown(*m_pPort2, nOld2, kept);

    int nPort1 = m_cbPort1.GetSelectedPort();
    int nPort2 = m_cbPort2.GetSelectedPort();
    ZEV::TPortSetting chosen;
    chosen.dwBaudRate = ReadNumberText(m_cbSpeed);
    chosen.nByteSize = static_cast<BYTE>(ReadNumberText(m_cbDataBits));
    chosen.dwParity = static_cast<DWORD>(m_cbParity.GetCurSel());
    chosen.dwStopBits = static_cast<DWORD>(m_cbStopBits.GetCurSel());
    m_pPort1->SetPortSetting(WithPortName(chosen, nPort1));
    m_pPort2->SetPortSetting(WithPortName(chosen, nPort2));

    bool bCtsFlow = m_cbFlow.GetCurSel() != 0;
    m_pPort1->m_bCtsFlow = bCtsFlow;
    m_pPort2->m_bCtsFlow = bCtsFlow;

    // Both ports open before either relays: bytes that come meanwhile wait
    // in the driver instead of being read while the partner cannot take them.
    bool bFailed = false;
    if (!m_pPort1->OpenPort()) {
        AfxMessageBox("指定のポート１はオープンできませんでした。", MB_OK);
        bFailed = true;
    }
    if (!m_pPort2->OpenPort()) {
        AfxMessageBox("指定のポート２はオープンできませんでした。", MB_OK);
        bFailed = true;
    }
    if (bFailed && nOld1 >= 0) {
        m_pPort1->SetPortSetting(WithPortName(kept, nOld1));
        m_pPort2->SetPortSetting(WithPortName(kept, nOld2));
        m_pPort1->OpenPort();
        m_pPort2->OpenPort();
    }
    m_pPort1->StartRelaying();
    m_pPort2->StartRelaying();
    if (bFailed) {
        return;
    }

    StoreSettings(nPort1, nPort2);
    EndDialog(IDOK);
}

void CPortSettingDlg::StoreSettings(int nPort1, int nPort2) {
    ZEV::CIniProfile ini;
    ZEV::CProfileSection section = ini.GetSection(ZEV::INI_SECTION_SETTING);
    StoreNumber(section, ZEV::INI_KEY_PORT1, nPort1);
    StoreNumber(section, ZEV::INI_KEY_PORT2, nPort2);
    StoreNumber(section, ZEV::INI_KEY_SPEED, m_cbSpeed.GetCurSel());
    StoreNumber(section, ZEV::INI_KEY_PARITY, m_cbParity.GetCurSel());
    StoreNumber(section, ZEV::INI_KEY_STOPBIT, m_cbStopBits.GetCurSel());
    StoreNumber(section, ZEV::INI_KEY_DATA, m_cbDataBits.GetCurSel());
    StoreNumber(section, ZEV::INI_KEY_FLOW, m_cbFlow.GetCurSel());
}
