#include "log/FileRecorder.h"

#include <algorithm>

#include "support/WideText.h"
#include "support/ZevException.h"

namespace {

// The longest a unit stays in memory when the disk keeps up: a crash loses
// no more than this.
const DWORD WRITE_PERIOD_MS = 200;
// Beyond this much waiting the writer is woken at once, so that a burst
// does not fill the buffer while it sleeps.
const size_t WAKE_DIVISOR = 8;
const DWORD WRITER_STOP_MS = 15000;

} // namespace

CFileRecorder::CFileRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, size_t nCapacity)
    : m_hNotify(hNotify), m_nMessage(nMessage), m_wParam(wParam), m_nCapacity(nCapacity), m_bWakeAsked(false),
      m_bStopped(true), m_bFailed(false), m_wake(false, true, nullptr)
{
    m_writer.SetRunner(this);
}

CFileRecorder::~CFileRecorder()
{
    Join();
}

bool CFileRecorder::Start(const char* pszPath, bool bAppend)
{
    return Start(ZEV::ToWide(pszPath).c_str(), bAppend);
}

bool CFileRecorder::Start(const wchar_t* pszPath, bool bAppend)
{
    if (!m_file.Open(pszPath, bAppend ? ZEV::CFileHandle::MODE_OPEN_RW : ZEV::CFileHandle::MODE_CREATE, true))
        return false;
    if (bAppend && m_file.SetPosition(0, 0, FILE_END) < 0) {
        m_file.Close();
        return false;
    }
    {
        ZEV::CSyncLock lock(m_lock);
        m_bStopped = false;
        const size_t nBefore = m_strBuffer.size();
        AppendOpening(m_strBuffer);
        EndAppend(nBefore);
    }
    if (m_writer.Launch())
        return true;
    m_file.Close();
    m_bStopped = true;
    return false;
}

void CFileRecorder::EndAppend(size_t nBefore)
{
    if (m_strBuffer.size() > m_nCapacity) {
        // The writer cannot keep up: what it holds ends with a whole unit.
        m_strBuffer.resize(nBefore);
        StopLocked(true);
        return;
    }
    if (!m_bWakeAsked && m_strBuffer.size() > m_nCapacity / WAKE_DIVISOR) {
        m_bWakeAsked = true;
        m_wake.Unlock();
    }
}

void CFileRecorder::Finish()
{
    ZEV::CSyncLock lock(m_lock);
    if (m_bStopped)
        return;
    const size_t nBefore = m_strBuffer.size();
    AppendClosing(m_strBuffer);
    EndAppend(nBefore);
    StopLocked(false);
}

void CFileRecorder::StopLocked(bool bFailed)
{
    if (m_bStopped)
        return;
    m_bStopped = true;
    m_bFailed = bFailed;
    m_wake.Unlock();
}

void CFileRecorder::WriteNow()
{
    m_wake.Unlock();
}

void CFileRecorder::Join()
{
    m_writer.Stop(WRITER_STOP_MS);
}

bool CFileRecorder::HasFailed()
{
    ZEV::CSyncLock lock(m_lock);
    return m_bFailed;
}

DWORD CFileRecorder::Run()
{
    while (WriteOut() && CanRun())
        m_wake.Lock(WRITE_PERIOD_MS);
    WriteOut();
    m_file.Close();
    if (HasFailed() && m_hNotify != NULL)
        ::PostMessageA(m_hNotify, m_nMessage, m_wParam, 0);
    return 0;
}

bool CFileRecorder::WriteOut()
{
    bool bRunning = false;
    {
        ZEV::CSyncLock lock(m_lock);
        if (!m_bStopped) {
            const size_t nBefore = m_strBuffer.size();
            OnWriterPass(m_strBuffer);
            EndAppend(nBefore);
        }
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
        CutToLastUnit(nChunkStart);
        m_file.Close();
        ZEV::CSyncLock lock(m_lock);
        m_bStopped = true;
        m_bFailed = true;
        bRunning = false;
    }
    m_strChunk.clear();
    return bRunning;
}

void CFileRecorder::CutToLastUnit(LONGLONG nChunkStart)
{
    // A full disk may take part of a write; what stays must end with a whole unit.
    const LONGLONG nEnd = m_file.GetFileSize64();
    if (nChunkStart < 0 || nEnd < nChunkStart)
        return;
    const size_t nTaken = static_cast<size_t>(std::min<LONGLONG>(nEnd - nChunkStart, m_strChunk.size()));
    const LONGLONG nKeep = nChunkStart + static_cast<LONGLONG>(GetWholeLength(m_strChunk, nTaken));
    if (nKeep == nEnd)
        return;
    try {
        m_file.SetPosition(static_cast<LONG>(nKeep & 0xFFFFFFFF), static_cast<LONG>(nKeep >> 32), FILE_BEGIN);
        m_file.SetEnd();
    } catch (const ZEV::CZevException&) {
        // Nothing more can be done on a disk that refuses even this.
    }
}
