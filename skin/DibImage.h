#pragma once

#include <windows.h>

#include "skin/SharedGdiObjectT.h"

namespace ZEV {

// A 32-bit top-down DIB section whose pixels can be edited in place. Pixels
// are DWORDs in the bitmap's byte order: blue in the low byte, then green,
// then red (0x00RRGGBB), unlike COLORREF, which has red in the low byte.
class CDibImage
{
public:
    CDibImage() : m_pBits(nullptr), m_nWidth(0), m_nHeight(0) {}

    // A zero-filled image; empty when the size is not positive.
    static CDibImage Create(int nWidth, int nHeight);
    // A fresh copy of any bitmap; empty when the source is empty or unreadable.
    static CDibImage CopyOf(HBITMAP hSource);

    bool IsEmpty() const { return m_pBits == nullptr; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    const CSharedBitmap& GetBitmap() const { return m_bitmap; }

    DWORD GetPixel(int x, int y) const;
    void SetPixel(int x, int y, DWORD dwPixel);

    // Every pixel whose colour equals crFrom (alpha ignored) becomes crTo.
    void ReplaceColor(COLORREF crFrom, COLORREF crTo);
    // Every pixel whose red, green and blue are all 0 becomes crTo.
    void ReplaceBlack(COLORREF crTo);

    template <class F>
    void Transform(F fn)
    {
        GdiFlush();
        for (int i = 0; i < m_nWidth * m_nHeight; ++i)
            m_pBits[i] = fn(m_pBits[i]);
    }

    static DWORD ToPixel(COLORREF cr);
    static COLORREF ToColorRef(DWORD dwPixel);

private:
    CSharedBitmap m_bitmap;
    DWORD* m_pBits;
    int m_nWidth;
    int m_nHeight;
};

// Draws (or stretches) the source part of hImage at full opacity, leaving out
// every pixel of crTransparent. 0xFEFFFFFF stands for the colour of the
// image's bottom-left pixel; a value with any bit of its top byte set draws
// the image without transparency.
void DrawImageTransparent(HDC hdc, const RECT& rcDest, HBITMAP hImage, const RECT& rcSource,
                          COLORREF crTransparent);

// As DrawImageTransparent, but blended onto hdc with the given constant alpha
// (0..255): how a state that a strip has no image for is shown.
void DrawImageFaded(HDC hdc, const RECT& rcDest, HBITMAP hImage, const RECT& rcSource,
                    COLORREF crTransparent, BYTE nAlpha);

const COLORREF CLR_BOTTOM_LEFT_PIXEL = 0xFEFFFFFF;

} // namespace ZEV
