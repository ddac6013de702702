#include "skin/DibImage.h"

#include <cstring>
#include <vector>

namespace ZEV {

namespace {

BITMAPINFO TopDown32(int nWidth, int nHeight)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = nWidth;
    bmi.bmiHeader.biHeight = -nHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

// Memory DC with one bitmap selected, restored and deleted on scope exit.
class CSelectedBitmap
{
public:
    CSelectedBitmap(HDC hdcLike, HBITMAP hbm) : m_hdc(CreateCompatibleDC(hdcLike)), m_hOld(nullptr)
    {
        if (m_hdc)
            m_hOld = SelectObject(m_hdc, hbm);
    }
    ~CSelectedBitmap()
    {
        if (!m_hdc)
            return;
        SelectObject(m_hdc, m_hOld);
        DeleteDC(m_hdc);
    }
    CSelectedBitmap(const CSelectedBitmap&) = delete;
    CSelectedBitmap& operator=(const CSelectedBitmap&) = delete;

    HDC Get() const { return m_hdc; }

private:
    HDC m_hdc;
    HGDIOBJ m_hOld;
};

COLORREF ResolveTransparent(HDC hdcImage, HBITMAP hImage, COLORREF crTransparent)
{
    if (crTransparent != CLR_BOTTOM_LEFT_PIXEL)
        return crTransparent;
    BITMAP bm = {};
    if (!GetObjectA(hImage, sizeof(bm), &bm))
        return crTransparent;
    return ::GetPixel(hdcImage, 0, bm.bmHeight - 1);
}

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

} // namespace

CDibImage CDibImage::Create(int nWidth, int nHeight)
{
    CDibImage image;
    if (nWidth <= 0 || nHeight <= 0)
        return image;
    BITMAPINFO bmi = TopDown32(nWidth, nHeight);
    void* pBits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!hbm || !pBits)
        return image;
    image.m_bitmap = CSharedBitmap(hbm);
    image.m_pBits = static_cast<DWORD*>(pBits);
    image.m_nWidth = nWidth;
    image.m_nHeight = nHeight;
    std::memset(pBits, 0, size_t(nWidth) * nHeight * 4);
    return image;
}

CDibImage CDibImage::CopyOf(HBITMAP hSource)
{
    BITMAP bm = {};
    if (!hSource || !GetObjectA(hSource, sizeof(bm), &bm))
        return CDibImage();
    CDibImage image = Create(bm.bmWidth, bm.bmHeight);
    if (image.IsEmpty())
        return image;
    BITMAPINFO bmi = TopDown32(bm.bmWidth, bm.bmHeight);
    HDC hdc = GetDC(nullptr);
    int nLines = GetDIBits(hdc, hSource, 0, bm.bmHeight, image.m_pBits, &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, hdc);
    if (nLines != bm.bmHeight)
        return CDibImage();
    return image;
}

DWORD CDibImage::GetPixel(int x, int y) const
{
    if (IsEmpty() || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return 0;
    GdiFlush();
    return m_pBits[y * m_nWidth + x];
}

void CDibImage::SetPixel(int x, int y, DWORD dwPixel)
{
    if (IsEmpty() || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return;
    GdiFlush();
    m_pBits[y * m_nWidth + x] = dwPixel;
}

void CDibImage::ReplaceColor(COLORREF crFrom, COLORREF crTo)
{
    const DWORD dwFrom = ToPixel(crFrom);
    const DWORD dwTo = ToPixel(crTo);
    Transform([=](DWORD px) { return (px & 0xFFFFFF) == dwFrom ? dwTo : px; });
}

void CDibImage::ReplaceBlack(COLORREF crTo)
{
    ReplaceColor(RGB(0, 0, 0), crTo);
}

DWORD CDibImage::ToPixel(COLORREF cr)
{
    return (DWORD(GetRValue(cr)) << 16) | (DWORD(GetGValue(cr)) << 8) | GetBValue(cr);
}

COLORREF CDibImage::ToColorRef(DWORD dwPixel)
{
    return RGB((dwPixel >> 16) & 0xFF, (dwPixel >> 8) & 0xFF, dwPixel & 0xFF);
}

void DrawImageTransparent(HDC hdc, const RECT& rcDest, HBITMAP hImage, const RECT& rcSource,
                          COLORREF crTransparent)
{
    if (!hImage)
        return;
    CSelectedBitmap image(hdc, hImage);
    if (!image.Get())
        return;
    COLORREF cr = ResolveTransparent(image.Get(), hImage, crTransparent);
    if (cr & 0xFF000000) {
        SetStretchBltMode(hdc, COLORONCOLOR);
        StretchBlt(hdc, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), image.Get(),
                   rcSource.left, rcSource.top, Width(rcSource), Height(rcSource), SRCCOPY);
        return;
    }
    TransparentBlt(hdc, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), image.Get(),
                   rcSource.left, rcSource.top, Width(rcSource), Height(rcSource), cr);
}

void DrawImageFaded(HDC hdc, const RECT& rcDest, HBITMAP hImage, const RECT& rcSource,
                    COLORREF crTransparent, BYTE nAlpha)
{
    // Compose the transparent image over a copy of what is there, then blend
    // that copy back, so the left-out pixels stay unchanged.
    CDibImage scratch = CDibImage::Create(Width(rcDest), Height(rcDest));
    if (scratch.IsEmpty())
        return;
    CSelectedBitmap work(hdc, scratch.GetBitmap().Get());
    BitBlt(work.Get(), 0, 0, Width(rcDest), Height(rcDest), hdc, rcDest.left, rcDest.top, SRCCOPY);
    RECT rcWork = {0, 0, Width(rcDest), Height(rcDest)};
    DrawImageTransparent(work.Get(), rcWork, hImage, rcSource, crTransparent);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, nAlpha, 0};
    AlphaBlend(hdc, rcDest.left, rcDest.top, Width(rcDest), Height(rcDest), work.Get(), 0, 0,
               Width(rcDest), Height(rcDest), blend);
}

} // namespace ZEV
