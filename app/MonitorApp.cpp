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
// spaces), or empty.
std::string FindRecordOption(const char* pszCommandLine)
{
    static const char OPTION[] = "/record";
    const std::string strLine = pszCommandLine != nullptr ? pszCommandLine : "";
    const size_t nOption = strLine.find(OPTION);
    if (nOption == std::string::npos) {
        return std::string();
    }
    size_t nStart = strLine.find_first_not_of(' ', nOption + sizeof(OPTION) - 1);
    if (nStart == std::string::npos) {
        return std::string();
    }
    char cEnd = ' ';
    if (strLine[nStart] == '"') {
        cEnd = '"';
        ++nStart;
    }
    const size_t nEnd = strLine.find(cEnd, nStart);
    return strLine.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
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
    const std::string strRecording = FindRecordOption(m_lpCmdLine);
    if (!strRecording.empty()) {
        pDlg->RecordFromStart(strRecording);
    }
    m_pMainWnd = pDlg.get();
    pDlg->DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
