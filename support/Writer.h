#pragma once

#include <windows.h>

namespace ZEV {

// A sink of bytes. Typed writes put out their value's bytes in memory order;
// every write is whole or throws.
class IWriter
{
public:
    virtual void Write(float v) = 0;
    virtual void Write(double v) = 0;
    // Written as an 8-byte double, the form other compilers give long double.
    virtual void Write(long double v) = 0;
    virtual void Write(long long v) = 0;
    virtual void Write(unsigned long long v) = 0;
    virtual void Write(int v) = 0;
    virtual void Write(unsigned int v) = 0;
    virtual void Write(long v) = 0;
    virtual void Write(unsigned long v) = 0;
    virtual void Write(short v) = 0;
    virtual void Write(unsigned short v) = 0;
    virtual void Write(char v) = 0;
    virtual void Write(unsigned char v) = 0;
    virtual void Write(bool v) = 0;
    virtual ~IWriter() {}

    virtual void Write(DWORD nSize, const void* data) = 0;
};

} // namespace ZEV
