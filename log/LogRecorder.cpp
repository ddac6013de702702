#include "log/LogRecorder.h"

#include "log/LogExport.h"
#include "support/Format.h"

namespace {

std::string MakeMarker(const char* pszWord)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return ZEV::Format("----- %s %04u/%02u/%02u %02u:%02u:%02u -----", pszWord, now.wYear, now.wMonth, now.wDay,
                       now.wHour, now.wMinute, now.wSecond);
}

void AppendMarker(std::string& strBuffer, const char* pszWord)
{
    const std::string strMarker = MakeMarker(pszWord);
    AppendLogLine(strBuffer, strMarker, strMarker);
}

} // namespace

CLogRecorder::CLogRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, size_t nCapacity)
    : CFileRecorder(hNotify, nMessage, wParam, nCapacity)
{
}

CLogRecorder::~CLogRecorder()
{
    Finish();
    Join();
}

void CLogRecorder::AddRows(const std::string& strLeft, const std::string& strRight)
{
    ZEV::CSyncLock lock(m_lock);
    std::string* pBuffer = BeginAppend();
    if (pBuffer == nullptr)
        return;
    const size_t nBefore = pBuffer->size();
    AppendLogLine(*pBuffer, strLeft, strRight);
    EndAppend(nBefore);
}

void CLogRecorder::AppendOpening(std::string& strBuffer)
{
    AppendMarker(strBuffer, "Record");
}

void CLogRecorder::AppendClosing(std::string& strBuffer)
{
    AppendMarker(strBuffer, "Stop");
}

size_t CLogRecorder::GetWholeLength(const std::string& strChunk, size_t nTaken)
{
    const size_t nLineEnd = nTaken == 0 ? std::string::npos : strChunk.rfind('\n', nTaken - 1);
    return nLineEnd == std::string::npos ? 0 : nLineEnd + 1;
}
