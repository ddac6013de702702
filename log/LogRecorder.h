#pragma once

#include <windows.h>

#include <string>

#include "log/LogRowSink.h"
#include "serial/SyncObject.h"
#include "serial/ThreadRunner.h"
#include "serial/WorkerThread.h"
#include "support/FileReadWriter.h"

// Records the log into a text file while it runs, one line per row pair in
// the export's format, between a "----- Record <local time> -----" and a
// "----- Stop <local time> -----" row pair.
//
// Rows arrive on the data path with the log's lock held, so they are only
// appended to a bounded buffer here; a writer thread of the recorder takes
// the whole buffer at least every 200 ms and writes it out. If a write
// fails (a full disk) or the buffer overflows, the recording stops: the file
// is cut back to its last whole line, and once the writer has ended it posts
// the message given to the window given (once per recording).
class CLogRecorder : public ILogRowSink, private ZEV::IThreadRunner
{
public:
    // Both ports at 921600 bit/s with every byte dumped make about 1.5 MB of
    // lines a second at 16 bytes per row, 2.5 MB at 8: ten and six seconds.
    static const size_t DEFAULT_CAPACITY = 16 * 1024 * 1024;

    CLogRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, size_t nCapacity = DEFAULT_CAPACITY);
    // Ends the recording if it still runs and waits for the writer.
    ~CLogRecorder() override;

    CLogRecorder(const CLogRecorder&) = delete;
    CLogRecorder& operator=(const CLogRecorder&) = delete;

    // Opens the file (replaced, or appended to when bAppend) and starts the
    // writer with the Record row pair; false when either cannot be done.
    bool Start(const wchar_t* pszPath, bool bAppend);
    // The same with a Shift-JIS path.
    bool Start(const char* pszPath, bool bAppend);
    void AddRows(const std::string& strLeft, const std::string& strRight) override;
    // Adds the Stop row pair; the writer writes everything and closes the
    // file without being waited for.
    void Finish();
    // Any thread: the writer writes everything held now.
    void WriteNow();
    // Waits until the writer has ended (the file is closed).
    void Join();
    bool HasFailed();

private:
    DWORD Run() override;
    // Writer thread: writes everything held; false when the recording has stopped.
    bool WriteOut();
    void CutToLastLine(LONGLONG nChunkStart);
    void AddMarker(const char* pszWord);
    void AppendLocked(const std::string& strLeft, const std::string& strRight);
    void StopLocked(bool bFailed);

    HWND m_hNotify;
    UINT m_nMessage;
    WPARAM m_wParam;
    size_t m_nCapacity;
    ZEV::CSyncSection m_lock;      // guards the members below up to m_bFailed
    std::string m_strBuffer;       // whole lines not yet taken by the writer
    bool m_bWakeAsked;             // the writer was woken for a full buffer
    bool m_bStopped;               // no more rows are taken
    bool m_bFailed;
    ZEV::CSyncEvent m_wake;
    ZEV::CWorkerThread m_writer;
    ZEV::CFileReadWriter m_file;   // writer thread only, once started
    std::string m_strChunk;        // what the writer writes now
};
