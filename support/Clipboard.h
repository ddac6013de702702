#pragma once

#include <windows.h>

#include <cstddef>

namespace ZEV {

// Puts texts on the Windows clipboard as CF_TEXT (Shift-JIS) and CF_UNICODETEXT.
class CClipboard
{
public:
    // hWnd owns the clipboard while it is open; dwTimeout is how long to keep
    // trying while another program holds it; bMessage shows failures in a box.
    explicit CClipboard(HWND hWnd = NULL, DWORD dwTimeout = 500, bool bMessage = false);
    virtual ~CClipboard();

    // bAppend false empties the clipboard first; true keeps its other formats.
    bool SetText(const char* text, bool bAppend = false);

protected:
    // Shows one failure; a box without owner, so that it never blocks a window.
    virtual void ShowMessage(const char* text);

private:
    bool OpenWithin();
    // One format's data in a new block handed to the open clipboard.
    bool Put(UINT nFormat, const void* pData, size_t nSize);
    void Report(const char* text);

    HWND m_hWnd;
    DWORD m_dwTimeout;
    bool m_bMessage;
};

} // namespace ZEV
