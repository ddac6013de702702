#include "app/MainDlg.h"

#include <cstring>
#include <exception>
#include <vector>

#include "app/AboutDlg.h"
#include "layout/ColumnPairLayout.h"
#include "log/LogExport.h"
#include "res/resource.h"
#include "settings/IniProfile.h"
#include "settings/LogSettingDlg.h"
#include "settings/PortSettingDlg.h"
#include "settings/ProfileKeys.h"
#include "settings/WindowPlacement.h"
#include "support/Format.h"
#include "support/Tick.h"
#include "support/ZevException.h"

namespace {

const char EXIT_QUESTION[] = "終了します。よろしいですか？？";
const char SAVED[] = "保存しました。";
const char SAVE_FAILED[] = "保存に失敗しました。";
const char RECORDING_STOPPED[] = "ログ記録を中止しました。";
const char EXPORT_FILTER[] = "txtファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*||";
const DWORD EXPORT_NAME_BUFFER = 100000;
const int LOG_LINE_LIMIT = 100000;
// Posted by a recording's writer when the recording stopped by itself; wParam
// tells which recording.
const UINT WM_RECORD_STOPPED = WM_APP + 1;

// The save dialog of the export command. A window that the system puts in front of
// ours is hidden as the dialog opens; a control of the system dialog itself (Wine puts
// its tool bar there) stays, since hiding it would take a function away from the user.
class CExportFileDialog : public CFileDialog
{
public:
    explicit CExportFileDialog(CWnd* pParent)
        : CFileDialog(FALSE, "txt", "", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, EXPORT_FILTER, pParent)
    {
    }

    BOOL OnInitDialog() override
    {
        BOOL bResult = CFileDialog::OnInitDialog();
        HWND hPrevious = ::GetWindow(m_hWnd, GW_HWNDPREV);
        if (hPrevious != NULL && (::GetWindowLongW(hPrevious, GWL_STYLE) & WS_CHILD) == 0) {
            ::ShowWindow(hPrevious, SW_HIDE);
        }
        return bResult;
    }
};

bool IsCtsOn(CLineRelay& port)
{
    return port.IsCtsOn();
}

// "taplinar-YYYYMMDD-HHMMSS.txt" of the local time now.
std::string MakeRecordingName()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return ZEV::Format("taplinar-%04u%02u%02u-%02u%02u%02u.txt", now.wYear, now.wMonth, now.wDay, now.wHour,
                       now.wMinute, now.wSecond);
}

}  // namespace

CMainDlg::CMainDlg(CWnd* pParent)
    : ZEV::CLayoutDialog(IDD_TAPLINAR_DIALOG, pParent),
      m_hIcon(AfxGetApp() != NULL ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                                  : ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_bMonitor(true),
      m_nRecording(0),
      m_log(nullptr)
{
    m_bGrowHorizontally = true;
    m_bGrowVertically = true;
}

CMainDlg::~CMainDlg()
{
}

void CMainDlg::DoDataExchange(CDataExchange* pDX)
{
    ZEV::CLayoutDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HEADER2, m_stHeader2);
    DDX_Control(pDX, IDC_HEADER1, m_stHeader1);
    DDX_Control(pDX, IDC_LOG1, m_lbLog1);
    DDX_Control(pDX, IDC_LOG2, m_lbLog2);
}

BOOL CMainDlg::OnInitDialog()
{
    ZEV::CLayoutDialog::OnInitDialog();
    m_lbLog1.SetMaxLines(LOG_LINE_LIMIT);
    m_lbLog2.SetMaxLines(LOG_LINE_LIMIT);
    AddAboutItem();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    BuildLayout();
    AttachLogHost();

    m_log.LoadDumpSettings();
    ZEV::CIniProfile profile;
    ZEV::RestoreWindowPlacement(ZEV::CProfileSection(&profile, ZEV::INI_SECTION_MAIN_DLG), m_hWnd, true, false);

    // Monitoring starts on through the command itself, so menu check and time column agree.
    m_bMonitor = false;
    OnMonitor();
    m_log.ResetPending();

    m_port1.Attach(0, &m_log, &m_port2);
    m_port2.Attach(1, &m_log, &m_port1);

    if (!OpenPorts()) {
        EndDialog(IDCANCEL);
    }
    return TRUE;
}

