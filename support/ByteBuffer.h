#pragma once

#include <windows.h>

#include <vector>

namespace ZEV {

// Growable owned block of bytes.
class CByteBuffer
{
public:
    CByteBuffer() {}
    CByteBuffer(const void* data, size_t nSize) { Append(data, nSize); }

    size_t GetSize() const { return m_bytes.size(); }
    bool IsEmpty() const { return m_bytes.empty(); }
    // Null while empty.
    const BYTE* GetData() const { return m_bytes.empty() ? nullptr : m_bytes.data(); }
    BYTE* GetData() { return m_bytes.empty() ? nullptr : m_bytes.data(); }

    // Grows with zero bytes or cuts the tail; for blocks a system call fills.
    void SetSize(size_t nSize) { m_bytes.resize(nSize); }
    void Append(BYTE b) { m_bytes.push_back(b); }
    void Append(const void* data, size_t nSize);
    void Clear() { m_bytes.clear(); }

    // Throws CIndexOutOfBoundsException outside 0 .. size-1.
    BYTE GetAt(size_t nIndex) const;

    bool operator==(const CByteBuffer& other) const { return m_bytes == other.m_bytes; }
    bool operator!=(const CByteBuffer& other) const { return m_bytes != other.m_bytes; }

private:
    std::vector<BYTE> m_bytes;
};

} // namespace ZEV
