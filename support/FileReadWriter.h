#pragma once

#include "support/FileHandle.h"
#include "support/Reader.h"
#include "support/Writer.h"

namespace ZEV {

// A file read and written in whole blocks. Every failure is thrown as an
// exception of the ZEV family; Open and the queries report by result only.
// Bytes written before a failing Write stay in the file.
class CFileReadWriter : public IReader, public IWriter, public CFileHandle
{
public:
    CFileReadWriter() {}
    ~CFileReadWriter() override {}

    void Read(float& v) override { ReadValue(v); }
    void Read(double& v) override { ReadValue(v); }
    void Read(long double& v) override;
    void Read(long long& v) override { ReadValue(v); }
    void Read(unsigned long long& v) override { ReadValue(v); }
    void Read(int& v) override { ReadValue(v); }
    void Read(unsigned int& v) override { ReadValue(v); }
    void Read(long& v) override { ReadValue(v); }
    void Read(unsigned long& v) override { ReadValue(v); }
    void Read(short& v) override { ReadValue(v); }
    void Read(unsigned short& v) override { ReadValue(v); }
    void Read(char& v) override { ReadValue(v); }
    void Read(unsigned char& v) override { ReadValue(v); }
    void Read(bool& v) override { ReadValue(v); }

    void ReadExactly(DWORD nSize, void* buffer) override;
    const char* GetFileName() const override { return GetPath().c_str(); }
    void Close() override { CFileHandle::Close(); }
    bool IsOpened() const override { return CFileHandle::IsOpened(); }
    LONGLONG GetSize() override { return GetFileSize64(); }
    LONGLONG Seek(LONG nLow, LONG nHigh, DWORD dwMethod) override { return SetPosition(nLow, nHigh, dwMethod); }
    DWORD Read(DWORD nSize, void* buffer) override;
    bool CanWrite() const override { return CFileHandle::CanWrite(); }
    void Write(DWORD nSize, const void* data) override;
    void SetEnd() override;

    void Write(float v) override { WriteValue(v); }
    void Write(double v) override { WriteValue(v); }
    void Write(long double v) override;
    void Write(long long v) override { WriteValue(v); }
    void Write(unsigned long long v) override { WriteValue(v); }
    void Write(int v) override { WriteValue(v); }
    void Write(unsigned int v) override { WriteValue(v); }
    void Write(long v) override { WriteValue(v); }
    void Write(unsigned long v) override { WriteValue(v); }
    void Write(short v) override { WriteValue(v); }
    void Write(unsigned short v) override { WriteValue(v); }
    void Write(char v) override { WriteValue(v); }
    void Write(unsigned char v) override { WriteValue(v); }
    void Write(bool v) override { WriteValue(v); }

private:
    template <class T>
    void ReadValue(T& v) { ReadExactly(sizeof(T), &v); }
    template <class T>
    void WriteValue(const T& v) { Write(static_cast<DWORD>(sizeof(T)), &v); }
};

} // namespace ZEV
