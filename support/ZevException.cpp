#include "support/ZevException.h"

namespace ZEV {

CZevException::CZevException(const char* message, int nValue)
    : m_strMessage(message), m_nValue(nValue)
{
}

CZevException::~CZevException()
{
}

const char* CZevException::GetString() const
{
    return m_strMessage.GetText();
}

CNullPointerException::CNullPointerException(int nValue)
    : CZevException("NULLポインタです。", nValue)
{
}

CIndexOutOfBoundsException::CIndexOutOfBoundsException(int nValue)
    : CZevException("INDEXが範囲外です。", nValue)
{
}

CInvalidParamException::CInvalidParamException(int nValue)
    : CZevException("パラメータが不正です。", nValue)
{
}

CNotSupportException::CNotSupportException()
    : CZevException("サポートされていません。", 0)
{
}

CEmptyException::CEmptyException()
    : CZevException("空です。", 0)
{
}

CShortOfDataException::CShortOfDataException(int nValue)
    : CZevException("データが足りません。", nValue)
{
}

CIoFailureException::CIoFailureException(int nValue)
    : CZevException("入出力失敗です。", nValue)
{
}

CIoFailureException::CIoFailureException(const char* message, int nValue)
    : CZevException(message, nValue)
{
}

CReadFailureException::CReadFailureException(int nValue)
    : CIoFailureException("読み込み失敗です。", nValue)
{
}

CWriteFailureException::CWriteFailureException(int nValue)
    : CIoFailureException("書き込み失敗です。", nValue)
{
}

} // namespace ZEV
