#include "skin/MenuSkin.h"

#include <algorithm>
#include <memory>

#include "framework/JapaneseFont.h"
#include "support/WideText.h"
#include "support/ZevException.h"

namespace ZEV {

namespace {

// Reserves the accelerator column of a popup whose items have accelerators.
const char ACCELERATOR_RESERVE[] = "Atl+F4   ";
const int TEXT_PADDING = 4;
const int BAR_ITEM_PADDING = 12;
const int CHECK_GAP = 4;
const int ACCELERATOR_MARGIN = 8;

HFONT MakeMenuFont(bool bBold)
{
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
        ncm.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, ncm.cbSize, &ncm, 0);
    }
    if (bBold)
        ncm.lfMenuFont.lfWeight = FW_BOLD;
    return CreateJapaneseFont(ncm.lfMenuFont);
}

// Menu texts are kept as Shift-JIS and drawn through the Unicode function.
int DrawSjisText(HDC hdc, const std::string& strText, RECT& rc, UINT nFormat)
{
    const std::wstring strWide = ToWide(strText);
    return DrawTextW(hdc, strWide.c_str(), int(strWide.size()), &rc, nFormat);
}

SIZE MeasureText(HDC hdc, const std::string& strText)
{
    RECT rc = {0, 0, 0, 0};
    if (!strText.empty())
        DrawSjisText(hdc, strText, rc, DT_CALCRECT | DT_SINGLELINE);
    SIZE size = {rc.right - rc.left, rc.bottom - rc.top};
    return size;
}

int ImageWidth(HBITMAP hbm)
{
    BITMAP bm = {};
    // Predefined item images (HBMMENU_*) are small numbers, not bitmaps.
    if (reinterpret_cast<ULONG_PTR>(hbm) <= 16 || !GetObjectA(hbm, sizeof(bm), &bm))
        return 0;
    return bm.bmWidth;
}

std::string LabelOf(const std::string& strText)
{
    return strText.substr(0, strText.find('\t'));
}

std::string AcceleratorOf(const std::string& strText)
{
    size_t nTab = strText.find('\t');
    return nTab == std::string::npos ? std::string() : strText.substr(nTab + 1);
}

// Screen DC with one font selected for measuring.
class CMeasureDC
{
public:
    explicit CMeasureDC(HFONT hFont) : m_hdc(GetDC(nullptr)), m_hOld(SelectObject(m_hdc, hFont)) {}
    ~CMeasureDC()
    {
        SelectObject(m_hdc, m_hOld);
        ReleaseDC(nullptr, m_hdc);
    }
    CMeasureDC(const CMeasureDC&) = delete;
    CMeasureDC& operator=(const CMeasureDC&) = delete;

    HDC Get() const { return m_hdc; }
    void Select(HFONT hFont) { SelectObject(m_hdc, hFont); }

private:
    HDC m_hdc;
    HGDIOBJ m_hOld;
};

void FillSolid(HDC hdc, const RECT& rc, COLORREF cr)
{
    HBRUSH hbr = CreateSolidBrush(cr);
    FillRect(hdc, &rc, hbr);
    DeleteObject(hbr);
}

void DrawCheckMark(HDC hdc, const RECT& rcCheck, COLORREF cr)
{
    int cx = rcCheck.right - rcCheck.left;
    int cy = rcCheck.bottom - rcCheck.top;
    int nUnit = std::max(1, std::min(cx, cy) / 8);
    POINT pts[3] = {{rcCheck.left + 2 * nUnit, rcCheck.top + cy / 2},
                    {rcCheck.left + cx / 2 - nUnit, rcCheck.top + cy / 2 + 2 * nUnit},
                    {rcCheck.right - 2 * nUnit, rcCheck.top + cy / 2 - 2 * nUnit}};
    HPEN hPen = CreatePen(PS_SOLID, std::max(2, nUnit), cr);
    HGDIOBJ hOld = SelectObject(hdc, hPen);
    Polyline(hdc, pts, 3);
    SelectObject(hdc, hOld);
    DeleteObject(hPen);
}

} // namespace

CMenuSkin::CMenuSkin()
    : m_crText(GetSysColor(COLOR_MENUTEXT)), m_crBack(CLR_INVALID),
      m_crHighlight(GetSysColor(COLOR_HIGHLIGHT)), m_crHighlightText(GetSysColor(COLOR_HIGHLIGHTTEXT))
{
}

void CMenuSkin::SetTextColors(COLORREF crText, COLORREF crBack)
{
    m_crText = crText;
    m_crBack = crBack;
}

