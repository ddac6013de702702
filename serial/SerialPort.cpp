#include "serial/SerialPort.h"

#include <cstring>

#include "serial/CommDriver.h"
#include "support/Format.h"

namespace ZEV {

namespace {

const DWORD PURGE_ALL = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
const DWORD CHANNEL_ID_SERIAL = 0x01000000;
const DWORD ERROR_SETTING_REFUSED = 21;
// A read of bytes already queued ends at once; this only bounds a driver
// that misbehaves.
const DWORD READ_WAIT_LIMIT = 1000;
// Beyond the write time-out, so that the driver's own time-out, which
// reports what went out, normally ends a held write first.
const DWORD WRITE_WAIT_MARGIN = 100;

// Driver queues asked for at open: at 921600 bit/s the receive queue holds
// 0.7 s, so a receive thread held up for a moment loses nothing.
const DWORD RX_QUEUE_SIZE = 64 * 1024;
const DWORD TX_QUEUE_SIZE = 16 * 1024;
// XON/XOFF characters and limits, set even though the relay never uses
// software flow control: Windows refuses a DCB whose two characters are
// equal, and a limit left by another program has hung adapters. XOFF is
// due when a quarter of the receive queue is left, XON when it is down to a
// quarter.
const char XON_CHAR = 0x11;
const char XOFF_CHAR = 0x13;
const WORD XON_LIMIT = RX_QUEUE_SIZE / 4;
const WORD XOFF_LIMIT = RX_QUEUE_SIZE / 4;

// DCB flag word bits cleared when the settings are applied: CTS and DSR
// output flow, DTR control, DSR sensitivity, TX-continue-on-XOFF, XON/XOFF
// both ways and RTS control. The port leaves the lines and flow control
// to whoever derives from it.
const DWORD DCB_FLAGS_KEPT = 0xFFFFCC03;
// DTR and RTS control switched off: the lines drop.
const DWORD DCB_FLAGS_LINES_OFF = 0xFFFFCFCF;

// The DCB's bit fields follow DCBlength and BaudRate as one 32-bit word.
const size_t DCB_FLAGS_OFFSET = 2 * sizeof(DWORD);

void MaskFlagWord(DCB& dcb, DWORD dwMask)
{
    DWORD dwFlags = 0;
    memcpy(&dwFlags, reinterpret_cast<BYTE*>(&dcb) + DCB_FLAGS_OFFSET, sizeof(dwFlags));
    dwFlags &= dwMask;
    memcpy(reinterpret_cast<BYTE*>(&dcb) + DCB_FLAGS_OFFSET, &dwFlags, sizeof(dwFlags));
}

std::string::size_type FirstDigit(const std::string& str)
{
    return str.find_first_of("0123456789");
}

} // namespace

std::string MakePortName(int nNumber) { return Format("\\\\.\\COM%d", nNumber); }

int GetPortNumber(const std::string& strPortName)
{
    std::string::size_type pos = FirstDigit(strPortName);
    if (pos == std::string::npos)
        return -1;
    // Unsigned, so that an absurdly long run of digits wraps instead of
    // overflowing.
    DWORD dwNumber = 0;
    for (; pos < strPortName.size() && strPortName[pos] >= '0' && strPortName[pos] <= '9'; ++pos)
        dwNumber = dwNumber * 10 + static_cast<DWORD>(strPortName[pos] - '0');
    return static_cast<int>(dwNumber);
}

CSerialPort::CSerialPort()
    : m_strChannelName("RS232C"),
      m_dwChannelId(CHANNEL_ID_SERIAL),
      m_hPort(INVALID_HANDLE_VALUE),
      m_dwBaudRate(9600),
      m_nByteSize(7),
      m_dwParity(NOPARITY),
      m_dwStopBits(ONESTOPBIT),
      m_bLinked(false),
      m_dwLineErrors(0),
      m_timeouts()
{
}

CSerialPort::~CSerialPort() { CSerialPort::Close(); }

std::string CSerialPort::GetChannelName() const { return m_strChannelName; }

BOOL CSerialPort::SetOption(DWORD) { return FALSE; }

BOOL CSerialPort::IsOpen() const { return m_hPort != INVALID_HANDLE_VALUE; }

BOOL CSerialPort::IsLinked() const { return m_bLinked ? TRUE : FALSE; }

BOOL CSerialPort::Open()
{
    Close();
    if (m_strPortName.empty())
        return FALSE;
    HANDLE hPort = CreatePortFile(m_strPortName.c_str());
    if (hPort == INVALID_HANDLE_VALUE || hPort == NULL) {
        ::GetLastError();
        return FALSE;
    }
    ICommDriver& driver = CommDriver();
    // A queue too small for the driver's taste is only a request refused.
    if (!driver.SetupComm(hPort, RX_QUEUE_SIZE, TX_QUEUE_SIZE))
        ::GetLastError();
    driver.PurgeComm(hPort, PURGE_ALL);
    if (ApplySetting(hPort) != 0) {
        driver.CloseHandle(hPort);
        return FALSE;
    }
    DWORD dwErrors = 0;
    COMSTAT stat = {};
    driver.ClearCommError(hPort, &dwErrors, &stat);
    driver.SetCommMask(hPort, 0);
    driver.PurgeComm(hPort, PURGE_ALL);
    m_hPort = hPort;
    NameChannel();
    return TRUE;
}

void CSerialPort::NameChannel()
{
    int nNumber = GetPortNumber(m_strPortName);
    std::string::size_type posDigit = FirstDigit(m_strPortName);
    std::string strPrefix;
    if (posDigit != std::string::npos)
        strPrefix = m_strPortName.substr(0, posDigit);
    m_strChannelName = Format("RS232C(%s%d)", strPrefix.c_str(), nNumber);
    m_dwChannelId = CHANNEL_ID_SERIAL + (static_cast<DWORD>(nNumber) & 0xFFFF);
}

DWORD CSerialPort::ApplySetting(HANDLE hPort)
{
    ICommDriver& driver = CommDriver();
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    COMMTIMEOUTS timeouts = {};
    if (!driver.GetCommState(hPort, &dcb) || !driver.GetCommTimeouts(hPort, &timeouts))
        return ::GetLastError();
    dcb.BaudRate = m_dwBaudRate;
    dcb.ByteSize = m_nByteSize;
    dcb.Parity = static_cast<BYTE>(m_dwParity);
    dcb.StopBits = static_cast<BYTE>(m_dwStopBits);
    dcb.fParity = m_dwParity != NOPARITY ? 1 : 0;
    MaskFlagWord(dcb, DCB_FLAGS_KEPT);
    // Not left as the last program had them: with fAbortOnError one line
    // error refuses every read and write until it is cleared, fNull drops
    // 0x00 bytes, fErrorChar replaces bytes; Windows takes only binary mode.
    dcb.fAbortOnError = 0;
    dcb.fNull = 0;
    dcb.fErrorChar = 0;
    dcb.fBinary = 1;
    dcb.XonChar = XON_CHAR;
    dcb.XoffChar = XOFF_CHAR;
    dcb.XonLim = XON_LIMIT;
    dcb.XoffLim = XOFF_LIMIT;
    // A read returns at once with what is already received; a write of n
    // bytes gives up after 1000 ms and at least twice the time the n
    // characters take on the line.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = GetWriteMultiplier();
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!OnCommSetting(hPort, &dcb, &timeouts))
        return ERROR_SETTING_REFUSED;
    if (!driver.SetCommState(hPort, &dcb) || !driver.SetCommTimeouts(hPort, &timeouts))
        return ::GetLastError();
    m_timeouts = timeouts;
    return 0;
}

