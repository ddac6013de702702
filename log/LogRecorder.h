#pragma once

#include <windows.h>

#include <string>

#include "log/FileRecorder.h"
#include "log/LogRowSink.h"

// Records the log into a text file while it runs, one line per row pair in
// the export's format, between a "----- Record <local time> -----" and a
// "----- Stop <local time> -----" row pair. After a failure the file ends
// with its last whole line.
class CLogRecorder : public CFileRecorder, public ILogRowSink
{
public:
    CLogRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, size_t nCapacity = DEFAULT_CAPACITY);
    ~CLogRecorder() override;

    void AddRows(const std::string& strLeft, const std::string& strRight) override;

private:
    void AppendOpening(std::string& strBuffer) override;
    void AppendClosing(std::string& strBuffer) override;
    size_t GetWholeLength(const std::string& strChunk, size_t nTaken) override;
};
