#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace ZEV {

// Reference-counted GDI object (bitmap, brush, font, region). The set-up
// object, the hook and every window skin share their images this way; the
// last holder deletes the object.
template <class H>
class CSharedGdiObjectT
{
public:
    CSharedGdiObjectT() {}
    explicit CSharedGdiObjectT(H h)
    {
        if (h)
            m_pObject.reset(h, [](H p) { ::DeleteObject(p); });
    }

    H Get() const { return m_pObject.get(); }
    explicit operator bool() const { return m_pObject != nullptr; }
    void Reset() { m_pObject.reset(); }
    long GetRefCount() const { return m_pObject.use_count(); }

private:
    std::shared_ptr<typename std::remove_pointer<H>::type> m_pObject;
};

typedef CSharedGdiObjectT<HBITMAP> CSharedBitmap;
typedef CSharedGdiObjectT<HBRUSH> CSharedBrush;
typedef CSharedGdiObjectT<HFONT> CSharedFont;

} // namespace ZEV
