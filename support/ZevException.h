#pragma once

#include "support/SharedText.h"

namespace ZEV {

// Root of the support library's exceptions, thrown by value. Each carries a
// message (shared between copies) and one 32-bit value: the system error code
// for file failures, otherwise 0.
class CZevException
{
public:
    CZevException(const char* message, int nValue);
    virtual ~CZevException();

    virtual const char* GetString() const;
    int GetValue() const { return m_nValue; }

private:
    CSharedText m_strMessage;
    int m_nValue;
};

// Programming errors.
class CNullPointerException : public CZevException
{
public:
    explicit CNullPointerException(int nValue = 0);
};

class CIndexOutOfBoundsException : public CZevException
{
public:
    explicit CIndexOutOfBoundsException(int nValue = 0);
};

class CInvalidParamException : public CZevException
{
public:
    explicit CInvalidParamException(int nValue = 0);
};

class CNotSupportException : public CZevException
{
public:
    CNotSupportException();
};

class CEmptyException : public CZevException
{
public:
    CEmptyException();
};

// A read that had to deliver a given number of bytes delivered fewer. Not an
// I/O failure: the file itself worked.
class CShortOfDataException : public CZevException
{
public:
    explicit CShortOfDataException(int nValue = 0);
};

// File input/output failures.
class CIoFailureException : public CZevException
{
public:
    explicit CIoFailureException(int nValue);
    CIoFailureException(const char* message, int nValue);
};

class CReadFailureException : public CIoFailureException
{
public:
    explicit CReadFailureException(int nValue);
};

class CWriteFailureException : public CIoFailureException
{
public:
    explicit CWriteFailureException(int nValue);
};

} // namespace ZEV
