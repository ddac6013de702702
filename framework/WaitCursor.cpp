#include "framework/WaitCursor.h"

CWaitCursor::CWaitCursor()
{
    m_hPrevious = ::SetCursor(::LoadCursorA(NULL, IDC_WAIT));
}

CWaitCursor::~CWaitCursor()
{
    ::SetCursor(m_hPrevious);
}

void CWaitCursor::Restore()
{
    ::SetCursor(::LoadCursorA(NULL, IDC_WAIT));
}
