#include "log/CaptureStream.h"

#include <algorithm>

#include "support/Tick.h"

namespace {

const DWORD BLOCK_SECTION_HEADER = 0x0A0D0D0A;
const DWORD BLOCK_INTERFACE = 0x00000001;
const DWORD BLOCK_ENHANCED_PACKET = 0x00000006;
const DWORD BYTE_ORDER_MAGIC = 0x1A2B3C4D;
const WORD LINKTYPE_RTAC_SERIAL = 250;
const WORD OPT_END = 0;
const WORD OPT_SHB_USERAPPL = 4;
const WORD OPT_IF_NAME = 2;
const WORD OPT_IF_DESCRIPTION = 3;
const WORD OPT_IF_TSRESOL = 9;
const WORD OPT_EPB_FLAGS = 2;
const BYTE TSRESOL_MICROSECONDS = 6;
const DWORD EPB_FLAG_INBOUND = 0x00000001;
const size_t PAYLOAD_HEADER_BYTES = 12;
// How long a port's packet waits for a quiet other port's calls to pass its
// time: longer than an event thread lags behind its port, short beside the
// second a capture may lag the line.
const ULONGLONG HOLD_MICROS = 300000;

// Line byte bits of the payload header.
const BYTE LINE_CTS = 0x01;
const BYTE LINE_DSR = 0x04;
const BYTE LINE_RTS = 0x08;
const BYTE LINE_DTR = 0x10;

// Modbus RTU's frame gap is 3.5 character times, fixed above this speed.
const DWORD GAP_FIXED_ABOVE_BAUD = 19200;
const DWORD GAP_FIXED_MICROS = 1750;

void AppendLe16(std::string& strOut, WORD wValue)
{
    strOut.push_back(static_cast<char>(wValue & 0xFF));
    strOut.push_back(static_cast<char>(wValue >> 8));
}

void AppendLe32(std::string& strOut, DWORD dwValue)
{
    AppendLe16(strOut, static_cast<WORD>(dwValue & 0xFFFF));
    AppendLe16(strOut, static_cast<WORD>(dwValue >> 16));
}

void AppendBe32(std::string& strOut, DWORD dwValue)
{
    for (int nShift = 24; nShift >= 0; nShift -= 8)
        strOut.push_back(static_cast<char>((dwValue >> nShift) & 0xFF));
}

void PadTo4(std::string& strOut)
{
    while (strOut.size() % 4 != 0)
        strOut.push_back('\0');
}

void AppendOption(std::string& strBody, WORD wCode, const void* pValue, size_t nSize)
{
    AppendLe16(strBody, wCode);
    AppendLe16(strBody, static_cast<WORD>(nSize));
    strBody.append(static_cast<const char*>(pValue), nSize);
    PadTo4(strBody);
}

void AppendTextOption(std::string& strBody, WORD wCode, const std::string& strValue)
{
    AppendOption(strBody, wCode, strValue.data(), strValue.size());
}

void AppendEndOption(std::string& strBody)
{
    AppendLe16(strBody, OPT_END);
    AppendLe16(strBody, 0);
}

// A whole block: type, total length, the body (padded), total length again.
void AppendBlock(std::string& strOut, DWORD dwType, std::string& strBody)
{
    PadTo4(strBody);
    const DWORD dwTotal = static_cast<DWORD>(strBody.size() + 12);
    AppendLe32(strOut, dwType);
    AppendLe32(strOut, dwTotal);
    strOut += strBody;
    AppendLe32(strOut, dwTotal);
}

BYTE GetEventType(ELineEvent eEvent)
{
    switch (eEvent) {
    case LINE_BREAK: return CCaptureStream::EVENT_BREAK;
    case LINE_FRAMING_ERROR: return CCaptureStream::EVENT_FRAMING_ERROR;
    case LINE_PARITY_ERROR: return CCaptureStream::EVENT_PARITY_ERROR;
    // A receive buffer that overflowed lost bytes as an overrun does.
    case LINE_OVERRUN_ERROR:
    case LINE_RECEIVE_OVERFLOW: return CCaptureStream::EVENT_OVERRUN;
    // A driver that names no kind of error: a character arrived damaged.
    default: return CCaptureStream::EVENT_FRAMING_ERROR;
    }
}

} // namespace

