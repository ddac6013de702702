#include "tests/reliability/PortRig.h"

#include <cstdio>

CPortRig::CPortRig()
{
    m_host.Open();
    m_port1.Attach(0, &m_host.Log(), &m_port2);
    m_port2.Attach(1, &m_host.Log(), &m_port1);
}

CPortRig::~CPortRig()
{
    m_port1.Close();
    m_port2.Close();
}

std::string CPortRig::ControlDir()
{
    char szDir[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("REL_CTL_DIR", szDir, sizeof szDir) == 0)
        return std::string();
    // A Unix path, reached through drive Z:.
    std::string strDir = std::string("Z:") + szDir;
    for (char& c : strDir)
        if (c == '/')
            c = '\\';
    return strDir;
}

bool CPortRig::HasPorts()
{
    return !ControlDir().empty();
}

bool CPortRig::Request(const std::string& strName)
{
    const std::string strPath = ControlDir() + "\\" + strName;
    if (!WriteFileBytes(strPath, "go"))
        return false;
    PumpUntil([&strPath] { return ::GetFileAttributesA(strPath.c_str()) == INVALID_FILE_ATTRIBUTES; }, 30000);
    // The runner maps the new ports through the registry and device links; give the
    // running Wine a moment to see them.
    PumpFor(300);
    return ::GetFileAttributesA(strPath.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool CPortRig::ConfirmPortSettings()
{
    CPortSettingDlg dlg;
    dlg.m_pPort1 = &m_port1;
    dlg.m_pPort2 = &m_port2;
    if (!dlg.Create(IDD_PORT_SETTING))
        return false;
    ClickButton(dlg.m_hWnd, IDOK);
    PumpFor(50);
    const bool bClosed = dlg.m_nModalResult == IDOK;
    dlg.DestroyWindow();
    return bClosed;
}

bool CPortRig::WaitForRow(int nView, const std::string& strPart, DWORD dwMs)
{
    return PumpUntil([&] { return m_host.HasRow(nView, strPart); }, dwMs);
}

std::string ReadPumping(CDevicePort& device, size_t nBytes, DWORD dwMs)
{
    std::string strData;
    PumpUntil([&] {
        strData += device.Read(nBytes - strData.size(), 20);
        return strData.size() >= nBytes;
    }, dwMs);
    return strData;
}

CHolderProcess::CHolderProcess() : m_hReady(NULL), m_pi()
{
    static int s_nHolder = 0;
    char szName[64];
    std::snprintf(szName, sizeof szName, "rel-holder-%lu-%d", ::GetCurrentProcessId(), ++s_nHolder);
    m_strEvent = szName;
    m_hReady = ::CreateEventA(NULL, TRUE, FALSE, szName);
}

CHolderProcess::~CHolderProcess()
{
    Release();
    if (m_hReady != NULL)
        ::CloseHandle(m_hReady);
}

bool CHolderProcess::Hold(const std::string& strWhat, DWORD dwMs)
{
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(NULL, szExe, MAX_PATH);
    std::string strExe = szExe;
    strExe = strExe.substr(0, strExe.find_last_of('\\') + 1) + "rel_holder.exe";
    std::string strCommand = "\"" + strExe + "\" " + strWhat + " " + m_strEvent + " " + std::to_string(dwMs);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!::CreateProcessA(strExe.c_str(), &strCommand[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &m_pi))
        return false;
    HANDLE handles[2] = {m_hReady, m_pi.hProcess};
    return ::WaitForMultipleObjects(2, handles, FALSE, 20000) == WAIT_OBJECT_0;
}

void CHolderProcess::Release()
{
    if (m_pi.hProcess == NULL)
        return;
    ::ResetEvent(m_hReady);
    if (::WaitForSingleObject(m_pi.hProcess, 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(m_pi.hProcess, 3);
    ::CloseHandle(m_pi.hProcess);
    ::CloseHandle(m_pi.hThread);
    m_pi = PROCESS_INFORMATION();
}