void CSerialPort::Close()
{
    HANDLE hPort = m_hPort;
    if (hPort == INVALID_HANDLE_VALUE)
        return;
    // Marked closed before the device is touched, so that a call made with
    // the member from now on fails instead of using a closed handle.
    m_hPort = INVALID_HANDLE_VALUE;
    ICommDriver& driver = CommDriver();
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    if (driver.GetCommState(hPort, &dcb)) {
        MaskFlagWord(dcb, DCB_FLAGS_LINES_OFF);
        driver.SetCommState(hPort, &dcb);
    }
    driver.CloseHandle(hPort);
    m_bLinked = false;
}

DWORD CSerialPort::GetWriteMultiplier() const
{
    // Start bit, data bits, parity bit and stop bits (one and a half
    // counted as two), in ms per character, doubled and rounded up.
    DWORD dwBits = 1 + m_nByteSize + (m_dwParity != NOPARITY ? 1 : 0) + (m_dwStopBits == ONESTOPBIT ? 1 : 2);
    DWORD dwBaud = m_dwBaudRate != 0 ? m_dwBaudRate : 1;
    DWORD dwMultiplier = (2 * 1000 * dwBits + dwBaud - 1) / dwBaud;
    return dwMultiplier != 0 ? dwMultiplier : 1;
}

