#pragma once

#include <windows.h>

namespace ZEV {

// A source of bytes. Typed reads deliver exactly their value's size, bytes in
// memory order, or throw.
class IReader
{
public:
    virtual void Read(float& v) = 0;
    virtual void Read(double& v) = 0;
    // Stored as an 8-byte double, the form other compilers give long double.
    virtual void Read(long double& v) = 0;
    virtual void Read(long long& v) = 0;
    virtual void Read(unsigned long long& v) = 0;
    virtual void Read(int& v) = 0;
    virtual void Read(unsigned int& v) = 0;
    virtual void Read(long& v) = 0;
    virtual void Read(unsigned long& v) = 0;
    virtual void Read(short& v) = 0;
    virtual void Read(unsigned short& v) = 0;
    virtual void Read(char& v) = 0;
    virtual void Read(unsigned char& v) = 0;
    virtual void Read(bool& v) = 0;
    virtual ~IReader() {}

    // Exactly nSize bytes, or an exception.
    virtual void ReadExactly(DWORD nSize, void* buffer) = 0;
    virtual const char* GetFileName() const = 0;
    virtual void Close() = 0;
    virtual bool IsOpened() const = 0;
    // -1 on failure.
    virtual LONGLONG GetSize() = 0;
    // The new position, or -1 on failure.
    virtual LONGLONG Seek(LONG nLow, LONG nHigh, DWORD dwMethod) = 0;
    // Up to nSize bytes; answers the number read, 0 at the end.
    virtual DWORD Read(DWORD nSize, void* buffer) = 0;
    virtual bool CanWrite() const = 0;
    virtual void Write(DWORD nSize, const void* data) = 0;
    // The end of the file becomes the current position.
    virtual void SetEnd() = 0;
};

} // namespace ZEV
