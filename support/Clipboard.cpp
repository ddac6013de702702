#include "support/Clipboard.h"

#include "support/Tick.h"

#include <cstring>

namespace ZEV {

CClipboard::CClipboard(HWND hWnd, DWORD dwTimeout, bool bMessage)
    : m_hWnd(hWnd), m_dwTimeout(dwTimeout), m_bMessage(bMessage)
{
}

CClipboard::~CClipboard()
{
}

bool CClipboard::SetText(const char* text, bool bAppend)
{
    if (text == nullptr)
        text = "";
    if (!OpenWithin()) {
        Report("クリップ・ボードが利用できません。");
        return false;
    }
    if (!bAppend && !::EmptyClipboard()) {
        ::CloseClipboard();
        Report("クリップ・ボードが一杯です");
        return false;
    }
    size_t nSize = std::strlen(text) + 1;
    HGLOBAL hBlock = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, nSize);
    void* p = hBlock != NULL ? ::GlobalLock(hBlock) : nullptr;
    if (p == nullptr) {
        if (hBlock != NULL)
            ::GlobalFree(hBlock);
        Report("メモリが一杯です");
        ::CloseClipboard();
        return false;
    }
    std::memcpy(p, text, nSize);
    ::GlobalUnlock(hBlock);
    if (::SetClipboardData(CF_TEXT, hBlock) == NULL) {
        ::GlobalFree(hBlock);
        ::CloseClipboard();
        return false;
    }
    // The block belongs to the clipboard now.
    ::CloseClipboard();
    return true;
}

void CClipboard::ShowMessage(const char* text)
{
    ::MessageBoxA(NULL, text, "ZEV::CClipboard", MB_OK);
}

bool CClipboard::OpenWithin()
{
    // Another program may hold the clipboard for a moment; keep trying.
    DWORD dwStart = GetTick();
    while (!::OpenClipboard(m_hWnd)) {
        ::Sleep(1);
        if (GetTick() - dwStart >= m_dwTimeout)
            return false;
    }
    return true;
}

void CClipboard::Report(const char* text)
{
    if (m_bMessage)
        ShowMessage(text);
}

} // namespace ZEV
