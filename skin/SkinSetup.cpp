#include "skin/SkinSetup.h"

#include <algorithm>

namespace ZEV {

namespace {

const int BUTTON_TOP = 5;
const int CLOSE_RIGHT = -6;
const int MAXIMIZE_RIGHT = -23;
const int MINIMIZE_RIGHT = -40;
const int CORNER_ELLIPSE = 5;

int ScreenPixelsPerInch(int nIndex)
{
    HDC hdc = GetDC(nullptr);
    int nDpi = GetDeviceCaps(hdc, nIndex);
    ReleaseDC(nullptr, hdc);
    return nDpi;
}

void GiveButton(CWindowSkin& skin, const CDibImage& image, int nStates, int x, UINT nCommand)
{
    skin.SetCaptionButton(image.GetBitmap(), nStates, CLR_BOTTOM_LEFT_PIXEL, x, ScaleY(BUTTON_TOP),
                          nCommand);
}

} // namespace

TSkinColors::TSkinColors()
    : keyColor(0xFFFFFF), textColor(GetSysColor(COLOR_BTNTEXT)),
      faceColor(GetSysColor(COLOR_BTNFACE)),
      activeCaptionTextColor(GetSysColor(COLOR_CAPTIONTEXT)),
      activeCaptionColor(GetSysColor(COLOR_ACTIVECAPTION)),
      inactiveCaptionTextColor(GetSysColor(COLOR_INACTIVECAPTIONTEXT)),
      inactiveCaptionColor(GetSysColor(COLOR_INACTIVECAPTION)), versionCheck(false)
{
}

int ScaleByDpi(int v, int nPixelsPerInch)
{
    // The single-precision constant lies just above 1/96, so exact multiples of
    // 96 come out whole however wide the intermediate is.
    const float fPerInch = 1.0f / 96;
    return int(float(v * nPixelsPerInch) * fPerInch);
}

int ScaleX(int v)
{
    return ScaleByDpi(v, ScreenPixelsPerInch(LOGPIXELSX));
}

int ScaleY(int v)
{
    return ScaleByDpi(v, ScreenPixelsPerInch(LOGPIXELSY));
}

DWORD TintMaximizePixel(DWORD dwPixel)
{
    const DWORD r = (dwPixel >> 16) & 0xFF;
    const DWORD g = (dwPixel >> 8) & 0xFF;
    const DWORD newGreen = std::min<DWORD>(255, 230 * r / 255);
    return (dwPixel & 0xFF000000) | (r << 16) | (newGreen << 8) | g;
}

DWORD SwapRedBluePixel(DWORD dwPixel)
{
    const DWORD r = (dwPixel >> 16) & 0xFF;
    const DWORD b = dwPixel & 0xFF;
    return (dwPixel & 0xFF00FF00) | (b << 16) | r;
}

CDibImage MakeFrameImage(HBITMAP hFrame, const TSkinColors& colors)
{
    CDibImage image = CDibImage::CopyOf(hFrame);
    if (!image.IsEmpty())
        image.ReplaceColor(colors.keyColor, colors.faceColor);
    return image;
}

namespace {

// A copy of the button strip with its pixels edited (when given), black then
// becoming the face colour.
CDibImage MakeButtonImage(HBITMAP hButtons, const TSkinColors& colors, DWORD (*pfnEdit)(DWORD))
{
    CDibImage image = CDibImage::CopyOf(hButtons);
    if (image.IsEmpty())
        return image;
    if (pfnEdit != nullptr)
        image.Transform(pfnEdit);
    image.ReplaceBlack(colors.faceColor);
    return image;
}

} // namespace

CDibImage MakeCloseImage(HBITMAP hButtons, const TSkinColors& colors)
{
    return MakeButtonImage(hButtons, colors, nullptr);
}

CDibImage MakeMaximizeImage(HBITMAP hButtons, const TSkinColors& colors)
{
    return MakeButtonImage(hButtons, colors, &TintMaximizePixel);
}

CDibImage MakeMinimizeImage(HBITMAP hButtons, const TSkinColors& colors)
{
    return MakeButtonImage(hButtons, colors, &SwapRedBluePixel);
}

std::unique_ptr<CWindowSkin> BuildSkin(const TSkinColors& colors, HBITMAP hFrame, HBITMAP hButtons,
                                       int nButtonStates)
{
    auto pSkin = std::make_unique<CWindowSkin>();
    pSkin->SetCaptionPainter(CCaptionPainter(colors.activeCaptionColor, colors.inactiveCaptionColor,
                                             colors.activeCaptionTextColor,
                                             colors.inactiveCaptionTextColor, CORNER_ELLIPSE,
                                             CORNER_ELLIPSE));
    pSkin->SetFrameImage(MakeFrameImage(hFrame, colors).GetBitmap());
    GiveButton(*pSkin, MakeCloseImage(hButtons, colors), nButtonStates, ScaleX(CLOSE_RIGHT), SC_CLOSE);
    CDibImage maximize = MakeMaximizeImage(hButtons, colors);
    GiveButton(*pSkin, maximize, nButtonStates, ScaleX(MAXIMIZE_RIGHT), SC_MAXIMIZE);
    GiveButton(*pSkin, maximize, nButtonStates, ScaleX(MAXIMIZE_RIGHT), SC_RESTORE);
    GiveButton(*pSkin, MakeMinimizeImage(hButtons, colors), nButtonStates, ScaleX(MINIMIZE_RIGHT),
               SC_MINIMIZE);
    // Pure white stands for "no colour" in the skin's text colour slots.
    const COLORREF crText = colors.textColor == 0xFFFFFF ? 0xFEFFFF : colors.textColor;
    pSkin->SetTextColor(crText);
    pSkin->SetMenuTextColors(crText, CLR_INVALID);
    return pSkin;
}

void SetupSkin(const TSkinColors& colors, HBITMAP hFrame, HBITMAP hButtons, int nButtonStates)
{
    std::unique_ptr<CWindowSkin> pSetup = BuildSkin(colors, hFrame, hButtons, nButtonStates);
    pSetup->Install(colors.versionCheck);
}

CSharedBitmap LoadSkinBitmap(HINSTANCE hInstance, UINT nId)
{
    return CSharedBitmap(static_cast<HBITMAP>(
        LoadImageA(hInstance, MAKEINTRESOURCEA(nId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

} // namespace ZEV
