#pragma once

#include <windows.h>

#include <string>

#include "monitor/LineRelay.h"
#include "settings/PortSettingDlg.h"
#include "tests/e2e/AppDriver.h"
#include "tests/reliability/ViewPairHost.h"
#include "tests/settings/DialogTestKit.h"

// The monitoring engine as the main window holds it, on the real Wine COM ports that
// tests/reliability/with_rel_ports.sh provides (COM1 <-> COM3, COM2 <-> COM4): two
// relays reporting to a traffic log with real views, the real port settings dialog,
// and the devices on COM3 and COM4. Meant for one test; the window thread is the
// test's thread.
class CPortRig
{
public:
    CPortRig();
    ~CPortRig();

    // False (and the test should be skipped) outside with_rel_ports.sh.
    static bool HasPorts();

    // Opens the port settings dialog and presses OK with what it selected.
    // Answers whether the dialog closed (both ports opened).
    bool ConfirmPortSettings();
    // Asks the runner to unplug or plug in the pair of COMn; waits until it is done.
    bool Unplug(int nPort) { return Request("unplug-" + std::to_string(nPort)); }
    bool Plug(int nPort) { return Request("plug-" + std::to_string(nPort)); }

    // Some row of the view holds this text (pumps until it does or the time is up).
    bool WaitForRow(int nView, const std::string& strPart, DWORD dwMs);

    CDefaultIniGuard m_ini;
    CMessageBoxCatcher m_boxes;
    CViewPairHost m_host;
    CLineRelay m_port1;
    CLineRelay m_port2;

private:
    bool Request(const std::string& strName);
    static std::string ControlDir();
};

// A device read until the bytes came, pumping the window thread meanwhile (the
// relays' events reach the log through it).
std::string ReadPumping(CDevicePort& device, size_t nBytes, DWORD dwMs);

// Another process holding a COM port (or the clipboard) for a while, through
// rel_holder.exe beside the test executable.
class CHolderProcess
{
public:
    CHolderProcess();
    ~CHolderProcess();
    // Starts the holder and waits until it holds; false when it could not.
    bool Hold(const std::string& strWhat, DWORD dwMs);
    // Lets go now and waits for the process to end.
    void Release();

private:
    HANDLE m_hReady;
    PROCESS_INFORMATION m_pi;
    std::string m_strEvent;
};
