#pragma once

#include <windows.h>

#include <string>

#include "serial/SyncObject.h"
#include "serial/ThreadRunner.h"
#include "serial/WorkerThread.h"
#include "support/FileReadWriter.h"

// Records into a file while the log runs. What the data path hands over is
// only appended to a bounded buffer, since it arrives with the log's lock
// held; a writer thread takes the whole buffer at least every 200 ms and
// writes it out. If a write fails (a full disk) or the buffer overflows, the
// recording stops: the file is cut back to the end of its last whole unit
// (a line, a block), and once the writer has ended it posts the message
// given to the window given (once per recording).
//
// A derived class says what opens and closes a recording and where its
// units end. Its destructor must call Finish() and Join(), since the writer
// calls into it.
class CFileRecorder : private ZEV::IThreadRunner
{
public:
    // Both ports at 921600 bit/s with every byte dumped make about 1.5 MB of
    // lines a second at 16 bytes per row, 2.5 MB at 8: ten and six seconds.
    static const size_t DEFAULT_CAPACITY = 16 * 1024 * 1024;

    CFileRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, size_t nCapacity);
    virtual ~CFileRecorder();

    CFileRecorder(const CFileRecorder&) = delete;
    CFileRecorder& operator=(const CFileRecorder&) = delete;

    // Opens the file (replaced, or appended to when bAppend) and starts the
    // writer with the opening units; false when either cannot be done.
    bool Start(const wchar_t* pszPath, bool bAppend);
    // The same with a Shift-JIS path.
    bool Start(const char* pszPath, bool bAppend);
    // Adds the closing units; the writer writes everything and closes the
    // file without being waited for.
    void Finish();
    // Any thread: the writer writes everything held now.
    void WriteNow();
    // Waits until the writer has ended (the file is closed).
    void Join();
    bool HasFailed();

protected:
    // Under m_lock: the opening units of a recording; the closing ones.
    virtual void AppendOpening(std::string& strBuffer) = 0;
    virtual void AppendClosing(std::string& strBuffer) = 0;
    // How many bytes at the front of strChunk, of the nTaken written, form
    // whole units.
    virtual size_t GetWholeLength(const std::string& strChunk, size_t nTaken) = 0;
    // Writer thread, under m_lock, before each write: units that time alone
    // completes go into the buffer here.
    virtual void OnWriterPass(std::string& /*strBuffer*/) {}

    // Under m_lock: the buffer to append whole units to, nullptr once the
    // recording has stopped; then EndAppend with the size it had before.
    std::string* BeginAppend() { return m_bStopped ? nullptr : &m_strBuffer; }
    void EndAppend(size_t nBefore);

    ZEV::CSyncSection m_lock;      // guards the members below up to m_bFailed

private:
    DWORD Run() override;
    // Writer thread: writes everything held; false when the recording has stopped.
    bool WriteOut();
    void CutToLastUnit(LONGLONG nChunkStart);
    void StopLocked(bool bFailed);

    HWND m_hNotify;
    UINT m_nMessage;
    WPARAM m_wParam;
    size_t m_nCapacity;
    std::string m_strBuffer;       // whole units not yet taken by the writer
    bool m_bWakeAsked;             // the writer was woken for a full buffer
    bool m_bStopped;               // nothing more is taken
    bool m_bFailed;
    ZEV::CSyncEvent m_wake;
    ZEV::CWorkerThread m_writer;
    ZEV::CFileReadWriter m_file;   // writer thread only, once started
    std::string m_strChunk;        // what the writer writes now
};