CCaptureStream::CCaptureStream()
    : m_dwGap{GAP_FIXED_MICROS, GAP_FIXED_MICROS}, m_qwTime{0, 0}, m_bStamped{false, false}, m_bCts{false, false},
      m_bDsr{false, false}, m_dwInterfaceBase(0), m_nBlockPort(-1), m_qwBlockFirst(0), m_qwBlockLast(0), m_nBlockLines(0), m_dwBlockTick(0)
{
    m_block.reserve(MAX_PACKET_BYTES);
}

DWORD CCaptureStream::GetFrameGap(const ZEV::TPortSetting& setting)
{
    if (setting.dwBaudRate == 0 || setting.dwBaudRate > GAP_FIXED_ABOVE_BAUD)
        return GAP_FIXED_MICROS;
    // Start bit, data bits, parity bit, stop bits, counted in half bits.
    DWORD dwHalfBits = 2 * (1 + setting.nByteSize) + (setting.dwParity != NOPARITY ? 2 : 0);
    dwHalfBits += setting.dwStopBits == TWOSTOPBITS ? 4 : setting.dwStopBits == ONE5STOPBITS ? 3 : 2;
    return static_cast<DWORD>(3.5 * dwHalfBits * 500000.0 / setting.dwBaudRate);
}

void CCaptureStream::OpenSection(std::string& strOut, const std::string& strApplication, const std::string strPorts[2])
{
    std::string strBody;
    AppendLe32(strBody, BYTE_ORDER_MAGIC);
    AppendLe16(strBody, 1);   // version 1.0
    AppendLe16(strBody, 0);
    AppendLe32(strBody, 0xFFFFFFFF);   // section length not given
    AppendLe32(strBody, 0xFFFFFFFF);
    AppendTextOption(strBody, OPT_SHB_USERAPPL, strApplication);
    AppendEndOption(strBody);
    AppendBlock(strOut, BLOCK_SECTION_HEADER, strBody);
    m_dwInterfaceBase = 0;
    AppendInterfaces(strOut, strPorts);
}

void CCaptureStream::AppendInterfaces(std::string& strOut, const std::string strPorts[2])
{
    for (int i = 0; i < 2; ++i) {
        m_strPorts[i] = strPorts[i];
        std::string strBody;
        AppendLe16(strBody, LINKTYPE_RTAC_SERIAL);
        AppendLe16(strBody, 0);
        AppendLe32(strBody, 0);   // no snapshot limit
        AppendTextOption(strBody, OPT_IF_NAME, strPorts[i]);
        AppendTextOption(strBody, OPT_IF_DESCRIPTION, i == 0 ? "port1" : "port2");
        AppendOption(strBody, OPT_IF_TSRESOL, &TSRESOL_MICROSECONDS, 1);
        AppendEndOption(strBody);
        AppendBlock(strOut, BLOCK_INTERFACE, strBody);
    }
}

void CCaptureStream::RenamePorts(std::string& strOut, const std::string strPorts[2])
{
    if (strPorts[0] == m_strPorts[0] && strPorts[1] == m_strPorts[1])
        return;
    // What the old ports received ends on their interfaces; from here on the
    // new ones carry each port's packets under its new name.
    Close(strOut);
    m_dwInterfaceBase += 2;
    AppendInterfaces(strOut, strPorts);
}

void CCaptureStream::SetTime(int nIndex, ULONGLONG qwMicros)
{
    m_qwTime[nIndex] = qwMicros;
    m_bStamped[nIndex] = true;
}

