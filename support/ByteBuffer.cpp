#include "support/ByteBuffer.h"

#include "support/ZevException.h"

namespace ZEV {

void CByteBuffer::Append(const void* data, size_t nSize)
{
    if (nSize == 0)
        return;
    if (data == nullptr)
        throw CNullPointerException();
    const BYTE* p = static_cast<const BYTE*>(data);
    m_bytes.insert(m_bytes.end(), p, p + nSize);
}

BYTE CByteBuffer::GetAt(size_t nIndex) const
{
    if (nIndex >= m_bytes.size())
        throw CIndexOutOfBoundsException();
    return m_bytes[nIndex];
}

} // namespace ZEV
