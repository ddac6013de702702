#include "settings/ProfileValue.h"

#include <cstdlib>

namespace ZEV {

CProfileValue::CProfileValue()
    : m_dwType(PROFILE_TYPE_NONE), m_dwLow(0), m_dwHigh(0)
{
}

CProfileValue::CProfileValue(DWORD dwValue)
    : m_dwType(PROFILE_TYPE_DWORD), m_dwLow(dwValue), m_dwHigh(0)
{
}

CProfileValue::CProfileValue(LONGLONG llValue)
    : m_dwType(PROFILE_TYPE_INT64),
      m_dwLow(static_cast<DWORD>(static_cast<ULONGLONG>(llValue))),
      m_dwHigh(static_cast<DWORD>(static_cast<ULONGLONG>(llValue) >> 32))
{
}

CProfileValue::CProfileValue(const std::string& strText)
    : m_dwType(PROFILE_TYPE_TEXT), m_strText(strText), m_dwLow(0), m_dwHigh(0)
{
}

CProfileValue::CProfileValue(DWORD dwType, const std::string& strText)
    : m_dwType(dwType), m_strText(strText), m_dwLow(0), m_dwHigh(0)
{
}

CProfileValue::CProfileValue(const CByteBuffer& bytes)
    : m_dwType(PROFILE_TYPE_BINARY), m_dwLow(0), m_dwHigh(0), m_bytes(bytes)
{
}

ULONGLONG CProfileValue::GetNumber() const
{
    return (static_cast<ULONGLONG>(m_dwHigh) << 32) | m_dwLow;
}

std::string CProfileValue::ToString() const
{
    static const char s_szHex[] = "0123456789ABCDEF";
    switch (m_dwType) {
    case PROFILE_TYPE_TEXT:
    case PROFILE_TYPE_MULTI_TEXT:
        return m_strText;
    case PROFILE_TYPE_DWORD:
        return std::to_string(m_dwLow);
    case PROFILE_TYPE_INT64:
        return std::to_string(static_cast<LONGLONG>(GetNumber()));
    case PROFILE_TYPE_BINARY: {
        std::string strHex;
        strHex.reserve(m_bytes.GetSize() * 2);
        for (size_t i = 0; i < m_bytes.GetSize(); ++i) {
            BYTE b = m_bytes.GetAt(i);
            strHex += s_szHex[b >> 4];
            strHex += s_szHex[b & 0x0F];
        }
        return strHex;
    }
    default:
        return std::string();
    }
}

LONGLONG CProfileValue::ToInt64() const
{
    if (m_dwType == PROFILE_TYPE_DWORD || m_dwType == PROFILE_TYPE_INT64)
        return static_cast<LONGLONG>(GetNumber());
    return _atoi64(ToString().c_str());
}

bool CProfileValue::IsEmpty() const
{
    if (m_dwType == PROFILE_TYPE_NONE)
        return true;
    return m_dwType == PROFILE_TYPE_TEXT && m_strText.empty();
}

}  // namespace ZEV
