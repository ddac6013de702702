#include "app/MonitorApp.h"

#include <memory>
#include <string>

#include "app/MainDlg.h"
#include "res/resource.h"
#include "skin/SkinSetup.h"

namespace {

// The program's own colours and button images, installed for every window it makes.
void InstallSkin()
{
    ZEV::TSkinColors colors;
    colors.textColor = 0x000000;
    colors.faceColor = 0xFFA37A;
    colors.activeCaptionColor = 0xFF0000;
    colors.inactiveCaptionColor = 0x000000;
    HINSTANCE hInstance = AfxGetResourceHandle();
    ZEV::CSharedBitmap buttons = ZEV::LoadSkinBitmap(hInstance, IDB_SKIN_BUTTONS);
    ZEV::CSharedBitmap frame = ZEV::LoadSkinBitmap(hInstance, IDB_SKIN_FRAME);
    ZEV::SetupSkin(colors, frame.Get(), buttons.Get(), 3);
}

// The file named by "/record FILE" on the command line (quoted when it holds
// spaces), or empty. Read from the Unicode command line, so any path works.
std::wstring FindRecordOption(const wchar_t* pszCommandLine)
{
    static const wchar_t OPTION[] = L"/record";
    const std::wstring strLine = pszCommandLine != nullptr ? pszCommandLine : L"";
    const size_t nOption = strLine.find(OPTION);
    if (nOption == std::wstring::npos) {
        return std::wstring();
    }
    size_t nStart = strLine.find_first_not_of(L' ', nOption + sizeof(OPTION) / sizeof(OPTION[0]) - 1);
    if (nStart == std::wstring::npos) {
        return std::wstring();
    }
    wchar_t cEnd = L' ';
    if (strLine[nStart] == L'"') {
        cEnd = L'"';
        ++nStart;
    }
    const size_t nEnd = strLine.find(cEnd, nStart);
    return strLine.substr(nStart, nEnd == std::wstring::npos ? std::wstring::npos : nEnd - nStart);
}

}  // namespace

CMonitorApp::CMonitorApp()
    : CWinApp(NULL)
{
}

BOOL CMonitorApp::InitInstance()
{
    AfxEnableControlContainer();
    InstallSkin();
    Enable3dControls();
    // On the heap: the main window holds the relays' thread objects and the log.
    std::unique_ptr<CMainDlg> pDlg(new CMainDlg(NULL));
    const std::wstring strRecording = FindRecordOption(::GetCommandLineW());
    if (!strRecording.empty()) {
        pDlg->RecordFromStart(strRecording);
    }
    m_pMainWnd = pDlg.get();
    pDlg->DoModal();
    m_pMainWnd = NULL;
    // Its files are complete and its ports closed (or given up): the rest
    // goes with the process.
    if (pDlg->HoldsAbandonedThread()) {
        pDlg.release();
    }
    return FALSE;
}
