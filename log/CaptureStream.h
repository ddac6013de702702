#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "monitor/LineListener.h"
#include "serial/SerialPort.h"

// Turns what the two relays report into the blocks of a capture file that
// protocol analysers read: a section with one interface per port (link type
// RTAC serial, microsecond stamps), and one inbound packet per block of bytes
// on the interface of the port that received them. Each packet's payload
// starts with a 12-byte big-endian header: seconds and microseconds of its
// first byte, an event type, the port's line byte at that moment and two
// zero bytes. Line changes and line events are packets without bytes.
//
// A block ends when the other port speaks, when a line changes or an event
// comes, when its port has been silent for its frame gap by the receive
// stamps, or at 64 KiB; the recorder ends a block whose port went quiet.
// Packets go out in the order of their times: the two ports' calls come from
// two threads, each in its own order, so a port's packets wait until the
// other port has passed their time or 300 ms have passed.
// Not thread safe: its recorder serialises the calls.
class CCaptureStream
{
public:
    static const size_t MAX_PACKET_BYTES = 64 * 1024;

    // Event types of the payload header.
    enum EEventType
    {
        EVENT_LINES = 0x00,
        EVENT_DATA_PORT1 = 0x01,
        EVENT_DATA_PORT2 = 0x02,
        EVENT_LOST = 0x05,
        EVENT_END = 0x06,
        EVENT_FRAMING_ERROR = 0x07,
        EVENT_PARITY_ERROR = 0x08,
        EVENT_BREAK = 0x09,
        EVENT_OVERRUN = 0x0A,
    };

    CCaptureStream();

    // Microseconds of silence that end a frame at these settings: 3.5
    // character times, 1750 above 19200 bit/s (Modbus RTU's rule).
    static DWORD GetFrameGap(const ZEV::TPortSetting& setting);

    // Section header naming the application, then the two interfaces named
    // after their COM ports ("COM1", described "port1").
    void OpenSection(std::string& strOut, const std::string& strApplication, const std::string strPorts[2]);
    // Ports opened anew under other names: an end packet on each interface,
    // then two new interfaces with the new names for what comes after.
    void RenamePorts(std::string& strOut, const std::string strPorts[2]);
    void SetFrameGap(int nIndex, DWORD dwMicros) { m_dwGap[nIndex] = dwMicros; }
    // The receive time of what the port reports next; without one, calls are
    // stamped when they come.
    void SetTime(int nIndex, ULONGLONG qwMicros);
    // The input lines as they are when the recording starts.
    void SetLines(const bool bCts[2], const bool bDsr[2]);

    void AddData(std::string& strOut, int nIndex, const BYTE* pData, DWORD dwSize);
    void ChangeCts(std::string& strOut, int nIndex, bool bOn);
    void ChangeDsr(std::string& strOut, int nIndex, bool bOn);
    void AddEvent(std::string& strOut, int nIndex, ELineEvent eEvent);
    void AddLost(std::string& strOut, int nIndex, DWORD dwBytes, DWORD dwLineChanges);
    // Ends the pending block when no byte of it came for dwQuietMs (tick
    // clock) and gives out the packets that waited long enough.
    void WriteDue(std::string& strOut, DWORD dwQuietMs);
    // Every packet, then an end packet on each current interface, timed now.
    void Close(std::string& strOut);

private:
    ULONGLONG Stamp(int nIndex) const;
    BYTE GetLineByte(int nIndex) const;
    void EndBlock(std::string& strOut);
    // A packet on interface nIndex from the calls of port nSource.
    void AddPacket(std::string& strOut, int nSource, int nIndex, BYTE nType, BYTE nLines, ULONGLONG qwMicros,
                   const BYTE* pData = nullptr, size_t nSize = 0);
    static void AppendPacket(std::string& strOut, DWORD dwInterface, BYTE nType, BYTE nLines, ULONGLONG qwMicros,
                             const BYTE* pData, size_t nSize);
    void AppendInterfaces(std::string& strOut, const std::string strPorts[2]);
    // Gives out waiting packets in time order; all of them when bAll.
    void Release(std::string& strOut, bool bAll);
    // The earliest time a packet of this port not made yet can have.
    ULONGLONG GetEarliestNext(int nIndex) const;

    struct TWaiting
    {
        ULONGLONG qwMicros;
        std::string strBlock;
    };
    void AddLinePackets(std::string& strOut, int nIndex);

    DWORD m_dwGap[2];
    ULONGLONG m_qwTime[2];
    bool m_bStamped[2];     // the port has given receive times
    bool m_bCts[2];
    bool m_bDsr[2];
    std::string m_strPorts[2];   // names of the current interfaces
    DWORD m_dwInterfaceBase;     // id of port1's current interface
    // The pending block: port (-1 none), its first and last byte's stamps,
    // the line byte at its first byte, and the tick its last byte came.
    int m_nBlockPort;
    ULONGLONG m_qwBlockFirst;
    ULONGLONG m_qwBlockLast;
    BYTE m_nBlockLines;
    DWORD m_dwBlockTick;
    std::vector<BYTE> m_block;
    std::deque<TWaiting> m_waiting[2];   // each port's packets not given out yet
};
