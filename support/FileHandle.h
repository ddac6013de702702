#pragma once

#include "support/SharedHandle.h"

#include <windows.h>

#include <string>

namespace ZEV {

// Owner of one file handle. Every system call on the file goes through the
// virtual slots below, so a subclass can replace them (tests inject faults).
class CFileHandle
{
public:
    // Open modes; any other value opens an existing file for reading only.
    enum
    {
        MODE_CREATE = 1,      // read/write, always a new empty file
        MODE_OPEN_RW = 2,     // read/write, created when missing
        MODE_OPEN_WRITE = 3,  // write only, created when missing
        MODE_READ = 0
    };

    CFileHandle();
    virtual ~CFileHandle();

    virtual HANDLE GetHandle() const;
    // Holds h from now on; the previous handle is released (closed when this
    // was its last holder). The same handle changes nothing; -1 closes.
    virtual void Attach(HANDLE h);

    virtual BOOL GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION pInfo);
    virtual HANDLE CreateFileW(LPCWSTR path, DWORD dwAccess, DWORD dwShare,
                               LPSECURITY_ATTRIBUTES pSecurity, DWORD dwCreation,
                               DWORD dwFlags, HANDLE hTemplate);
    virtual DWORD GetFileSize(HANDLE h, LPDWORD pHigh);
    virtual DWORD SetFilePointer(HANDLE h, LONG nLow, PLONG pHigh, DWORD dwMethod);
    virtual BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD nSize, LPDWORD pRead, LPOVERLAPPED pOverlapped);
    virtual BOOL SetFileTime(HANDLE h, const FILETIME* pCreation, const FILETIME* pAccess,
                             const FILETIME* pWrite);
    virtual BOOL SetEndOfFile(HANDLE h);
    virtual BOOL WriteFile(HANDLE h, LPCVOID data, DWORD nSize, LPDWORD pWritten, LPOVERLAPPED pOverlapped);

    // True when a valid handle was obtained; a failed open leaves the object closed.
    // A path of any characters is opened as it is; a Shift-JIS one is converted.
    bool Open(const wchar_t* path, int nMode, bool bShare);
    bool Open(const char* path, int nMode, bool bShare);
    void Close() { Attach(INVALID_HANDLE_VALUE); }
    bool IsOpened() const { return GetHandle() != INVALID_HANDLE_VALUE; }
    bool CanWrite() const { return IsOpened() && m_bWritable; }
    // Shift-JIS; a character that has no Shift-JIS form reads '?'.
    const std::string& GetPath() const { return m_strPath; }

    // 64-bit size, or -1 on failure.
    LONGLONG GetFileSize64();
    // New 64-bit position, or -1 on failure.
    LONGLONG SetPosition(LONG nLow, LONG nHigh, DWORD dwMethod);

private:
    CSharedHandle m_handle;
    std::string m_strPath;
    bool m_bWritable;
    DWORD m_dwFlags;
};

} // namespace ZEV
