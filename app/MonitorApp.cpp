#include "app/MonitorApp.h"

#include <memory>

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
    m_pMainWnd = pDlg.get();
    pDlg->DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