void CMainDlg::AttachLogHost()
{
    TLogWindows windows;
    windows.pMainWnd = this;
    windows.pView[0] = &m_lbLog1;
    windows.pView[1] = &m_lbLog2;
    windows.pHeader[0] = &m_stHeader1;
    windows.pHeader[1] = &m_stHeader2;
    windows.pbMonitor = &m_bMonitor;
    windows.pPort[0] = &m_port1;
    windows.pPort[1] = &m_port2;
    m_logHost.Attach(windows);
    m_log.SetHost(&m_logHost);
}

void CMainDlg::AddAboutItem()
{
    HMENU hSystemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hSystemMenu == NULL) {
        return;
    }
    wchar_t szText[256] = L"";
    if (::LoadStringW(AfxGetResourceHandle(), IDS_ABOUTBOX, szText, 256) <= 0 || szText[0] == L'\0') {
        return;
    }
    ::AppendMenuW(hSystemMenu, MF_SEPARATOR, 0, NULL);
    ::AppendMenuW(hSystemMenu, MF_STRING, IDM_ABOUTBOX, szText);
}

void CMainDlg::BuildLayout()
{
    InstallLayout(ZEV::MakeColumnPairLayout(m_stHeader1.m_hWnd, m_stHeader2.m_hWnd, m_lbLog1.m_hWnd, m_lbLog2.m_hWnd));
}

bool CMainDlg::OpenPorts()
{
    CPortSettingDlg dlg;
    dlg.m_pPort1 = &m_port1;
    dlg.m_pPort2 = &m_port2;
    if (dlg.DoModal() != IDOK) {
        return false;
    }
    if (!m_strStartRecording.empty()) {
        StartRecording(m_strStartRecording, true);
        m_strStartRecording.clear();
    }
    bool bCts[2] = {false, false};
    PrimeLines(m_port1, m_port2, bCts[0], bCts[1]);
    bool bDsr[2] = {m_port1.IsDsrOn() != FALSE, m_port2.IsDsrOn() != FALSE};
    m_log.MarkOpen(bCts, bDsr);
    return true;
}

BOOL CMainDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT nId = LOWORD(wParam);
    UINT nCode = HIWORD(wParam);
    if (nCode == LBN_SELCHANGE && nId == IDC_LOG1) {
        OnSelChangeLog1();
        return TRUE;
    }
    if (nCode == LBN_SELCHANGE && nId == IDC_LOG2) {
        OnSelChangeLog2();
        return TRUE;
    }
    if (lParam == 0 || nCode == BN_CLICKED) {
        switch (nId) {
        case ID_FILE_PORT_SETTING: OnPortSetting(); return TRUE;
        case ID_FILE_EXPORT_LOG: ExportLog(); return TRUE;
        case ID_FILE_RECORD_LOG: OnRecordLog(); return TRUE;
        case ID_FILE_EXIT: OnExit(); return TRUE;
        case ID_VIEW_MONITOR: OnMonitor(); return TRUE;
        case ID_VIEW_LOG_SETTING: OnLogSetting(); return TRUE;
        case ID_VIEW_LOG_CLEAR: OnLogClear(); return TRUE;
        case ID_HELP_VERSION: OnVersion(); return TRUE;
        default: break;
        }
    }
    return ZEV::CLayoutDialog::OnCommand(wParam, lParam);
}

void CMainDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        OnVersion();
        return;
    }
    ZEV::CLayoutDialog::OnSysCommand(nID, lParam);
}

