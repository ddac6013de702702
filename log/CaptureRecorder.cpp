#include "log/CaptureRecorder.h"

#include <algorithm>

namespace {

// A block whose port has given nothing for this long is written out. Longer
// than the frame gap by far: the event thread may hand over a read's bytes
// late, and a block must not be cut where the line had no pause.
const DWORD QUIET_BLOCK_MS = 250;
// Total length of a block, at this offset from its start (little-endian).
const size_t BLOCK_LENGTH_OFFSET = 4;

bool IsValidPort(int nIndex)
{
    return nIndex == 0 || nIndex == 1;
}

} // namespace

CCaptureRecorder::CCaptureRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, const std::string& strApplication,
                                   const std::string strPorts[2], size_t nCapacity)
    : CFileRecorder(hNotify, nMessage, wParam, nCapacity), m_strApplication(strApplication), m_bLinesKnown(false),
      m_bCts{false, false}, m_bDsr{false, false}
{
    m_strPorts[0] = strPorts[0];
    m_strPorts[1] = strPorts[1];
}

CCaptureRecorder::~CCaptureRecorder()
{
    Finish();
    Join();
}

template <typename TFn>
void CCaptureRecorder::AppendWith(TFn fn)
{
    ZEV::CSyncLock lock(m_lock);
    std::string* pBuffer = BeginAppend();
    if (pBuffer == nullptr)
        return;
    const size_t nBefore = pBuffer->size();
    fn(*pBuffer);
    EndAppend(nBefore);
}

void CCaptureRecorder::SetFrameGaps(const DWORD dwMicros[2])
{
    ZEV::CSyncLock lock(m_lock);
    m_stream.SetFrameGap(0, dwMicros[0]);
    m_stream.SetFrameGap(1, dwMicros[1]);
}

void CCaptureRecorder::RestateLines(const bool bCts[2], const bool bDsr[2])
{
    AppendWith([&](std::string& strOut) {
        if (!m_bLinesKnown) {
            m_stream.SetLines(bCts, bDsr);
            m_bLinesKnown = true;
            std::copy(bCts, bCts + 2, m_bCts);
            std::copy(bDsr, bDsr + 2, m_bDsr);
        }
        for (int i = 0; i < 2; ++i) {
            if (bCts[i] != m_bCts[i])
                m_stream.ChangeCts(strOut, i, bCts[i]);
            if (bDsr[i] != m_bDsr[i])
                m_stream.ChangeDsr(strOut, i, bDsr[i]);
            m_bCts[i] = bCts[i];
            m_bDsr[i] = bDsr[i];
        }
    });
}

void CCaptureRecorder::RestatePorts(const std::string strPorts[2])
{
    AppendWith([&](std::string& strOut) { m_stream.RenamePorts(strOut, strPorts); });
}

void CCaptureRecorder::OnLineData(int nIndex, DWORD dwSize, const BYTE* pData)
{
    if (!IsValidPort(nIndex) || pData == nullptr || dwSize == 0)
        return;
    AppendWith([&](std::string& strOut) { m_stream.AddData(strOut, nIndex, pData, dwSize); });
}

void CCaptureRecorder::OnCtsChanged(int nIndex, bool bState)
{
    if (!IsValidPort(nIndex))
        return;
    AppendWith([&](std::string& strOut) {
        if (m_bLinesKnown && m_bCts[nIndex] == bState)
            return;   // a relay's first report, or one restated already
        m_bCts[nIndex] = bState;
        m_stream.ChangeCts(strOut, nIndex, bState);
    });
}

void CCaptureRecorder::OnDsrChanged(int nIndex, bool bState)
{
    if (!IsValidPort(nIndex))
        return;
    AppendWith([&](std::string& strOut) {
        if (m_bLinesKnown && m_bDsr[nIndex] == bState)
            return;
        m_bDsr[nIndex] = bState;
        m_stream.ChangeDsr(strOut, nIndex, bState);
    });
}

void CCaptureRecorder::OnLineTime(int nIndex, ULONGLONG qwMicros)
{
    if (!IsValidPort(nIndex))
        return;
    ZEV::CSyncLock lock(m_lock);
    m_stream.SetTime(nIndex, qwMicros);
}

void CCaptureRecorder::OnLineEvent(int nIndex, ELineEvent eEvent)
{
    if (!IsValidPort(nIndex))
        return;
    AppendWith([&](std::string& strOut) { m_stream.AddEvent(strOut, nIndex, eEvent); });
}

void CCaptureRecorder::OnLineLost(int nIndex, DWORD dwBytes, DWORD dwLineChanges)
{
    if (!IsValidPort(nIndex))
        return;
    AppendWith([&](std::string& strOut) { m_stream.AddLost(strOut, nIndex, dwBytes, dwLineChanges); });
}

void CCaptureRecorder::AppendOpening(std::string& strBuffer)
{
    m_stream.OpenSection(strBuffer, m_strApplication, m_strPorts);
}

void CCaptureRecorder::AppendClosing(std::string& strBuffer)
{
    m_stream.Close(strBuffer);
}

void CCaptureRecorder::OnWriterPass(std::string& strBuffer)
{
    m_stream.WriteDue(strBuffer, QUIET_BLOCK_MS);
}

size_t CCaptureRecorder::GetWholeLength(const std::string& strChunk, size_t nTaken)
{
    size_t nWhole = 0;
    while (nWhole + BLOCK_LENGTH_OFFSET + 4 <= nTaken) {
        const BYTE* p = reinterpret_cast<const BYTE*>(strChunk.data()) + nWhole + BLOCK_LENGTH_OFFSET;
        const size_t nLength = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<size_t>(p[3]) << 24);
        if (nLength == 0 || nWhole + nLength > nTaken)
            break;
        nWhole += nLength;
    }
    return nWhole;
}
