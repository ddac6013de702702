#pragma once

#include <windows.h>

class CWnd;

// A device context: the few drawing calls the program's windows make.
// Objects made by FromHandle are temporary wrappers that never release the DC.
class CDC
{
public:
    CDC() : m_hDC(NULL) {}
    virtual ~CDC() {}

    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const;
    static CDC* FromHandle(HDC hDC);

    BOOL Attach(HDC hDC);
    HDC Detach();

    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
    void FillRect(LPCRECT lpRect, HBRUSH hBrush) { ::FillRect(m_hDC, lpRect, hBrush); }
    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void DrawFocusRect(LPCRECT lpRect) { ::DrawFocusRect(m_hDC, lpRect); }
    // Shift-JIS texts, drawn through the Unicode functions.
    int DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat);
    BOOL TextOut(int x, int y, LPCSTR lpszString, int nCount);
    COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF crColor) { return ::SetBkColor(m_hDC, crColor); }
    int SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }
    int GetBkMode() const { return ::GetBkMode(m_hDC); }
    HGDIOBJ SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int nSavedDC) { return ::RestoreDC(m_hDC, nSavedDC); }
    int GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hDC, nIndex); }

    HDC m_hDC;
};

// BeginPaint / EndPaint for the duration of a WM_PAINT handler.
class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

// GetDC / ReleaseDC of a window's client area.
class CClientDC : public CDC
{
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// GetWindowDC / ReleaseDC of a whole window, frame included.
class CWindowDC : public CDC
{
public:
    explicit CWindowDC(CWnd* pWnd);
    ~CWindowDC() override;

private:
    HWND m_hWnd;
};
