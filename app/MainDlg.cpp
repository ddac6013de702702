#include "app/MainDlg.h"

#include <cstring>
#include <cwchar>
#include <dlgs.h>
#include <exception>
#include <vector>

#include "app/AboutDlg.h"
#include "app/VersionInfo.h"
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
const char RECORD_FILTER[] = "txtファイル (*.txt)|*.txt|Wireshark キャプチャ (*.pcapng)|*.pcapng||";
const wchar_t* const RECORD_EXTENSIONS[] = {L"txt", L"pcapng"};
const wchar_t CAPTURE_SUFFIX[] = L".pcapng";
const DWORD EXPORT_NAME_BUFFER = 100000;
const int LOG_LINE_LIMIT = 100000;
// Posted by a recording's writer when the recording stopped by itself; wParam
// tells which recording.
const UINT WM_RECORD_STOPPED = WM_APP + 1;
// Maximises the window saved maximised, once the dialog manager has shown it.
const UINT WM_MAXIMIZE_RESTORED = WM_APP + 3;   // WM_APP + 2 is the log host's WM_ARM_FLUSH
const UINT_PTR IDT_MAXIMIZE = 2;

// The save dialog of the export command. A window that the system puts in front of
// ours is hidden as the dialog opens; a control of the system dialog itself (Wine puts
// its tool bar there) stays, since hiding it would take a function away from the user.
class CExportFileDialog : public CFileDialog
{
public:
    explicit CExportFileDialog(CWnd* pParent, const char* pszFilter = EXPORT_FILTER)
        : CFileDialog(FALSE, "txt", "", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, pszFilter, pParent)
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

// The save dialog of the recording command: the file type chosen sets the
// extension of the name shown and of a name typed without one.
class CRecordFileDialog : public CExportFileDialog
{
public:
    explicit CRecordFileDialog(CWnd* pParent) : CExportFileDialog(pParent, RECORD_FILTER) {}

