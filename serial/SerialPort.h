#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "serial/CommChannel.h"
#include "serial/OverlappedIo.h"
#include "serial/SyncObject.h"

namespace ZEV {

// Line settings of a port. Parity and stop bits are the DCB codes
// (NOPARITY..SPACEPARITY, ONESTOPBIT..TWOSTOPBITS).
struct TPortSetting {
    std::string strPortName;
    DWORD dwBaudRate = 9600;
    BYTE nByteSize = 7;
    DWORD dwParity = NOPARITY;
    DWORD dwStopBits = ONESTOPBIT;
};

// Device name of COM port nNumber: "\\.\COM<n>". The \\.\ prefix is what
// lets ports above COM9 be opened at all.
std::string MakePortName(int nNumber);

// The decimal number formed by the first run of digits in the name, or -1
// when it holds none: 3 for \\.\COM3, 1 for \\.\COM-1.
int GetPortNumber(const std::string& strPortName);

// One RS-232C port: opens it by device name, puts the line settings into
// the driver and offers a non-blocking receive and a bounded-time send.
// It starts no thread and throws nothing; every device call goes through
// CommDriver(). DTR and RTS are left switched off; a derived class adds flow
// control through OnCommSetting.
//
// The port is opened for overlapped I/O: on a synchronous handle Windows
// holds every write while another thread waits in a read of the same port,
// and a relay reads one port while its partner writes to it. Reads and
// writes still look synchronous to the caller: each waits for its own end,
// bounded by the time-outs applied. Concurrent senders (or receivers) take
// turns, since each direction has one OVERLAPPED.
class CSerialPort : public ICommChannel {
public:
    CSerialPort();
    // Closes the port, dropping DTR and RTS.
    ~CSerialPort() override;

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    std::string GetChannelName() const override;
    BOOL SetOption(DWORD dwValue) override;
    BOOL Open() override;
    void Close() override;
    BOOL IsOpen() const override;
    BOOL IsLinked() const override;
    DWORD Send(DWORD dwSize, const void* pData) override;
    // Send whose wait also ends, at once, when hStop is set. The whole call
    // gets one write time-out; a write cut short by it, by a cancel or by
    // the stop ends it, and what such a write reports is taken as sent, so
    // that no byte is ever sent twice.
    DWORD SendUntil(DWORD dwSize, const void* pData, HANDLE hStop);
    DWORD Receive(DWORD dwSize, void* pBuffer) override;
    DWORD GetQueuedSize() override;
    ELinkState CheckLink() override;
    void Purge() override;

    // Called with the DCB and time-outs just before they are written to the
    // driver; may change both. Answering no fails the operation with 21.
    virtual BOOL OnCommSetting(HANDLE hPort, DCB* pDcb, COMMTIMEOUTS* pTimeouts);
    virtual HANDLE CreatePortFile(const char* pszName);
    virtual BOOL WritePortFile(DWORD* pdwWritten, DWORD dwSize, const void* pData, HANDLE hPort);
    virtual BOOL ReadPortFile(DWORD* pdwRead, void* pBuffer, DWORD dwSize, HANDLE hPort);

    // Stores the settings. A different port number closes an open port; the
    // same number keeps it open and reconfigures it. Answers 0, 21 when
    // OnCommSetting refused, or the system error of the failing call.
    DWORD SetPortSetting(const TPortSetting& setting);
    TPortSetting GetPortSetting() const;

    // DSR input on; no when the modem status cannot be read.
    BOOL IsDsrOn();

    // Holds the transmit line in a break (bOn) or lets it go again; a
    // closed port is not touched.
    BOOL SetBreak(bool bOn);
    // The error bits (CE_BREAK, CE_FRAME, ...) the driver reported to this
    // port's calls since the last take; no report of them is dropped.
    DWORD TakeLineErrors() { return m_dwLineErrors.exchange(0); }
    // Two character times at the port's settings, in ms, rounded up.
    DWORD GetTwoCharacterMs() const { return GetWriteMultiplier(); }

    HANDLE GetHandle() const { return m_hPort; }
    // How long a write of dwSize bytes may take before the caller cancels
    // it: the write time-out applied, plus a margin (INFINITE: none applied).
    DWORD GetWriteWait(DWORD dwSize) const;
    DWORD GetChannelId() const { return m_dwChannelId; }

protected:
    // Marks the port closed without closing its handle: a thread stuck in a
    // call on it may still need it. The handle is left to the process's end.
    void ForsakeHandle() { m_hPort = INVALID_HANDLE_VALUE; }

private:
    DWORD ApplySetting(HANDLE hPort);
    void NameChannel();
    DWORD GetWriteMultiplier() const;
    // ClearCommError that keeps the error bits for TakeLineErrors.
    BOOL ReadCommError(HANDLE hPort, COMSTAT* pStat);
    COverlappedIo::EEnd Write(DWORD* pdwWritten, DWORD dwSize, const void* pData, HANDLE hPort, DWORD dwWait,
                              HANDLE hStop);

    std::string m_strChannelName;
    DWORD m_dwChannelId;
    // Read by the partner's receive thread while this port may be closing.
    std::atomic<HANDLE> m_hPort;
    std::string m_strPortName;
    DWORD m_dwBaudRate;
    BYTE m_nByteSize;
    DWORD m_dwParity;
    DWORD m_dwStopBits;
    std::atomic<bool> m_bLinked;
    std::atomic<DWORD> m_dwLineErrors;
    // The time-outs last written to the driver; they bound the waits.
    COMMTIMEOUTS m_timeouts;
    COverlappedIo m_readIo;
    COverlappedIo m_writeIo;
    CSyncSection m_readLock;
    CSyncSection m_writeLock;
};

} // namespace ZEV
