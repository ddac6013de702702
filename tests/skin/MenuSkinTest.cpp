#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin/DibImage.h"
#include "skin/SkinHook.h"
#include "tests/skin/SkinTestSupport.h"

using namespace ZEV;

namespace {

// Each case takes menus over in a window of its own, so registration ids start at 0x8000.
class MenuSkinTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        skintest::EnsureSkinInstalled();
        m_hWnd = skintest::CreateTestDialog("メニュー");
        ASSERT_NE(nullptr, m_hWnd);
        m_pSkin = CSkinHook::GetInstance()->FindTracked(m_hWnd);
        ASSERT_NE(nullptr, m_pSkin);
    }
    void TearDown() override
    {
        for (HMENU hMenu : m_menus)
            DestroyMenu(hMenu);
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }

    HMENU Popup(const std::vector<std::string>& items)
    {
        HMENU hMenu = CreatePopupMenu();
        UINT nId = 200;
        for (const std::string& strItem : items) {
            if (strItem.empty())
                AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenuA(hMenu, MF_STRING, nId++, strItem.c_str());
        }
        m_menus.push_back(hMenu);
        return hMenu;
    }
    // What the menu would hear when it opens: WM_INITMENUPOPUP, then one
    // WM_MEASUREITEM per owner-drawn item.
    std::vector<int> OpenAndMeasure(HMENU hMenu)
    {
        SendMessageA(m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), MAKELPARAM(0, FALSE));
        std::vector<int> widths;
        for (int i = 0; i < GetMenuItemCount(hMenu); ++i) {
            MENUITEMINFOA mii = ItemInfo(hMenu, i);
            if (!(mii.fType & MFT_OWNERDRAW))
                continue;
            MEASUREITEMSTRUCT mis = {};
            mis.CtlType = ODT_MENU;
            mis.itemID = mii.wID;
            mis.itemData = mii.dwItemData;
            SendMessageA(m_hWnd, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
            widths.push_back(int(mis.itemWidth));
        }
        return widths;
    }
    static MENUITEMINFOA ItemInfo(HMENU hMenu, int nPos)
    {
        MENUITEMINFOA mii = {};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID;
        GetMenuItemInfoA(hMenu, nPos, TRUE, &mii);
        return mii;
    }
    int TextWidth(const char* pszText) const
    {
        HDC hdc = GetDC(nullptr);
        HGDIOBJ hOld = SelectObject(hdc, m_pSkin->GetMenuSkin().GetFont(false));
        RECT rc = {};
        DrawTextA(hdc, pszText, -1, &rc, DT_CALCRECT | DT_SINGLELINE);
        SelectObject(hdc, hOld);
        ReleaseDC(nullptr, hdc);
        return rc.right - rc.left;
    }

    HWND m_hWnd = nullptr;
    CWindowSkin* m_pSkin = nullptr;
    std::vector<HMENU> m_menus;
};

} // namespace

TEST_F(MenuSkinTest, PopupWithAcceleratorsIsWiderByTheReservedColumn)
{
    std::vector<int> plain = OpenAndMeasure(Popup({"ログ開始(&L)", "ログクリア(&C)", "", "終了(&X)"}));
    std::vector<int> accel = OpenAndMeasure(
        Popup({"ログ開始(&L)\tCtrl+L", "ログクリア(&C)\tDel", "", "終了(&X)"}));
    ASSERT_EQ(3u, plain.size());
    ASSERT_EQ(plain.size(), accel.size());
    const int nReserve = TextWidth("Atl+F4   ");
    ASSERT_GT(nReserve, 0);
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(plain[i] + nReserve, accel[i]) << i;
        EXPECT_GT(plain[i], GetSystemMetrics(SM_CXMENUCHECK)) << i;
    }
}

TEST_F(MenuSkinTest, ItemDataCarriesPositionAndRegistrationId)
{
    HMENU hFirst = Popup({"ポート設定(&P)...", "", "ログ設定(&O)..."});
    HMENU hSecond = Popup({"バージョン情報(&A)..."});
    OpenAndMeasure(hFirst);
    OpenAndMeasure(hSecond);

    EXPECT_EQ(MAKELONG(0, 0x8000), LONG(ItemInfo(hFirst, 0).dwItemData));
    EXPECT_EQ(MAKELONG(2, 0x8000), LONG(ItemInfo(hFirst, 2).dwItemData));
    EXPECT_FALSE(ItemInfo(hFirst, 1).fType & MFT_OWNERDRAW);  // separators keep the system look
    EXPECT_EQ(MAKELONG(0, 0x8001), LONG(ItemInfo(hSecond, 0).dwItemData));
    EXPECT_EQ(2, m_pSkin->GetRegisteredMenuCount());

    // Opening it again takes nothing over twice.
    OpenAndMeasure(hFirst);
    EXPECT_EQ(2, m_pSkin->GetRegisteredMenuCount());
    EXPECT_EQ(MAKELONG(0, 0x8000), LONG(ItemInfo(hFirst, 0).dwItemData));

    // A destroyed menu leaves the list at the next look-up.
    DestroyMenu(hSecond);
    m_menus.pop_back();
    OpenAndMeasure(hFirst);
    EXPECT_EQ(1, m_pSkin->GetRegisteredMenuCount());
}

TEST_F(MenuSkinTest, SelectedItemIsDrawnInTheActiveCaptionColours)
{
    HMENU hMenu = Popup({"コピー(&C)\tCtrl+C"});
    OpenAndMeasure(hMenu);
    MENUITEMINFOA mii = ItemInfo(hMenu, 0);

    CDibImage canvas = CDibImage::Create(120, 24);
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, canvas.GetBitmap().Get());
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_MENU;
    dis.itemID = mii.wID;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.hwndItem = reinterpret_cast<HWND>(hMenu);
    dis.hDC = hdc;
    dis.rcItem = {0, 0, 120, 24};
    dis.itemData = mii.dwItemData;

    dis.itemState = ODS_SELECTED;
    SendMessageA(m_hWnd, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    EXPECT_EQ(skintest::ACTIVE_CAPTION, CDibImage::ToColorRef(canvas.GetPixel(1, 1)));
    dis.itemState = 0;
    SendMessageA(m_hWnd, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    EXPECT_EQ(GetSysColor(COLOR_MENU), CDibImage::ToColorRef(canvas.GetPixel(1, 1)));

    SelectObject(hdc, hOld);
    DeleteDC(hdc);
}
