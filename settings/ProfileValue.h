#pragma once

#include <windows.h>

#include <string>

#include "support/ByteBuffer.h"

namespace ZEV {

// Kinds of a profile value; each code is one ASCII letter.
enum EProfileType : DWORD {
    PROFILE_TYPE_NONE = 'n',        // key absent; written, it deletes the key
    PROFILE_TYPE_TEXT = 's',
    PROFILE_TYPE_MULTI_TEXT = 'p',  // a registry string list joined into one text
    PROFILE_TYPE_DWORD = 'd',
    PROFILE_TYPE_INT64 = 'i',
    PROFILE_TYPE_BINARY = 'b',
};

// One value as it travels to and from a profile store.
class CProfileValue {
public:
    CProfileValue();                                  // kind 'n'
    explicit CProfileValue(DWORD dwValue);            // kind 'd'
    explicit CProfileValue(LONGLONG llValue);         // kind 'i'
    explicit CProfileValue(const std::string& strText);        // kind 's'
    CProfileValue(DWORD dwType, const std::string& strText);  // kind 's' or 'p'
    explicit CProfileValue(const CByteBuffer& bytes);          // kind 'b'

    DWORD GetType() const { return m_dwType; }
    const std::string& GetText() const { return m_strText; }
    ULONGLONG GetNumber() const;
    const CByteBuffer& GetBytes() const { return m_bytes; }

    // Decimal for numbers, upper-case hex pairs for bytes, the text as is.
    std::string ToString() const;
    // The number for 'd' and 'i'; otherwise the text form read as a
    // decimal number (leading blanks and a sign allowed, 0 when none).
    LONGLONG ToInt64() const;
    bool IsEmpty() const;

private:
    DWORD m_dwType;
    std::string m_strText;
    DWORD m_dwLow;
    DWORD m_dwHigh;
    CByteBuffer m_bytes;
};

}  // namespace ZEV
