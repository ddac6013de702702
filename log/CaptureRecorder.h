#pragma once

#include <windows.h>

#include <string>

#include "log/CaptureStream.h"
#include "log/FileRecorder.h"
#include "monitor/LineListener.h"

// Records what the relays report into a capture file that protocol analysers
// open (see CCaptureStream): a new section for each recording, appended when
// the file exists, ended by an end packet on each port. The traffic log
// hands it the relays' calls in the order it takes them. After a failure the
// file ends with its last whole block.
class CCaptureRecorder : public CFileRecorder, public ILineListener
{
public:
    // The application with its version ("Taplinar 1.0.0.1") and the ports'
    // names ("COM1") for the section's header and interfaces.
    CCaptureRecorder(HWND hNotify, UINT nMessage, WPARAM wParam, const std::string& strApplication,
                     const std::string strPorts[2], size_t nCapacity = DEFAULT_CAPACITY);
    ~CCaptureRecorder() override;

    // The ports' settings, for the silence that ends a block; any thread.
    void SetFrameGaps(const DWORD dwMicros[2]);
    // The input lines, as the recording starts or as the ports were opened
    // anew; a change is recorded like any other.
    void RestateLines(const bool bCts[2], const bool bDsr[2]);
    // The ports' names as they were opened anew; other names start new
    // interfaces (see CCaptureStream::RenamePorts).
    void RestatePorts(const std::string strPorts[2]);

    void OnLineData(int nIndex, DWORD dwSize, const BYTE* pData) override;
    void OnCtsChanged(int nIndex, bool bState) override;
    void OnDsrChanged(int nIndex, bool bState) override;
    void OnLineTime(int nIndex, ULONGLONG qwMicros) override;
    void OnLineEvent(int nIndex, ELineEvent eEvent) override;
    void OnLineLost(int nIndex, DWORD dwBytes, DWORD dwLineChanges) override;

private:
    void AppendOpening(std::string& strBuffer) override;
    void AppendClosing(std::string& strBuffer) override;
    size_t GetWholeLength(const std::string& strChunk, size_t nTaken) override;
    void OnWriterPass(std::string& strBuffer) override;

    // Runs fn(buffer) under the lock while the recording runs.
    template <typename TFn>
    void AppendWith(TFn fn);

    std::string m_strApplication;
    std::string m_strPorts[2];
    CCaptureStream m_stream;   // under m_lock
    bool m_bLinesKnown;        // RestateLines was called (under m_lock)
    bool m_bCts[2];            // the inputs last reported (under m_lock)
    bool m_bDsr[2];
};
