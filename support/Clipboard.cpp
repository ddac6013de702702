#include "support/Clipboard.h"

#include "support/Tick.h"
#include "support/WideText.h"

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
    // CF_TEXT keeps the Shift-JIS bytes as they always were; CF_UNICODETEXT beside
    // them lets other programs paste the rows right on any system, and CF_LOCALE
    // tells those that read CF_TEXT which code page it is in.
    const std::wstring strWide = ToWide(text);
    const LCID lcid = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
    if (!Put(CF_TEXT, text, std::strlen(text) + 1) ||
        !Put(CF_UNICODETEXT, strWide.c_str(), (strWide.size() + 1) * sizeof(wchar_t)) ||
        !Put(CF_LOCALE, &lcid, sizeof lcid)) {
        ::CloseClipboard();
        return false;
    }
    ::CloseClipboard();
    return true;
}

bool CClipboard::Put(UINT nFormat, const void* pData, size_t nSize)
{
    HGLOBAL hBlock = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, nSize);
    void* p = hBlock != NULL ? ::GlobalLock(hBlock) : nullptr;
    if (p == nullptr) {
        if (hBlock != NULL)
            ::GlobalFree(hBlock);
        Report("メモリが一杯です");
        return false;
    }
    std::memcpy(p, pData, nSize);
    ::GlobalUnlock(hBlock);
    if (::SetClipboardData(nFormat, hBlock) == NULL) {
        ::GlobalFree(hBlock);
        return false;
    }
    // The block belongs to the clipboard now.
    return true;
}

void CClipboard::ShowMessage(const char* text)
{
    ::MessageBoxW(NULL, ToWide(text).c_str(), L"ZEV::CClipboard", MB_OK);
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
