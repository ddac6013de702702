#include "support/FileReadWriter.h"

#include "support/ZevException.h"

namespace ZEV {

void CFileReadWriter::Read(long double& v)
{
    double d = 0;
    ReadValue(d);
    v = d;
}

void CFileReadWriter::Write(long double v)
{
    WriteValue(static_cast<double>(v));
}

void CFileReadWriter::ReadExactly(DWORD nSize, void* buffer)
{
    if (!IsOpened())
        throw CReadFailureException(ERROR_INVALID_HANDLE);
    if (Read(nSize, buffer) != nSize)
        throw CShortOfDataException(0);
}

DWORD CFileReadWriter::Read(DWORD nSize, void* buffer)
{
    // Handle -1 is the current process to the system; never hand it over.
    if (!IsOpened())
        throw CReadFailureException(ERROR_INVALID_HANDLE);
    DWORD nRead = 0;
    if (!ReadFile(GetHandle(), buffer, nSize, &nRead, nullptr))
        throw CReadFailureException(static_cast<int>(::GetLastError()));
    return nRead;
}

void CFileReadWriter::Write(DWORD nSize, const void* data)
{
    if (nSize >= 0xFFFFFFFF)
        throw CWriteFailureException(ERROR_BAD_LENGTH);
    if (!IsOpened())
        throw CWriteFailureException(ERROR_INVALID_HANDLE);
    DWORD nWritten = 0;
    if (!WriteFile(GetHandle(), data, nSize, &nWritten, nullptr))
        throw CWriteFailureException(static_cast<int>(::GetLastError()));
    if (nWritten != nSize)
        throw CWriteFailureException(0);
}

void CFileReadWriter::SetEnd()
{
    if (!IsOpened())
        throw CWriteFailureException(ERROR_INVALID_HANDLE);
    if (!SetEndOfFile(GetHandle()))
        throw CWriteFailureException(static_cast<int>(::GetLastError()));
}

} // namespace ZEV