void CMainDlg::OnPaint()
{
    if (!IsIconic()) {
        ZEV::CLayoutDialog::OnPaint();
        return;
    }
    PAINTSTRUCT ps;
    HDC hDC = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
    RECT rc;
    GetClientRect(&rc);
    int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(hDC, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

HCURSOR CMainDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}

void CMainDlg::OnDestroy()
{
    SavePlacement();
    ZEV::CLayoutDialog::OnDestroy();
    m_port1.Close();
    m_port2.Close();
    if (IsRecording()) {
        StopRecording();
    }
    // The program ends with every recording's file complete.
    m_pFinishing.reset();
}

void CMainDlg::SavePlacement()
{
    WINDOWPLACEMENT placement;
    placement.length = sizeof(placement);
    if (!::GetWindowPlacement(m_hWnd, &placement)) {
        return;
    }
    ZEV::CIniProfile profile;
    ZEV::CProfileSection section(&profile, ZEV::INI_SECTION_MAIN_DLG);
    const RECT& rc = placement.rcNormalPosition;
    section.WriteDword(ZEV::INI_KEY_VALID, 1);
    section.WriteInt64(ZEV::INI_KEY_SX, rc.left);
    section.WriteInt64(ZEV::INI_KEY_SY, rc.top);
    section.WriteInt64(ZEV::INI_KEY_EX, rc.right);
    section.WriteInt64(ZEV::INI_KEY_EY, rc.bottom);
    section.WriteDword(ZEV::INI_KEY_SHOW, IsWindowVisible() ? 1 : 0);
    section.WriteDword(ZEV::INI_KEY_MAXIMIZE, IsZoomed() ? 1 : 0);
}

void CMainDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == IDT_FLUSH) {
        KillTimer(IDT_FLUSH);
        m_log.FlushPending();
    }
    ZEV::CLayoutDialog::OnTimer(nIDEvent);
}

LRESULT CMainDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RECORD_STOPPED) {
        OnRecordStopped(wParam);
        return 0;
    }
    if (message == WM_ARM_FLUSH) {
        ::SetTimer(m_hWnd, IDT_FLUSH, static_cast<UINT>(wParam), NULL);
        return 0;
    }
    return ZEV::CLayoutDialog::WindowProc(message, wParam, lParam);
}

void CMainDlg::SyncTopIndex(CLogListBox& from, CLogListBox& to)
{
    int nTop = from.GetTopIndex();
    if (to.GetTopIndex() != nTop) {
        to.SetTopIndex(nTop);
    }
}

void CMainDlg::OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar)
{
    HWND hBar = pScrollBar != NULL ? pScrollBar->m_hWnd : NULL;
    if (hBar != NULL && hBar == m_lbLog1.m_hWnd) {
        SyncTopIndex(m_lbLog1, m_lbLog2);
    } else if (hBar != NULL && hBar == m_lbLog2.m_hWnd) {
        SyncTopIndex(m_lbLog2, m_lbLog1);
    }
    ZEV::CLayoutDialog::OnVScroll(nSBCode, nPos, pScrollBar);
}

void CMainDlg::OnSelChangeLog1()
{
    SyncTopIndex(m_lbLog1, m_lbLog2);
}

void CMainDlg::OnSelChangeLog2()
{
    SyncTopIndex(m_lbLog2, m_lbLog1);
}

void CMainDlg::OnPortSetting()
{
    // The file holds everything up to the change, whatever the change brings.
    if (IsRecording()) {
        m_pRecorder->WriteNow();
    }
    OpenPorts();
}

bool CMainDlg::AskSavePath(const std::string& strInitialName, std::wstring& strPath)
{
    CExportFileDialog dlg(this);
    std::vector<char> name(EXPORT_NAME_BUFFER, '\0');
    std::strncpy(name.data(), strInitialName.c_str(), EXPORT_NAME_BUFFER - 1);
    dlg.m_ofn.lpstrFile = name.data();
    dlg.m_ofn.nMaxFile = EXPORT_NAME_BUFFER;
    if (dlg.DoModal() != IDOK) {
        return false;
    }
    strPath = dlg.GetPathNameW();
    return true;
}

