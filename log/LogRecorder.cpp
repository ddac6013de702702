#include "log/LogRecorder.h"

#include <algorithm>

#include "log/LogExport.h"
#include "support/Format.h"
#include "support/WideText.h"
#include "support/ZevException.h"

namespace {

// The longest a row stays in memory when the disk keeps up: a crash loses
// no more than this.
const DWORD WRITE_PERIOD_MS = 200;
// Beyond this much waiting the writer is woken at once, so that a burst
// does not fill the buffer while it sleeps.
const size_t WAKE_DIVISOR = 8;
const DWORD WRITER_STOP_MS = 15000;

std::string MakeMarker(const char* pszWord)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return ZEV::Format("----- %s %04u/%02u/%02u %02u:%02u:%02u -----", pszWord, now.wYear, now.wMonth, now.wDay,
                       now.wHour, now.wMinute, now.wSecond);
}

} // namespace

CLogRecorder::CLogRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, size_t nCapacity)
    : m_hNotify(hNotify), m_nMessage(nMessage), m_wParam(wParam), m_nCapacity(nCapacity), m_bWakeAsked(false),
      m_bStopped(true), m_bFailed(false), m_wake(false, true, nullptr)
{
    m_writer.SetRunner(this);
}

CLogRecorder::~CLogRecorder()
{
    Finish();
    Join();
}

bool CLogRecorder::Start(const char* pszPath, bool bAppend)
{
    return Start(ZEV::ToWide(pszPath).c_str(), bAppend);
}

bool CLogRecorder::Start(const wchar_t* pszPath, bool bAppend)
{
    if (!m_file.Open(pszPath, bAppend ? ZEV::CFileHandle::MODE_OPEN_RW : ZEV::CFileHandle::MODE_CREATE, true))
        return false;
    if (bAppend && m_file.SetPosition(0, 0, FILE_END) < 0) {
        m_file.Close();
        return false;
    }
    m_bStopped = false;
    AddMarker("Record");
    if (m_writer.Launch())
        return true;
    m_file.Close();
    m_bStopped = true;
    return false;
}

void CLogRecorder::AddRows(const std::string& strLeft, const std::string& strRight)
{
    ZEV::CSyncLock lock(m_lock);
    if (m_bStopped)
        return;
    AppendLocked(strLeft, strRight);
}

void CLogRecorder::AppendLocked(const std::string& strLeft, const std::string& strRight)
{
    const size_t nBefore = m_strBuffer.size();
    AppendLogLine(m_strBuffer, strLeft, strRight);
    if (m_strBuffer.size() > m_nCapacity) {
        // The writer cannot keep up: what it holds ends with a whole line.
        m_strBuffer.resize(nBefore);
        StopLocked(true);
        return;
    }
    if (!m_bWakeAsked && m_strBuffer.size() > m_nCapacity / WAKE_DIVISOR) {
        m_bWakeAsked = true;
        m_wake.Unlock();
    }
}

void CLogRecorder::AddMarker(const char* pszWord)
{
    const std::string strMarker = MakeMarker(pszWord);
    ZEV::CSyncLock lock(m_lock);
    if (!m_bStopped)
        AppendLocked(strMarker, strMarker);
}

void CLogRecorder::Finish()
{
    const std::string strMarker = MakeMarker("Stop");
    ZEV::CSyncLock lock(m_lock);
    if (m_bStopped)
        return;
    AppendLocked(strMarker, strMarker);
    StopLocked(false);
}

void CLogRecorder::StopLocked(bool bFailed)
{
    if (m_bStopped)
        return;
    m_bStopped = true;
    m_bFailed = bFailed;
    m_wake.Unlock();
}

void CLogRecorder::WriteNow()
{
    m_wake.Unlock();
}

void CLogRecorder::Join()
{
    m_writer.Stop(WRITER_STOP_MS);
}

bool CLogRecorder::HasFailed()
{
    ZEV::CSyncLock lock(m_lock);
    return m_bFailed;
}

DWORD CLogRecorder::Run()
{
    while (WriteOut() && CanRun())
        m_wake.Lock(WRITE_PERIOD_MS);
    WriteOut();
    m_file.Close();
    if (HasFailed() && m_hNotify != NULL)
        ::PostMessageA(m_hNotify, m_nMessage, m_wParam, 0);
    return 0;
}

bool CLogRecorder::WriteOut()
{
    bool bRunning = false;
    {
        ZEV::CSyncLock lock(m_lock);
        m_strChunk.swap(m_strBuffer);
        m_bWakeAsked = false;
        bRunning = !m_bStopped;
    }
    if (m_strChunk.empty() || !m_file.IsOpened()) {
        m_strChunk.clear();
        return bRunning;
    }
    const LONGLONG nChunkStart = m_file.SetPosition(0, 0, FILE_CURRENT);
    try {
        m_file.Write(static_cast<DWORD>(m_strChunk.size()), m_strChunk.data());
    } catch (const ZEV::CZevException&) {
        CutToLastLine(nChunkStart);
        m_file.Close();
        ZEV::CSyncLock lock(m_lock);
        m_bStopped = true;
        m_bFailed = true;
        bRunning = false;
    }
    m_strChunk.clear();
    return bRunning;
}

void CLogRecorder::CutToLastLine(LONGLONG nChunkStart)
{
    // A full disk may take part of a write; what stays must end with a whole line.
    const LONGLONG nEnd = m_file.GetFileSize64();
    if (nChunkStart < 0 || nEnd < nChunkStart)
        return;
    const size_t nTaken = static_cast<size_t>(std::min<LONGLONG>(nEnd - nChunkStart, m_strChunk.size()));
    const size_t nLineEnd = nTaken == 0 ? std::string::npos : m_strChunk.rfind('\n', nTaken - 1);
    const LONGLONG nKeep = nChunkStart + (nLineEnd == std::string::npos ? 0 : nLineEnd + 1);
    if (nKeep == nEnd)
        return;
    try {
        m_file.SetPosition(static_cast<LONG>(nKeep & 0xFFFFFFFF), static_cast<LONG>(nKeep >> 32), FILE_BEGIN);
        m_file.SetEnd();
    } catch (const ZEV::CZevException&) {
        // Nothing more can be done on a disk that refuses even this.
    }
}