DWORD CSerialPort::SetPortSetting(const TPortSetting& setting)
{
    if (GetPortNumber(m_strPortName) != GetPortNumber(setting.strPortName)) {
        Close();
        m_strPortName = setting.strPortName;
    }
    m_dwBaudRate = setting.dwBaudRate;
    m_nByteSize = setting.nByteSize;
    m_dwParity = setting.dwParity;
    m_dwStopBits = setting.dwStopBits;
    HANDLE hPort = m_hPort;
    if (hPort == INVALID_HANDLE_VALUE)
        return 0;
    return ApplySetting(hPort);
}

TPortSetting CSerialPort::GetPortSetting() const
{
    TPortSetting setting;
    setting.strPortName = m_strPortName;
    setting.dwBaudRate = m_dwBaudRate;
    setting.nByteSize = m_nByteSize;
    setting.dwParity = m_dwParity;
    setting.dwStopBits = m_dwStopBits;
    return setting;
}

DWORD CSerialPort::Send(DWORD dwSize, const void* pData) { return SendUntil(dwSize, pData, NULL); }

DWORD CSerialPort::SendUntil(DWORD dwSize, const void* pData, HANDLE hStop)
{
    HANDLE hPort = m_hPort;
    if (hPort == INVALID_HANDLE_VALUE)
        return INVALID_SIZE;
    // A driver that ends a held write early with part of it sent gives the
    // rest no fresh time-out: the whole call keeps to the first one.
    DWORD dwStart = ::GetTickCount();
    DWORD dwWait = GetWriteWait(dwSize);
    const BYTE* pNext = static_cast<const BYTE*>(pData);
    DWORD dwRemaining = dwSize;
    DWORD dwTotal = 0;
    for (;;) {
        DWORD dwSpent = ::GetTickCount() - dwStart;
        DWORD dwLeft = dwWait == INFINITE ? INFINITE : (dwSpent < dwWait ? dwWait - dwSpent : 0);
        DWORD dwWritten = 0;
        COverlappedIo::EEnd end = Write(&dwWritten, dwRemaining, pNext, hPort, dwLeft, hStop);
        if (end == COverlappedIo::END_FAILED)
            return INVALID_SIZE;
        dwTotal += dwWritten;
        if (end == COverlappedIo::END_CUT || dwWritten == 0 || dwWritten >= dwRemaining)
            return dwTotal;
        pNext += dwWritten;
        dwRemaining -= dwWritten;
    }
}

DWORD CSerialPort::Receive(DWORD dwSize, void* pBuffer)
{
    // A closed port's handle is INVALID_HANDLE_VALUE, which Win32 also takes
    // for the current process: it is never handed to the driver.
    HANDLE hPort = m_hPort;
    if (hPort == INVALID_HANDLE_VALUE)
        return INVALID_SIZE;
    COMSTAT stat = {};
    if (!ReadCommError(hPort, &stat))
        return INVALID_SIZE;
    DWORD dwCount = dwSize < stat.cbInQue ? dwSize : stat.cbInQue;
    if (dwCount == 0)
        return 0;
    DWORD dwRead = 0;
    if (!ReadPortFile(&dwRead, pBuffer, dwCount, hPort))
        return INVALID_SIZE;
    return dwRead;
}

DWORD CSerialPort::GetQueuedSize()
{
    HANDLE hPort = m_hPort;
    if (hPort == INVALID_HANDLE_VALUE)
        return INVALID_SIZE;
    COMSTAT stat = {};
    if (!ReadCommError(hPort, &stat))
        return INVALID_SIZE;
    return stat.cbInQue;
}

