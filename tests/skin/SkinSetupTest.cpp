#include <gtest/gtest.h>

#include "skin/SkinSetup.h"
#include "tests/skin/SkinTestSupport.h"

using namespace ZEV;

namespace {

TSkinColors ProgramColors()
{
    TSkinColors colors;
    colors.textColor = 0x000000;
    colors.faceColor = skintest::FACE;
    colors.activeCaptionColor = skintest::ACTIVE_CAPTION;
    colors.inactiveCaptionColor = skintest::INACTIVE_CAPTION;
    return colors;
}

// The face colour 0xFFA37A (COLORREF) as a bitmap pixel.
const DWORD FACE_PIXEL = 0x7AA3FF;

} // namespace

TEST(SkinSetupTest, ButtonOffsetsScaleWithPixelsPerInchTruncated)
{
    EXPECT_EQ(-6, ScaleByDpi(-6, 96));
    EXPECT_EQ(-23, ScaleByDpi(-23, 96));
    EXPECT_EQ(-40, ScaleByDpi(-40, 96));
    EXPECT_EQ(5, ScaleByDpi(5, 96));
    EXPECT_EQ(-7, ScaleByDpi(-6, 120));
    EXPECT_EQ(-28, ScaleByDpi(-23, 120));
    EXPECT_EQ(-50, ScaleByDpi(-40, 120));
    EXPECT_EQ(6, ScaleByDpi(5, 120));
}

TEST(SkinSetupTest, MaximizeTintMapsRedToOrangeAndGreenToBlue)
{
    EXPECT_EQ(0xFFE600u, TintMaximizePixel(0xFF0000));  // blue 0, green 230, red 255
    EXPECT_EQ(0x0000FFu, TintMaximizePixel(0x00FF00));  // blue 255, green 0, red 0
    EXPECT_EQ(0x645A00u, TintMaximizePixel(0x640000));  // 230 × 100 / 255 = 90.2, floored
    EXPECT_EQ(0x0000FFu, SwapRedBluePixel(0xFF0000));
    EXPECT_EQ(0x3412FFu, SwapRedBluePixel(0xFF1234));
}

