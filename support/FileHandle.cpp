#include "support/FileHandle.h"

#include "support/WideText.h"

namespace ZEV {

namespace {

struct TOpenMode
{
    DWORD dwAccess;
    DWORD dwCreation;
    DWORD dwShare;
    bool bWritable;
};

TOpenMode ModeOf(int nMode)
{
    switch (nMode) {
    case CFileHandle::MODE_CREATE:
        return {GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ | FILE_SHARE_WRITE, true};
    case CFileHandle::MODE_OPEN_RW:
        return {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_SHARE_READ | FILE_SHARE_WRITE, true};
    case CFileHandle::MODE_OPEN_WRITE:
        return {GENERIC_WRITE, OPEN_ALWAYS, FILE_SHARE_WRITE, true};
    default:
        return {GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ, false};
    }
}

} // namespace

CFileHandle::CFileHandle() : m_bWritable(false), m_dwFlags(0)
{
}

CFileHandle::~CFileHandle()
{
}

HANDLE CFileHandle::GetHandle() const
{
    return m_handle.Get();
}

void CFileHandle::Attach(HANDLE h)
{
    if (h == m_handle.Get())
        return;
    m_handle = CSharedHandle(h);
}

BOOL CFileHandle::GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION pInfo)
{
    return ::GetFileInformationByHandle(h, pInfo);
}

HANDLE CFileHandle::CreateFileW(LPCWSTR path, DWORD dwAccess, DWORD dwShare,
                                LPSECURITY_ATTRIBUTES pSecurity, DWORD dwCreation,
                                DWORD dwFlags, HANDLE hTemplate)
{
    return ::CreateFileW(path, dwAccess, dwShare, pSecurity, dwCreation, dwFlags, hTemplate);
}

DWORD CFileHandle::GetFileSize(HANDLE h, LPDWORD pHigh)
{
    return ::GetFileSize(h, pHigh);
}

DWORD CFileHandle::SetFilePointer(HANDLE h, LONG nLow, PLONG pHigh, DWORD dwMethod)
{
    return ::SetFilePointer(h, nLow, pHigh, dwMethod);
}

BOOL CFileHandle::ReadFile(HANDLE h, LPVOID buffer, DWORD nSize, LPDWORD pRead, LPOVERLAPPED pOverlapped)
{
    return ::ReadFile(h, buffer, nSize, pRead, pOverlapped);
}

BOOL CFileHandle::SetFileTime(HANDLE h, const FILETIME* pCreation, const FILETIME* pAccess,
                              const FILETIME* pWrite)
{
    return ::SetFileTime(h, pCreation, pAccess, pWrite);
}

BOOL CFileHandle::SetEndOfFile(HANDLE h)
{
    return ::SetEndOfFile(h);
}

BOOL CFileHandle::WriteFile(HANDLE h, LPCVOID data, DWORD nSize, LPDWORD pWritten, LPOVERLAPPED pOverlapped)
{
    return ::WriteFile(h, data, nSize, pWritten, pOverlapped);
}

bool CFileHandle::Open(const char* path, int nMode, bool bShare)
{
    return Open(ToWide(path).c_str(), nMode, bShare);
}

bool CFileHandle::Open(const wchar_t* path, int nMode, bool bShare)
{
    Close();
    const std::wstring strPath = path != nullptr ? path : L"";
    m_strPath = FromWide(strPath);
    TOpenMode mode = ModeOf(nMode);
    m_bWritable = mode.bWritable;
    HANDLE h = CreateFileW(strPath.c_str(), mode.dwAccess, bShare ? mode.dwShare : 0,
                           nullptr, mode.dwCreation, m_dwFlags, nullptr);
    Attach(h);
    return IsOpened();
}

LONGLONG CFileHandle::GetFileSize64()
{
    // A closed object has no size; asking the system about handle -1 would
    // query the current process instead.
    if (!IsOpened())
        return -1;
    ::SetLastError(0);
    DWORD dwHigh = 0;
    DWORD dwLow = GetFileSize(GetHandle(), &dwHigh);
    if (::GetLastError() != 0)
        return -1;
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(dwHigh) << 32) | dwLow);
}

LONGLONG CFileHandle::SetPosition(LONG nLow, LONG nHigh, DWORD dwMethod)
{
    if (!IsOpened())
        return -1;
    // A low word of 0xFFFFFFFF is a valid position; only the error code tells.
    ::SetLastError(0);
    LONG nNewHigh = nHigh;
    DWORD dwLow = SetFilePointer(GetHandle(), nLow, &nNewHigh, dwMethod);
    if (dwLow == INVALID_SET_FILE_POINTER && ::GetLastError() != 0)
        return -1;
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(nNewHigh)) << 32) | dwLow);
}

} // namespace ZEV