BOOL CSerialPort::ReadCommError(HANDLE hPort, COMSTAT* pStat)
{
    DWORD dwErrors = 0;
    if (!CommDriver().ClearCommError(hPort, &dwErrors, pStat))
        return FALSE;
    m_dwLineErrors |= dwErrors;
    return TRUE;
}

BOOL CSerialPort::SetBreak(bool bOn)
{
    HANDLE hPort = m_hPort;
    if (hPort == INVALID_HANDLE_VALUE)
        return FALSE;
    return bOn ? CommDriver().SetCommBreak(hPort) : CommDriver().ClearCommBreak(hPort);
}

ELinkState CSerialPort::CheckLink()
{
    HANDLE hPort = m_hPort;
    if (hPort == INVALID_HANDLE_VALUE)
        return LINK_CLOSED;
    DWORD dwStatus = 0;
    if (!CommDriver().GetCommModemStatus(hPort, &dwStatus))
        return LINK_CLOSED;
    m_bLinked = true;
    return LINK_UP;
}

void CSerialPort::Purge()
{
    HANDLE hPort = m_hPort;
    if (hPort != INVALID_HANDLE_VALUE)
        CommDriver().PurgeComm(hPort, PURGE_ALL);
}

BOOL CSerialPort::IsDsrOn()
{
    HANDLE hPort = m_hPort;
    DWORD dwStatus = 0;
    if (hPort == INVALID_HANDLE_VALUE || !CommDriver().GetCommModemStatus(hPort, &dwStatus))
        return FALSE;
    return (dwStatus & MS_DSR_ON) != 0 ? TRUE : FALSE;
}

BOOL CSerialPort::OnCommSetting(HANDLE, DCB*, COMMTIMEOUTS*) { return TRUE; }

HANDLE CSerialPort::CreatePortFile(const char* pszName)
{
    return CommDriver().OpenPort(pszName, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED);
}

DWORD CSerialPort::GetWriteWait(DWORD dwSize) const
{
    if (m_timeouts.WriteTotalTimeoutConstant == 0 && m_timeouts.WriteTotalTimeoutMultiplier == 0)
        return INFINITE;
    ULONGLONG qwWait = static_cast<ULONGLONG>(m_timeouts.WriteTotalTimeoutMultiplier) * dwSize
                       + m_timeouts.WriteTotalTimeoutConstant + WRITE_WAIT_MARGIN;
    return qwWait < INFINITE ? static_cast<DWORD>(qwWait) : INFINITE - 1;
}

BOOL CSerialPort::WritePortFile(DWORD* pdwWritten, DWORD dwSize, const void* pData, HANDLE hPort)
{
    return Write(pdwWritten, dwSize, pData, hPort, GetWriteWait(dwSize), NULL) != COverlappedIo::END_FAILED;
}

COverlappedIo::EEnd CSerialPort::Write(DWORD* pdwWritten, DWORD dwSize, const void* pData, HANDLE hPort,
                                       DWORD dwWait, HANDLE hStop)
{
    *pdwWritten = 0;
    CSyncLock lock(m_writeLock);
    if (!m_writeIo.IsReady())
        return COverlappedIo::END_FAILED;
    DWORD dwWritten = 0;
    BOOL bStarted = CommDriver().WriteFile(hPort, pData, dwSize, &dwWritten, m_writeIo.Begin());
    COverlappedIo::EEnd end = m_writeIo.Finish(hPort, bStarted, dwWait, hStop, &dwWritten);
    *pdwWritten = dwWritten;
    return end;
}

BOOL CSerialPort::ReadPortFile(DWORD* pdwRead, void* pBuffer, DWORD dwSize, HANDLE hPort)
{
    CSyncLock lock(m_readLock);
    if (!m_readIo.IsReady())
        return FALSE;
    DWORD dwRead = 0;
    BOOL bStarted = CommDriver().ReadFile(hPort, pBuffer, dwSize, &dwRead, m_readIo.Begin());
    if (m_readIo.Finish(hPort, bStarted, READ_WAIT_LIMIT, NULL, &dwRead) == COverlappedIo::END_FAILED)
        return FALSE;
    *pdwRead = dwRead;
    return TRUE;
}

} // namespace ZEV