void CMenuSkin::SetHighlightColors(COLORREF crBack, COLORREF crText)
{
    m_crHighlight = crBack;
    m_crHighlightText = crText;
}

HFONT CMenuSkin::GetFont(bool bBold) const
{
    CSharedFont& font = bBold ? m_boldFont : m_font;
    if (!font)
        font = CSharedFont(MakeMenuFont(bBold));
    return font.Get();
}

CMenuSkin CMenuSkin::Clone() const
{
    CMenuSkin copy(*this);
    copy.m_font.Reset();
    copy.m_boldFont.Reset();
    return copy;
}

bool CMenuSkin::TakeOver(CWindowSubclasser& owner, HMENU hMenu, bool bMenuBar) const
{
    if (!hMenu || !IsMenu(hMenu))
        return false;
    auto pDrawer = std::make_unique<CMenuDrawer>(*this, hMenu, bMenuBar);
    std::vector<TMenuItemRecord>& items = pDrawer->GetItems();
    const int nCount = GetMenuItemCount(hMenu);
    bool bAny = false;
    for (int i = 0; i < nCount; ++i) {
        wchar_t szText[256] = {};
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_BITMAP;
        mii.dwTypeData = szText;
        mii.cch = 255;
        TMenuItemRecord item;
        if (GetMenuItemInfoW(hMenu, i, TRUE, &mii)) {
            item.text = FromWide(szText);
            item.type = mii.fType;
            item.state = mii.fState;
            item.image = mii.hbmpItem;
        }
        // Separators keep the system's look; items drawn by others stay theirs.
        item.ownerDrawn = !(item.type & (MFT_SEPARATOR | MFT_OWNERDRAW));
        bAny = bAny || item.ownerDrawn;
        items.push_back(item);
    }
    if (!bAny)
        return false;
    pDrawer->MeasureAll();
    CMenuDrawer* pKeep = pDrawer.get();
    WORD wId = owner.RegisterMenu(hMenu, std::move(pDrawer));
    for (int i = 0; i < nCount; ++i) {
        const TMenuItemRecord& item = pKeep->GetItems()[i];
        if (!item.ownerDrawn)
            continue;
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_DATA;
        mii.fType = item.type | MFT_OWNERDRAW;
        mii.dwItemData = MAKELONG(i, wId);
        SetMenuItemInfoW(hMenu, i, TRUE, &mii);
    }
    return true;
}

CMenuDrawer::CMenuDrawer(const CMenuSkin& skin, HMENU hMenu, bool bMenuBar)
    : m_skin(skin), m_hMenu(hMenu), m_bMenuBar(bMenuBar)
{
}

void CMenuDrawer::MeasureAll()
{
    CMeasureDC dc(m_skin.GetFont(false));
    if (m_bMenuBar)
        MeasureBarItems(dc.Get());
    else
        MeasurePopupItems(dc.Get());
}

void CMenuDrawer::MeasureBarItems(HDC hdc)
{
    const int nHeight = GetSystemMetrics(SM_CYMENU) - 1;
    for (TMenuItemRecord& item : m_items) {
        SIZE size = MeasureText(hdc, LabelOf(item.text));
        item.width = size.cx + BAR_ITEM_PADDING;
        item.height = std::max<int>(nHeight, size.cy + TEXT_PADDING);
    }
}

void CMenuDrawer::MeasurePopupItems(HDC hdc)
{
    const int nReserve = std::max(0, GetSystemMetrics(SM_CXMENUCHECK) + CHECK_GAP);
    const int nCheckHeight = GetSystemMetrics(SM_CYMENUCHECK);
    bool bAccelerators = false;
    for (TMenuItemRecord& item : m_items) {
        if (!item.ownerDrawn)
            continue;
        bAccelerators = bAccelerators || item.text.find('\t') != std::string::npos;
        if (item.state & MFS_DEFAULT)
            SelectObject(hdc, m_skin.GetFont(true));
        SIZE size = MeasureText(hdc, LabelOf(item.text));
        SelectObject(hdc, m_skin.GetFont(false));
        item.width = std::max<int>(size.cx + nReserve + TEXT_PADDING, ImageWidth(item.image));
        item.height = std::max<int>(size.cy + TEXT_PADDING, nCheckHeight + 2);
    }
    if (!bAccelerators)
        return;
    const int nColumn = MeasureText(hdc, ACCELERATOR_RESERVE).cx;
    for (TMenuItemRecord& item : m_items) {
        if (item.ownerDrawn)
            item.width += nColumn;
    }
}