void CCaptureStream::SetLines(const bool bCts[2], const bool bDsr[2])
{
    for (int i = 0; i < 2; ++i) {
        m_bCts[i] = bCts[i];
        m_bDsr[i] = bDsr[i];
    }
}

ULONGLONG CCaptureStream::Stamp(int nIndex) const
{
    return m_bStamped[nIndex] ? m_qwTime[nIndex] : ZEV::GetUtcMicros();
}

BYTE CCaptureStream::GetLineByte(int nIndex) const
{
    // The outputs are what the program drives: the partner's inputs.
    const int nOther = 1 - nIndex;
    return static_cast<BYTE>((m_bCts[nIndex] ? LINE_CTS : 0) | (m_bDsr[nIndex] ? LINE_DSR : 0) |
                             (m_bCts[nOther] ? LINE_RTS : 0) | (m_bDsr[nOther] ? LINE_DTR : 0));
}

void CCaptureStream::AddData(std::string& strOut, int nIndex, const BYTE* pData, DWORD dwSize)
{
    const ULONGLONG qwNow = Stamp(nIndex);
    if (m_nBlockPort != nIndex || qwNow > m_qwBlockLast + m_dwGap[nIndex])
        EndBlock(strOut);
    while (dwSize > 0) {
        if (m_nBlockPort < 0) {
            m_nBlockPort = nIndex;
            m_qwBlockFirst = qwNow;
            m_nBlockLines = GetLineByte(nIndex);
        }
        const size_t nTake = std::min<size_t>(dwSize, MAX_PACKET_BYTES - m_block.size());
        m_block.insert(m_block.end(), pData, pData + nTake);
        pData += nTake;
        dwSize -= static_cast<DWORD>(nTake);
        if (m_block.size() >= MAX_PACKET_BYTES)
            EndBlock(strOut);
    }
    m_qwBlockLast = qwNow;
    m_dwBlockTick = ZEV::GetTick();
}

void CCaptureStream::WriteDue(std::string& strOut, DWORD dwQuietMs)
{
    if (m_nBlockPort >= 0 && ZEV::GetTick() - m_dwBlockTick >= dwQuietMs)
        EndBlock(strOut);
    Release(strOut, false);
}

void CCaptureStream::Release(std::string& strOut, bool bAll)
{
    const ULONGLONG qwDue = ZEV::GetUtcMicros() - HOLD_MICROS;
    for (;;) {
        const bool bHas[2] = {!m_waiting[0].empty(), !m_waiting[1].empty()};
        if (!bHas[0] && !bHas[1])
            return;
        int nNext = bHas[0] ? 0 : 1;
        if (bHas[0] && bHas[1])
            nNext = m_waiting[1].front().qwMicros < m_waiting[0].front().qwMicros ? 1 : 0;
        const ULONGLONG qwNext = m_waiting[nNext].front().qwMicros;
        if (!bAll && !bHas[1 - nNext] && qwNext > GetEarliestNext(1 - nNext) && qwNext > qwDue)
            return;   // the other port may still report something earlier
        strOut += m_waiting[nNext].front().strBlock;
        m_waiting[nNext].pop_front();
    }
}

ULONGLONG CCaptureStream::GetEarliestNext(int nIndex) const
{
    // A port's calls come in the order of its receive times.
    return m_nBlockPort == nIndex ? m_qwBlockFirst : Stamp(nIndex);
}

void CCaptureStream::EndBlock(std::string& strOut)
{
    if (m_nBlockPort < 0)
        return;
    if (!m_block.empty()) {
        const BYTE nType = m_nBlockPort == 0 ? EVENT_DATA_PORT1 : EVENT_DATA_PORT2;
        AddPacket(strOut, m_nBlockPort, m_nBlockPort, nType, m_nBlockLines, m_qwBlockFirst, m_block.data(),
                  m_block.size());
    }
    m_block.clear();
    m_nBlockPort = -1;
}

void CCaptureStream::ChangeCts(std::string& strOut, int nIndex, bool bOn)
{
    EndBlock(strOut);
    m_bCts[nIndex] = bOn;
    AddLinePackets(strOut, nIndex);
}

