#pragma once

#include <windows.h>

// Shows the hourglass while the object lives and puts the previous cursor
// back when it goes.
class CWaitCursor
{
public:
    CWaitCursor();
    ~CWaitCursor();

    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

    // Shows the hourglass again, after a message box or dialog replaced it.
    void Restore();

private:
    HCURSOR m_hPrevious;
};