const TMenuItemRecord* CMenuDrawer::FindItem(ULONG_PTR itemData) const
{
    size_t nIndex = LOWORD(itemData);
    if (nIndex >= m_items.size())
        throw CIndexOutOfBoundsException();
    return &m_items[nIndex];
}

void CMenuDrawer::MeasureItem(MEASUREITEMSTRUCT& mis)
{
    const TMenuItemRecord* pItem = FindItem(mis.itemData);
    mis.itemWidth = pItem->width;
    mis.itemHeight = pItem->height;
}

void CMenuDrawer::DrawItem(const DRAWITEMSTRUCT& dis)
{
    const TMenuItemRecord* pItem = FindItem(dis.itemData);
    int nSaved = SaveDC(dis.hDC);
    if (m_bMenuBar)
        DrawBarItem(dis, *pItem);
    else
        DrawPopupItem(dis, *pItem);
    RestoreDC(dis.hDC, nSaved);
}

void CMenuDrawer::DrawBarItem(const DRAWITEMSTRUCT& dis, const TMenuItemRecord& item)
{
    HDC hdc = dis.hDC;
    RECT rc = dis.rcItem;
    const bool bLit = (dis.itemState & (ODS_SELECTED | ODS_HOTLIGHT)) != 0;
    const bool bGrayed = (dis.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    if (bLit) {
        FillSolid(hdc, rc, m_skin.GetHighlightColor());
    } else if (m_skin.GetBarBrush()) {
        SetBrushOrgEx(hdc, 0, 0, nullptr);
        FillRect(hdc, &rc, m_skin.GetBarBrush());
    } else {
        FillRect(hdc, &rc, GetSysColorBrush(COLOR_MENUBAR));
    }
    SetBkMode(hdc, TRANSPARENT);
    SelectObject(hdc, m_skin.GetFont(false));
    COLORREF crText = bLit ? m_skin.GetHighlightTextColor() : m_skin.GetTextColor();
    SetTextColor(hdc, bGrayed ? GetSysColor(COLOR_GRAYTEXT) : crText);
    std::string strLabel = LabelOf(item.text);
    UINT nFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (dis.itemState & ODS_NOACCEL)
        nFormat |= DT_HIDEPREFIX;
    DrawSjisText(hdc, strLabel, rc, nFormat);
}

void CMenuDrawer::DrawPopupItem(const DRAWITEMSTRUCT& dis, const TMenuItemRecord& item)
{
    HDC hdc = dis.hDC;
    RECT rc = dis.rcItem;
    const bool bSelected = (dis.itemState & ODS_SELECTED) != 0;
    const bool bGrayed = (dis.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    if (bSelected)
        FillSolid(hdc, rc, m_skin.GetHighlightColor());
    else if (m_skin.GetBackColor() != CLR_INVALID)
        FillSolid(hdc, rc, m_skin.GetBackColor());
    else
        FillRect(hdc, &rc, GetSysColorBrush(COLOR_MENU));

    COLORREF crText = bSelected ? m_skin.GetHighlightTextColor() : m_skin.GetTextColor();
    if (bGrayed)
        crText = GetSysColor(COLOR_GRAYTEXT);
    const int nCheck = GetSystemMetrics(SM_CXMENUCHECK);
    if (dis.itemState & ODS_CHECKED) {
        RECT rcCheck = {rc.left + 2, rc.top, rc.left + 2 + nCheck, rc.bottom};
        DrawCheckMark(hdc, rcCheck, crText);
    }
    std::string strText = item.text;
    if (strText.empty()) {
        wchar_t szText[256] = {};
        GetMenuStringW(m_hMenu, LOWORD(dis.itemData), szText, 256, MF_BYPOSITION);
        strText = FromWide(szText);
    }
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, crText);
    SelectObject(hdc, m_skin.GetFont((item.state & MFS_DEFAULT) != 0));
    UINT nFormat = DT_VCENTER | DT_SINGLELINE;
    if (dis.itemState & ODS_NOACCEL)
        nFormat |= DT_HIDEPREFIX;
    RECT rcText = rc;
    rcText.left += nCheck + CHECK_GAP + 2;
    rcText.right -= ACCELERATOR_MARGIN;
    std::string strLabel = LabelOf(strText);
    DrawSjisText(hdc, strLabel, rcText, nFormat | DT_LEFT);
    std::string strAccelerator = AcceleratorOf(strText);
    if (!strAccelerator.empty())
        DrawSjisText(hdc, strAccelerator, rcText, nFormat | DT_RIGHT | DT_NOPREFIX);
}

} // namespace ZEV