void CCaptureStream::ChangeDsr(std::string& strOut, int nIndex, bool bOn)
{
    EndBlock(strOut);
    m_bDsr[nIndex] = bOn;
    AddLinePackets(strOut, nIndex);
}

void CCaptureStream::AddLinePackets(std::string& strOut, int nIndex)
{
    // The port's input changed, and with it the output the program drives on the partner.
    const ULONGLONG qwNow = Stamp(nIndex);
    AddPacket(strOut, nIndex, nIndex, EVENT_LINES, GetLineByte(nIndex), qwNow);
    AddPacket(strOut, nIndex, 1 - nIndex, EVENT_LINES, GetLineByte(1 - nIndex), qwNow);
}

void CCaptureStream::AddEvent(std::string& strOut, int nIndex, ELineEvent eEvent)
{
    EndBlock(strOut);
    AddPacket(strOut, nIndex, nIndex, GetEventType(eEvent), GetLineByte(nIndex), Stamp(nIndex));
}

void CCaptureStream::AddLost(std::string& strOut, int nIndex, DWORD dwBytes, DWORD dwLineChanges)
{
    EndBlock(strOut);
    std::string strCounts;
    AppendBe32(strCounts, dwBytes);
    AppendBe32(strCounts, dwLineChanges);
    AddPacket(strOut, nIndex, nIndex, EVENT_LOST, GetLineByte(nIndex), Stamp(nIndex),
              reinterpret_cast<const BYTE*>(strCounts.data()), strCounts.size());
}

void CCaptureStream::Close(std::string& strOut)
{
    EndBlock(strOut);
    Release(strOut, true);
    const ULONGLONG qwNow = ZEV::GetUtcMicros();
    for (int i = 0; i < 2; ++i)
        AppendPacket(strOut, m_dwInterfaceBase + i, EVENT_END, GetLineByte(i), qwNow, nullptr, 0);
}

void CCaptureStream::AddPacket(std::string& strOut, int nSource, int nIndex, BYTE nType, BYTE nLines,
                               ULONGLONG qwMicros, const BYTE* pData, size_t nSize)
{
    m_waiting[nSource].push_back(TWaiting{qwMicros, std::string()});
    AppendPacket(m_waiting[nSource].back().strBlock, m_dwInterfaceBase + nIndex, nType, nLines, qwMicros, pData,
                 nSize);
    Release(strOut, false);
}

void CCaptureStream::AppendPacket(std::string& strOut, DWORD dwInterface, BYTE nType, BYTE nLines,
                                  ULONGLONG qwMicros, const BYTE* pData, size_t nSize)
{
    const DWORD dwCaptured = static_cast<DWORD>(PAYLOAD_HEADER_BYTES + nSize);
    std::string strBody;
    strBody.reserve(dwCaptured + 40);
    AppendLe32(strBody, dwInterface);
    AppendLe32(strBody, static_cast<DWORD>(qwMicros >> 32));
    AppendLe32(strBody, static_cast<DWORD>(qwMicros & 0xFFFFFFFF));
    AppendLe32(strBody, dwCaptured);
    AppendLe32(strBody, dwCaptured);
    AppendBe32(strBody, static_cast<DWORD>(qwMicros / 1000000));
    AppendBe32(strBody, static_cast<DWORD>(qwMicros % 1000000));
    strBody.push_back(static_cast<char>(nType));
    strBody.push_back(static_cast<char>(nLines));
    AppendLe16(strBody, 0);
    if (nSize > 0)
        strBody.append(reinterpret_cast<const char*>(pData), nSize);
    PadTo4(strBody);
    AppendOption(strBody, OPT_EPB_FLAGS, &EPB_FLAG_INBOUND, sizeof(EPB_FLAG_INBOUND));
    AppendEndOption(strBody);
    AppendBlock(strOut, BLOCK_ENHANCED_PACKET, strBody);
}