    void OnTypeChange() override
    {
        // The dialog is a Unicode one: its CDM_ messages carry UTF-16 texts.
        HWND hDialog = ::GetParent(m_hWnd);
        const LRESULT nType = ::SendDlgItemMessageW(hDialog, cmb1, CB_GETCURSEL, 0, 0);
        if (nType < 0 || nType >= static_cast<LRESULT>(sizeof(RECORD_EXTENSIONS) / sizeof(RECORD_EXTENSIONS[0])))
            return;
        const wchar_t* pszExt = RECORD_EXTENSIONS[nType];
        ::SendMessageW(hDialog, CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(pszExt));
        wchar_t szName[MAX_PATH] = L"";
        if (::SendMessageW(hDialog, CDM_GETSPEC, MAX_PATH, reinterpret_cast<LPARAM>(szName)) <= 0)
            return;
        const std::wstring strName = ReplaceRecordExtension(szName, pszExt);
        if (!strName.empty())
            ::SendMessageW(hDialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(strName.c_str()));
    }

private:
    // The name with its extension of a recording type replaced, or empty.
    static std::wstring ReplaceRecordExtension(std::wstring strName, const wchar_t* pszExt)
    {
        for (const wchar_t* pszOld : RECORD_EXTENSIONS) {
            const size_t nOld = std::wcslen(pszOld) + 1;
            if (strName.size() <= nOld || ::lstrcmpiW(strName.c_str() + strName.size() - nOld + 1, pszOld) != 0 ||
                strName[strName.size() - nOld] != L'.')
                continue;
            return strName.replace(strName.size() - nOld + 1, nOld - 1, pszExt);
        }
        return std::wstring();
    }
};

bool IsCapturePath(const std::wstring& strPath)
{
    const size_t nSuffix = sizeof(CAPTURE_SUFFIX) / sizeof(CAPTURE_SUFFIX[0]) - 1;
    return strPath.size() >= nSuffix && ::lstrcmpiW(strPath.c_str() + strPath.size() - nSuffix, CAPTURE_SUFFIX) == 0;
}

// "Taplinar 0.19.1028.0": the product and the version of this executable.
std::string MakeApplicationName()
{
    ZEV::CVersionInfo info;
    if (!info.Load(ZEV::GetModulePathA().c_str()) || info.GetFixedInfo() == nullptr)
        return "Taplinar";
    const VS_FIXEDFILEINFO* pFixed = info.GetFixedInfo();
    return ZEV::Format("%s %u.%u.%u.%u", info.GetString("ProductName").c_str(), HIWORD(pFixed->dwFileVersionMS),
                       LOWORD(pFixed->dwFileVersionMS), HIWORD(pFixed->dwFileVersionLS), LOWORD(pFixed->dwFileVersionLS));
}

// "COM1" of "\\.\COM1".
std::string GetShortPortName(const CLineRelay& port)
{
    const std::string strName = port.GetPortSetting().strPortName;
    const size_t nSlash = strName.find_last_of('\\');
    return nSlash == std::string::npos ? strName : strName.substr(nSlash + 1);
}

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
      m_pCapture(nullptr),
      m_nRecording(0),
      m_bMaximizeWhenShown(false),
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
    // The dialog manager shows a modal dialog with SW_SHOWNORMAL when its loop first
    // finds the queue empty or has dispatched its first timer message, which takes a
    // maximised window back; so the maximised state is applied only after both can
    // have happened (a timer after the first show, then a posted message).
    ZEV::RestoreWindowPlacement(ZEV::CProfileSection(&profile, ZEV::INI_SECTION_MAIN_DLG), m_hWnd, true, false,
                                &m_bMaximizeWhenShown);

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
    RestateCapture();
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
    if (nIDEvent == IDT_MAXIMIZE) {
        KillTimer(IDT_MAXIMIZE);
        PostMessage(WM_MAXIMIZE_RESTORED, 0, 0);
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
    if (message == WM_SHOWWINDOW && wParam != FALSE && m_bMaximizeWhenShown) {
        m_bMaximizeWhenShown = false;
        SetTimer(IDT_MAXIMIZE, USER_TIMER_MINIMUM, NULL);
    }
    if (message == WM_MAXIMIZE_RESTORED) {
        ShowWindow(SW_MAXIMIZE);
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

bool CMainDlg::AskSavePath(CFileDialog& dlg, const std::string& strInitialName, std::wstring& strPath)
{
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
    CExportFileDialog dlg(this);
    if (!AskSavePath(dlg, std::string(), strPath)) {
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
    CRecordFileDialog dlg(this);
    if (AskSavePath(dlg, MakeRecordingName(), strPath)) {
        StartRecording(strPath, false);
    }
}

void CMainDlg::StartRecording(const std::wstring& strPath, bool bAppend)
{
    // A recording still completing its file is waited for: it may be this file.
    m_pFinishing.reset();
    CLogRecorder* pText = nullptr;
    CCaptureRecorder* pCapture = nullptr;
    std::unique_ptr<CFileRecorder> pRecorder;
    if (IsCapturePath(strPath)) {
        const std::string strPorts[2] = {GetShortPortName(m_port1), GetShortPortName(m_port2)};
        pRecorder.reset(pCapture = new CCaptureRecorder(m_hWnd, WM_RECORD_STOPPED, ++m_nRecording,
                                                        MakeApplicationName(), strPorts));
    } else {
        pRecorder.reset(pText = new CLogRecorder(m_hWnd, WM_RECORD_STOPPED, ++m_nRecording));
    }
    if (!pRecorder->Start(strPath.c_str(), bAppend)) {
        AfxMessageBox(RECORDING_STOPPED, MB_ICONSTOP);
        return;
    }
    m_pRecorder = std::move(pRecorder);
    m_pCapture = pCapture;
    RestateCapture();
    m_log.SetRowSink(pText);
    m_log.SetCaptureFeed(pCapture);
    CheckRecordItem();
}

void CMainDlg::RestateCapture()
{
    if (m_pCapture == nullptr) {
        return;
    }
    const DWORD dwGaps[2] = {CCaptureStream::GetFrameGap(m_port1.GetPortSetting()),
                             CCaptureStream::GetFrameGap(m_port2.GetPortSetting())};
    m_pCapture->SetFrameGaps(dwGaps);
    const std::string strPorts[2] = {GetShortPortName(m_port1), GetShortPortName(m_port2)};
    m_pCapture->RestatePorts(strPorts);
    const bool bCts[2] = {m_port1.GetLastCts() == 1, m_port2.GetLastCts() == 1};
    const bool bDsr[2] = {m_port1.GetLastDsr() == 1, m_port2.GetLastDsr() == 1};
    m_pCapture->RestateLines(bCts, bDsr);
}

void CMainDlg::StopRecording()
{
    m_log.SetRowSink(nullptr);
    m_log.SetCaptureFeed(nullptr);
    m_pCapture = nullptr;
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
