#pragma once

#include <windows.h>

#include <memory>

namespace ZEV {

// Move's z-order tag: the letters "HWND" read as a little-endian number. With
// it, each control that is moved is stacked after the window held in the
// chain, so controls end up in the order the layout places them.
const DWORD LAYOUT_ZORDER_TAG = 0x48574E44;

// One node of a control layout: a control, or a container that shares out
// the space it is given. Sizes and positions are pixels in the client
// coordinates of the controls' parent window.
class ILayoutItem
{
public:
    virtual ~ILayoutItem() {}

    // A new item with the same settings; the caller owns it.
    virtual ILayoutItem* Clone() const = 0;
    // The item's present size.
    virtual bool GetSize(int& nWidth, int& nHeight) = 0;
    // The smallest size the item needs.
    virtual bool GetMinSize(int& nWidth, int& nHeight) = 0;
    // True when the item takes the size.
    virtual bool SetSize(int nWidth, int nHeight) = 0;
    // Places the top left corner at (x, y); a negative coordinate is left as
    // it is, so a container can arrange in one direction only.
    virtual void Move(int x, int y, DWORD dwTag, HWND* phChain) = 0;
};

typedef std::shared_ptr<ILayoutItem> TLayoutItemPtr;

} // namespace ZEV
