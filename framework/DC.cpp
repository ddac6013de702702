#include "framework/DC.h"

#include "framework/Wnd.h"
#include "support/WideText.h"

#include <map>
#include <memory>

__attribute__((optimize("no-delete-null-pointer-checks")))
HDC CDC::GetSafeHdc() const
{
    return this == nullptr ? NULL : m_hDC;
}

CDC* CDC::FromHandle(HDC hDC)
{
    if (hDC == NULL)
        return nullptr;
    // DCs handed to a handler are few and short-lived; one wrapper per handle
    // per thread is kept and reused.
    thread_local std::map<HDC, std::unique_ptr<CDC>> map;
    auto it = map.find(hDC);
    if (it != map.end())
        return it->second.get();
    if (map.size() >= 64)
        map.clear();
    std::unique_ptr<CDC> p(new CDC);
    p->m_hDC = hDC;
    CDC* pDC = p.get();
    map.emplace(hDC, std::move(p));
    return pDC;
}

BOOL CDC::Attach(HDC hDC)
{
    if (hDC == NULL || m_hDC != NULL)
        return FALSE;
    m_hDC = hDC;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC hDC = m_hDC;
    m_hDC = NULL;
    return hDC;
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    COLORREF old = ::SetBkColor(m_hDC, clr);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, NULL, 0, NULL);
    ::SetBkColor(m_hDC, old);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_ps(), m_hWnd(pWnd->GetSafeHwnd())
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    m_hDC = NULL;
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    m_hDC = ::GetDC(m_hWnd);
}

CClientDC::~CClientDC()
{
    if (m_hDC != NULL)
        ::ReleaseDC(m_hWnd, m_hDC);
    m_hDC = NULL;
}

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    m_hDC = ::GetWindowDC(m_hWnd);
}

CWindowDC::~CWindowDC()
{
    if (m_hDC != NULL)
        ::ReleaseDC(m_hWnd, m_hDC);
    m_hDC = NULL;
}

int CDC::DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat)
{
    std::wstring strText = ZEV::ToWide(lpszString, nCount);
    return ::DrawTextW(m_hDC, strText.c_str(), static_cast<int>(strText.size()), lpRect, nFormat);
}

BOOL CDC::TextOut(int x, int y, LPCSTR lpszString, int nCount)
{
    std::wstring strText = ZEV::ToWide(lpszString, nCount);
    return ::TextOutW(m_hDC, x, y, strText.c_str(), static_cast<int>(strText.size()));
}