TEST(SkinSetupTest, ImageEditsWorkOnFreshCopiesOfTheBitmaps)
{
    // red, green, black, white
    CSharedBitmap source = skintest::MakeBitmap24(4, 1, {0xFF0000, 0x00FF00, 0x000000, 0xFFFFFF});
    TSkinColors colors = ProgramColors();

    CDibImage frame = MakeFrameImage(source.Get(), colors);
    ASSERT_FALSE(frame.IsEmpty());
    EXPECT_EQ(0xFF0000u, frame.GetPixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(0x000000u, frame.GetPixel(2, 0) & 0xFFFFFF);
    EXPECT_EQ(FACE_PIXEL, frame.GetPixel(3, 0) & 0xFFFFFF);

    CDibImage close = MakeCloseImage(source.Get(), colors);
    EXPECT_EQ(0xFF0000u, close.GetPixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(FACE_PIXEL, close.GetPixel(2, 0) & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, close.GetPixel(3, 0) & 0xFFFFFF);

    CDibImage maximize = MakeMaximizeImage(source.Get(), colors);
    EXPECT_EQ(0xFFE600u, maximize.GetPixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(0x0000FFu, maximize.GetPixel(1, 0) & 0xFFFFFF);
    EXPECT_EQ(FACE_PIXEL, maximize.GetPixel(2, 0) & 0xFFFFFF);

    CDibImage minimize = MakeMinimizeImage(source.Get(), colors);
    EXPECT_EQ(0x0000FFu, minimize.GetPixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(0x00FF00u, minimize.GetPixel(1, 0) & 0xFFFFFF);
    EXPECT_EQ(FACE_PIXEL, minimize.GetPixel(2, 0) & 0xFFFFFF);

    // The source bitmap itself is untouched.
    CDibImage again = CDibImage::CopyOf(source.Get());
    EXPECT_EQ(0x000000u, again.GetPixel(2, 0) & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, again.GetPixel(3, 0) & 0xFFFFFF);
}

TEST(SkinSetupTest, WhiteTextColourReachesTheSkinAsNearWhite)
{
    CSharedBitmap buttons = skintest::MakeButtonStrip();
    CSharedBitmap frame = skintest::MakeFrameTexture();
    TSkinColors colors = ProgramColors();

    colors.textColor = 0xFFFFFF;
    auto pWhite = BuildSkin(colors, frame.Get(), buttons.Get(), 3);
    EXPECT_EQ(0xFEFFFFu, pWhite->GetTextColor());
    EXPECT_EQ(0xFEFFFFu, pWhite->GetMenuSkin().GetTextColor());
    EXPECT_EQ(CLR_INVALID, pWhite->GetMenuSkin().GetBackColor());

    colors.textColor = 0x123456;
    auto pOther = BuildSkin(colors, frame.Get(), buttons.Get(), 3);
    EXPECT_EQ(0x123456u, pOther->GetTextColor());
    EXPECT_EQ(0x123456u, pOther->GetMenuSkin().GetTextColor());
}

TEST(SkinSetupTest, SetUpObjectHoldsColoursAndButtonsAtTheirPlaces)
{
    CSharedBitmap buttons = skintest::MakeButtonStrip();
    CSharedBitmap frame = skintest::MakeFrameTexture();
    auto pSkin = BuildSkin(ProgramColors(), frame.Get(), buttons.Get(), 3);

    const CCaptionPainter& painter = pSkin->GetCaptionPainter();
    EXPECT_EQ(skintest::ACTIVE_CAPTION, painter.GetActiveColor());
    EXPECT_EQ(skintest::INACTIVE_CAPTION, painter.GetInactiveColor());
    EXPECT_EQ(GetSysColor(COLOR_CAPTIONTEXT), painter.GetActiveTextColor());
    EXPECT_EQ(GetSysColor(COLOR_INACTIVECAPTIONTEXT), painter.GetInactiveTextColor());
    EXPECT_EQ(5, painter.GetEllipseWidth());
    EXPECT_EQ(5, painter.GetEllipseHeight());
    ASSERT_TRUE(pSkin->GetFrameImage());

    struct
    {
        int nSlot;
        int x;
        UINT nCommand;
        int nHitCode;
    } const expected[] = {
        {CWindowSkin::SLOT_CLOSE, ScaleX(-6), SC_CLOSE, HTCLOSE},
        {CWindowSkin::SLOT_MAXIMIZE, ScaleX(-23), SC_MAXIMIZE, HTMAXBUTTON},
        {CWindowSkin::SLOT_RESTORE, ScaleX(-23), SC_RESTORE, HTMAXBUTTON},
        {CWindowSkin::SLOT_MINIMIZE, ScaleX(-40), SC_MINIMIZE, HTMINBUTTON},
    };
    for (const auto& e : expected) {
        const TCaptionButton& button = pSkin->GetButton(e.nSlot);
        EXPECT_EQ(e.x, button.x) << e.nSlot;
        EXPECT_EQ(ScaleY(5), button.y) << e.nSlot;
        EXPECT_EQ(14, button.w) << e.nSlot;
        EXPECT_EQ(15, button.h) << e.nSlot;
        EXPECT_EQ(3, button.states) << e.nSlot;
        EXPECT_EQ(CLR_BOTTOM_LEFT_PIXEL, button.transparentColor) << e.nSlot;
        EXPECT_EQ(e.nCommand, button.command) << e.nSlot;
        EXPECT_EQ(e.nHitCode, button.hitCode) << e.nSlot;
        EXPECT_TRUE(button.HasImage()) << e.nSlot;
    }
    // Maximise and restore share one strip.
    EXPECT_EQ(pSkin->GetButton(CWindowSkin::SLOT_MAXIMIZE).image.Get(),
              pSkin->GetButton(CWindowSkin::SLOT_RESTORE).image.Get());
    EXPECT_NE(pSkin->GetButton(CWindowSkin::SLOT_CLOSE).image.Get(),
              pSkin->GetButton(CWindowSkin::SLOT_MINIMIZE).image.Get());
}

TEST(SkinSetupTest, MissingBitmapsGiveASkinWithoutImages)
{
    auto pSkin = BuildSkin(ProgramColors(), nullptr, nullptr, 3);
    EXPECT_FALSE(pSkin->GetFrameImage());
    for (int i = 0; i < CWindowSkin::BUTTON_SLOTS; ++i)
        EXPECT_FALSE(pSkin->GetButton(i).HasImage()) << i;
    EXPECT_FALSE(LoadSkinBitmap(GetModuleHandleA(nullptr), 131));
}

TEST(SkinSetupTest, VersionKeysLeaveOnlyTheListedVersionsUnskinned)
{
    EXPECT_EQ(0x1020601u, CWindowSkin::MakeVersionKey(true, 2, 6, 1));
    EXPECT_EQ(0x20600u, CWindowSkin::MakeVersionKey(false, VER_PLATFORM_WIN32_NT, 6, 0));
    for (DWORD dwKey : {0x20600u, 0x1020502u, 0x1020600u, 0x1020601u})
        EXPECT_TRUE(CWindowSkin::IsExcludedVersion(dwKey)) << std::hex << dwKey;
    for (DWORD dwKey : {0x10400u, 0x1040Au, 0x1045Au, 0x20333u, 0x20400u, 0x20500u, 0x20501u,
                        0x20601u, 0x20A00u, 0x1020A00u})
        EXPECT_FALSE(CWindowSkin::IsExcludedVersion(dwKey)) << std::hex << dwKey;
}