void CMainDlg::ExportLog()
{
    std::wstring strPath;
    if (!AskSavePath(std::string(), strPath)) {
        return;
    }
    CWaitCursor wait;
    bool bSaved = false;
    try {
        WriteLogFile(strPath.c_str(), m_lbLog1, m_lbLog2);
        bSaved = true;
    } catch (const ZEV::CZevException&) {
        bSaved = false;
    } catch (const std::exception&) {
        // Out of memory while building a line: the save failed all the same.
        bSaved = false;
    }
    wait.Restore();
    AfxMessageBox(bSaved ? SAVED : SAVE_FAILED, bSaved ? MB_ICONINFORMATION : MB_ICONSTOP);
}

void CMainDlg::OnRecordLog()
{
    if (IsRecording()) {
        StopRecording();
        return;
    }
    std::wstring strPath;
    if (AskSavePath(MakeRecordingName(), strPath)) {
        StartRecording(strPath, false);
    }
}

void CMainDlg::StartRecording(const std::wstring& strPath, bool bAppend)
{
    // A recording still completing its file is waited for: it may be this file.
    m_pFinishing.reset();
    std::unique_ptr<CLogRecorder> pRecorder(new CLogRecorder(m_hWnd, WM_RECORD_STOPPED, ++m_nRecording));
    if (!pRecorder->Start(strPath.c_str(), bAppend)) {
        AfxMessageBox(RECORDING_STOPPED, MB_ICONSTOP);
        return;
    }
    m_pRecorder = std::move(pRecorder);
    m_log.SetRowSink(m_pRecorder.get());
    CheckRecordItem();
}

void CMainDlg::StopRecording()
{
    m_log.SetRowSink(nullptr);
    m_pRecorder->Finish();
    m_pFinishing = std::move(m_pRecorder);
    CheckRecordItem();
}

void CMainDlg::OnRecordStopped(WPARAM nRecording)
{
    if (!IsRecording() || nRecording != m_nRecording) {
        return;
    }
    StopRecording();
    AfxMessageBox(RECORDING_STOPPED, MB_ICONSTOP);
}

void CMainDlg::CheckRecordItem()
{
    ::CheckMenuItem(::GetMenu(m_hWnd), ID_FILE_RECORD_LOG, MF_BYCOMMAND | (IsRecording() ? MF_CHECKED : MF_UNCHECKED));
}

void CMainDlg::OnExit()
{
    OnCancel();
}

void CMainDlg::OnMonitor()
{
    m_bMonitor = !m_bMonitor;
    HMENU hMenu = ::GetMenu(m_hWnd);
    if (m_bMonitor) {
        ::CheckMenuItem(hMenu, ID_VIEW_MONITOR, MF_BYCOMMAND | MF_CHECKED);
        m_log.ResetTimeColumn();
        return;
    }
    ::CheckMenuItem(hMenu, ID_VIEW_MONITOR, MF_BYCOMMAND | MF_UNCHECKED);
    m_log.MarkPause();
}

void CMainDlg::OnLogSetting()
{
    CLogSettingDlg dlg;
    if (dlg.DoModal() != IDOK) {
        return;
    }
    bool bCts[2] = {IsCtsOn(m_port1), IsCtsOn(m_port2)};
    m_log.ApplyLogSettings(bCts);
}

void CMainDlg::OnLogClear()
{
    m_log.ClearLog();
}

void CMainDlg::OnVersion()
{
    CAboutDlg dlg;
    dlg.DoModal();
}

void CMainDlg::OnOK()
{
    // The window never ends by Enter.
}

void CMainDlg::OnCancel()
{
    if (AfxMessageBox(EXIT_QUESTION, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK) {
        return;
    }
    ZEV::CLayoutDialog::OnCancel();
}
