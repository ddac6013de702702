#include "skin/CaptionButton.h"

#include "skin/DibImage.h"

namespace ZEV {

namespace {

const BYTE DISABLED_ALPHA = 0x60;

} // namespace

RECT TCaptionButton::GetRect(int nWidth, int nHeight) const
{
    RECT rc = {};
    if (!visible)
        return rc;
    rc.left = x >= 0 ? x : nWidth + x - w;
    rc.top = y >= 0 ? y : nHeight + y - h;
    rc.right = rc.left + w;
    rc.bottom = rc.top + h;
    return rc;
}

int TCaptionButton::GetStateImage() const
{
    if (!enabled)
        return 3;
    if (pressed)
        return 1;
    return hot ? 2 : 0;
}

void TCaptionButton::Draw(HDC hdc, int nWidth, int nHeight) const
{
    if (!visible || !HasImage())
        return;
    BITMAP bm = {};
    if (!GetObjectA(image.Get(), sizeof(bm), &bm))
        return;
    const int nCell = bm.bmWidth / states;
    const int nState = GetStateImage();
    RECT rcDest = GetRect(nWidth, nHeight);
    // A strip without an image for a state shows its normal image faded.
    const bool bHasState = nState < states;
    RECT rcSource = {nCell * (bHasState ? nState : 0), 0, 0, bm.bmHeight};
    rcSource.right = rcSource.left + nCell;
    if (bHasState)
        DrawImageTransparent(hdc, rcDest, image.Get(), rcSource, transparentColor);
    else
        DrawImageFaded(hdc, rcDest, image.Get(), rcSource, transparentColor, DISABLED_ALPHA);
}

} // namespace ZEV
