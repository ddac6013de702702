#include "monitor/LineRelay.h"

#include "serial/CommDriver.h"

namespace {

// Bounded stop of the threads, as everywhere in the program: 300 polls of 50 ms.
const DWORD STOP_TIMEOUT = 15000;

} // namespace

CLineRelay::CLineRelay()
    : m_pListener(nullptr)
    , m_pPartner(nullptr)
    , m_nIndex(0)
    , m_nLastCts(-1)
    , m_nLastDsr(-1)
    , m_bCtsFlow(false)
{
}

CLineRelay::~CLineRelay()
{
    // The partner's receive thread writes to this port and drives its
    // lines; it has to let go of this object before the object is gone.
    if (m_pPartner)
        m_pPartner->ForgetPartner(this);
    if (m_eventThread.IsAlive()) {
        m_eventThread.PostMessage(WM_QUIT, 0, 0);
        m_eventThread.Stop(STOP_TIMEOUT);
    }
    // The members then stop the receive thread, and the port part closes
    // the port with DTR and RTS dropped.
}

void CLineRelay::ForgetPartner(CLineRelay* pPartner)
{
    if (m_pPartner != pPartner)
        return;
    if (GetCurrentThreadId() == m_receiveThread.GetThreadId()) {
        m_pPartner = nullptr;
        return;
    }
    // The pointer is read on every pass, so the loop is paused while it is
    // cleared; afterwards this side relays into nothing, as into a closed
    // partner, and still reports.
    bool bWasReceiving = m_receiveThread.IsAlive();
    m_receiveThread.Stop(STOP_TIMEOUT);
    m_pPartner = nullptr;
    if (bWasReceiving && IsOpen())
        m_receiveThread.Start(THREAD_PRIORITY_TIME_CRITICAL);
}

void CLineRelay::Attach(int nIndex, ILineListener* pListener, CLineRelay* pPartner)
{
    m_nIndex = nIndex;
    m_pListener = pListener;
    m_pPartner = pPartner;
    m_eventThread.SetListener(this);
    if (!m_eventThread.IsAlive())
        m_eventThread.Start(THREAD_PRIORITY_TIME_CRITICAL);
    if (!m_receiveThread.IsAlive())
        m_receiveThread.SetRunner(this);
}

BOOL CLineRelay::Open()
{
    if (!CSerialPort::Open())
        return FALSE;
    m_receiveThread.Start(THREAD_PRIORITY_TIME_CRITICAL);
    return TRUE;
}

void CLineRelay::Close()
{
    // The receive thread goes first: polling a port that is already closed
    // reads its lines as off, which would drop the partner's outputs and
    // report changes that never happened.
    if (GetCurrentThreadId() != m_receiveThread.GetThreadId())
        m_receiveThread.Stop(STOP_TIMEOUT);
    CSerialPort::Close();
}

BOOL CLineRelay::OnCommSetting(HANDLE, DCB* pDcb, COMMTIMEOUTS*)
{
    if (!m_bCtsFlow)
        return TRUE;
    // The driver waits for CTS before it sends; software flow control would
    // swallow XON/XOFF bytes of the devices' own traffic.
    pDcb->fOutxCtsFlow = 1;
    pDcb->fTXContinueOnXoff = 0;
    pDcb->fOutX = 0;
    pDcb->fInX = 0;
    return TRUE;
}

DWORD CLineRelay::Run()
{
    return RelayLoop();
}

DWORD CLineRelay::RelayLoop()
{
    // No sleep and no blocking read: a byte leaves for the partner as soon
    // as the driver has it.
    while (CanRun()) {
        WatchLine(MS_CTS_ON, m_nLastCts, SETRTS, CLRRTS, WM_RELAY_CTS);
        WatchLine(MS_DSR_ON, m_nLastDsr, SETDTR, CLRDTR, WM_RELAY_DSR);
        RelayOneByte();
    }
    return 0;
}

DWORD CLineRelay::ReadModemStatus()
{
    DWORD dwStatus = 0;
    if (!ZEV::CommDriver().GetCommModemStatus(GetHandle(), &dwStatus))
        return 0;
    return dwStatus;
}

void CLineRelay::WatchLine(DWORD dwBit, volatile int& nLast, DWORD dwOn, DWORD dwOff, UINT nMessage)
{
    int nState = (ReadModemStatus() & dwBit) ? 1 : 0;
    if (nState == nLast)
        return;
    // The partner's device sees the line before the log does.
    DrivePartner(nState ? dwOn : dwOff);
    nLast = nState;
    PostEvent(nMessage, static_cast<BYTE>(nState));
}

void CLineRelay::RelayOneByte()
{
    HANDLE hPort = GetHandle();
    DWORD dwErrors = 0;
    COMSTAT stat = {};
    if (!ZEV::CommDriver().ClearCommError(hPort, &dwErrors, &stat)) {
        GetLastError();
        return;
    }
    if (stat.cbInQue == 0)
        return;
    BYTE byte = 0;
    DWORD dwRead = 0;
    if (!ReadPortFile(&dwRead, &byte, 1, hPort) || dwRead != 1)
        return;
    // Not retried: a byte the partner cannot take within its write
    // time-out is lost on the line but still logged.
    if (m_pPartner)
        m_pPartner->Send(1, &byte);
    PostEvent(WM_RELAY_DATA, byte);
}

void CLineRelay::DrivePartner(DWORD dwFunction)
{
    if (m_pPartner)
        ZEV::CommDriver().EscapeCommFunction(m_pPartner->GetHandle(), dwFunction);
}

void CLineRelay::PostEvent(UINT nMessage, BYTE nValue)
{
    if (m_eventThread.IsAlive())
        m_eventThread.PostMessage(nMessage, 0, nValue);
}

BOOL CLineRelay::OnThreadMessage(UINT nMessage, WPARAM, LPARAM lParam)
{
    if (!m_pListener)
        return TRUE;
    switch (nMessage) {
    case WM_RELAY_CTS:
        m_pListener->OnCtsChanged(m_nIndex, lParam != 0);
        break;
    case WM_RELAY_DSR:
        m_pListener->OnDsrChanged(m_nIndex, lParam != 0);
        break;
    case WM_RELAY_DATA: {
        BYTE byte = static_cast<BYTE>(lParam & 0xFF);
        m_pListener->OnLineData(m_nIndex, 1, &byte);
        break;
    }
    default:
        break;
    }
    return TRUE;
}

bool CLineRelay::IsCtsOn()
{
    return (ReadModemStatus() & MS_CTS_ON) != 0;
}

void CLineRelay::SetRts(bool bOn)
{
    ZEV::CommDriver().EscapeCommFunction(GetHandle(), bOn ? SETRTS : CLRRTS);
}

void CLineRelay::SetDtr(bool bOn)
{
    ZEV::CommDriver().EscapeCommFunction(GetHandle(), bOn ? SETDTR : CLRDTR);
}

void PrimeLines(CLineRelay& port1, CLineRelay& port2, bool& bCts1, bool& bCts2)
{
    port1.SetDtr(port2.IsDsrOn());
    port2.SetDtr(port1.IsDsrOn());
    bCts1 = port1.IsCtsOn();
    bCts2 = port2.IsCtsOn();
    port1.SetRts(bCts2);
    port2.SetRts(bCts1);
}
