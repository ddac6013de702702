#include "skin/WindowSkin.h"

#include <windowsx.h>

#include <algorithm>

#include "skin/DibImage.h"
#include "skin/SkinHook.h"
#include "support/ZevException.h"

namespace ZEV {

namespace {

const int HIT_SIZING_FIRST = HTLEFT;         // 10
const int HIT_SIZING_LAST = HTBOTTOMRIGHT;   // 17

int SlotOf(UINT nCommand)
{
    switch (nCommand & 0xFFF0) {
    case SC_CLOSE: return CWindowSkin::SLOT_CLOSE;
    case SC_MAXIMIZE: return CWindowSkin::SLOT_MAXIMIZE;
    case SC_RESTORE: return CWindowSkin::SLOT_RESTORE;
    case SC_MINIMIZE: return CWindowSkin::SLOT_MINIMIZE;
    }
    return CWindowSkin::SLOT_SPARE;
}

int HitCodeOf(int nSlot)
{
    switch (nSlot) {
    case CWindowSkin::SLOT_CLOSE: return HTCLOSE;
    case CWindowSkin::SLOT_MAXIMIZE:
    case CWindowSkin::SLOT_RESTORE: return HTMAXBUTTON;
    case CWindowSkin::SLOT_MINIMIZE: return HTMINBUTTON;
    }
    return HTHELP;
}

RECT WindowRectOf(HWND hWnd)
{
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    return rc;
}

// The client area in window coordinates.
RECT ClientInWindow(HWND hWnd, const RECT& rcWindow)
{
    RECT rc = {};
    GetClientRect(hWnd, &rc);
    MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    OffsetRect(&rc, -rcWindow.left, -rcWindow.top);
    return rc;
}

void FrameRect1(HDC hdc, const RECT& rc, COLORREF cr)
{
    HBRUSH hbr = CreateSolidBrush(cr);
    FrameRect(hdc, &rc, hbr);
    DeleteObject(hbr);
}

} // namespace

CWindowSkin::CWindowSkin()
    : m_crText(GetSysColor(COLOR_BTNTEXT)), m_nFrameWidth(0), m_nFrameHeight(0),
      m_nCaptionHeight(0), m_nPressed(NO_BUTTON), m_bActive(false), m_bTrackingLeave(false),
      m_bIgnoreStyleChange(false), m_nSysMenuHidden(0), m_bRegionOutdated(true),
      m_bAttachingAtCreation(false)
{
    for (int i = 0; i < BUTTON_SLOTS; ++i)
        m_buttons[i].hitCode = HitCodeOf(i);
    m_buttons[SLOT_CLOSE].command = SC_CLOSE;
    m_buttons[SLOT_MAXIMIZE].command = SC_MAXIMIZE;
    m_buttons[SLOT_RESTORE].command = SC_RESTORE;
    m_buttons[SLOT_MINIMIZE].command = SC_MINIMIZE;
    m_buttons[SLOT_SPARE].command = SC_CONTEXTHELP;
}

void CWindowSkin::SetCaptionPainter(const CCaptionPainter& painter)
{
    m_captionPainter = painter;
    // Selected items take the active caption's colour under the highlight text colour,
    // which stays legible whatever the caption text colour is.
    m_menuSkin.SetHighlightColors(painter.GetActiveColor(), GetSysColor(COLOR_HIGHLIGHTTEXT));
}

void CWindowSkin::SetFrameImage(const CSharedBitmap& image)
{
    m_frameImage = image;
    m_frameBrush = image ? CSharedBrush(CreatePatternBrush(image.Get())) : CSharedBrush();
    m_menuSkin.SetBarBrush(m_frameBrush);
}

void CWindowSkin::SetCaptionButton(const CSharedBitmap& strip, int nStates, COLORREF crTransparent,
                                   int x, int y, UINT nCommand)
{
    TCaptionButton& button = m_buttons[SlotOf(nCommand)];
    button.image = strip;
    button.states = std::max(0, nStates);
    button.transparentColor = crTransparent;
    button.x = x;
    button.y = y;
    button.w = button.h = 0;
    BITMAP bm = {};
    if (strip && button.states > 0 && GetObjectA(strip.Get(), sizeof(bm), &bm)) {
        button.w = bm.bmWidth / button.states;
        button.h = bm.bmHeight;
    }
    button.command = nCommand;
}

void CWindowSkin::CopySkinFrom(const CWindowSkin& other)
{
    m_captionPainter = other.m_captionPainter;
    m_frameImage = other.m_frameImage;
    m_frameBrush = other.m_frameBrush;
    m_crText = other.m_crText;
    for (int i = 0; i < BUTTON_SLOTS; ++i) {
        m_buttons[i] = other.m_buttons[i];
        m_buttons[i].visible = m_buttons[i].hot = m_buttons[i].pressed = false;
    }
    m_menuSkin = other.m_menuSkin.Clone();
}

const TCaptionButton& CWindowSkin::GetButton(int nSlot) const
{
    if (nSlot < 0 || nSlot >= BUTTON_SLOTS)
        throw CIndexOutOfBoundsException();
    return m_buttons[nSlot];
}

RECT CWindowSkin::GetButtonRect(int nSlot) const
{
    RECT rcWindow = WindowRectOf(GetHwnd());
    return GetButton(nSlot).GetRect(rcWindow.right - rcWindow.left, rcWindow.bottom - rcWindow.top);
}

DWORD CWindowSkin::MakeVersionKey(bool bWow64, DWORD dwPlatform, DWORD dwMajor, DWORD dwMinor)
{
    return (DWORD(bWow64 ? 1 : 0) << 24) | ((dwPlatform & 0xFF) << 16) | ((dwMajor & 0xFF) << 8) |
           (dwMinor & 0xFF);
}

bool CWindowSkin::IsExcludedVersion(DWORD dwKey)
{
    return dwKey == 0x20600 || dwKey == 0x1020502 || dwKey == 0x1020600 || dwKey == 0x1020601;
}

bool CWindowSkin::Install(bool bVersionCheck)
{
    OSVERSIONINFOEXA osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&osvi))) {
        osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&osvi));
    }
    BOOL bWow64 = FALSE;
    typedef BOOL(WINAPI * TIsWow64Process)(HANDLE, PBOOL);
    TIsWow64Process pfnIsWow64 = reinterpret_cast<TIsWow64Process>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    if (pfnIsWow64 && !pfnIsWow64(GetCurrentProcess(), &bWow64))
        bWow64 = FALSE;
    if (bVersionCheck) {
        DWORD dwKey = MakeVersionKey(bWow64 != FALSE, osvi.dwPlatformId, osvi.dwMajorVersion,
                                     osvi.dwMinorVersion);
        if (IsExcludedVersion(dwKey))
            return false;
    }
    CSkinHook::Create(*this);
    return CSkinHook::GetInstance() != nullptr;
}

void CWindowSkin::PreAttach(HWND hWnd)
{
    MeasureFrame(hWnd);
}

void CWindowSkin::MeasureFrame(HWND hWnd)
{
    const LONG nStyle = GetWindowLongA(hWnd, GWL_STYLE);
    const LONG nExStyle = GetWindowLongA(hWnd, GWL_EXSTYLE);
    if (nStyle & WS_THICKFRAME) {
        m_nFrameWidth = GetSystemMetrics(SM_CXFRAME);
        m_nFrameHeight = GetSystemMetrics(SM_CYFRAME);
    } else if ((nStyle & WS_DLGFRAME) || (nExStyle & WS_EX_DLGMODALFRAME)) {
        m_nFrameWidth = GetSystemMetrics(SM_CXFIXEDFRAME);
        m_nFrameHeight = GetSystemMetrics(SM_CYFIXEDFRAME);
    } else if (nStyle & WS_BORDER) {
        m_nFrameWidth = GetSystemMetrics(SM_CXBORDER);
        m_nFrameHeight = GetSystemMetrics(SM_CYBORDER);
    } else {
        // A caption-less child dialog (a page inside another window) keeps no frame.
        m_nFrameWidth = m_nFrameHeight = 0;
    }
    m_nCaptionHeight = 0;
    if ((nStyle & WS_CAPTION) == WS_CAPTION)
        m_nCaptionHeight =
            GetSystemMetrics((nExStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
}

bool CWindowSkin::OnAttached()
{
    m_bActive = GetActiveWindow() == GetHwnd();
    m_bRegionOutdated = true;
    UpdateButtonVisibility();
    if (m_bAttachingAtCreation)
        return true;
    RecalcFrame();
    if (GetMenu(GetHwnd()))
        DrawMenuBar(GetHwnd());
    return true;
}

void CWindowSkin::OnDetaching()
{
    HWND hWnd = GetHwnd();
    if (m_nPressed != NO_BUTTON && GetCapture() == hWnd) {
        m_nPressed = NO_BUTTON;
        ReleaseCapture();
    }
    m_nPressed = NO_BUTTON;
    if (m_region && IsWindow(hWnd))
        SetWindowRgn(hWnd, nullptr, FALSE);
    m_region.Reset();
    m_bTrackingLeave = false;
}

bool CWindowSkin::TakeOverMenuBar()
{
    HMENU hMenu = GetMenu(GetHwnd());
    if (!hMenu || (GetWindowLongA(GetHwnd(), GWL_STYLE) & WS_CHILD))
        return false;
    // Only items that are not owner-drawn yet (new or changed ones) are taken.
    return m_menuSkin.TakeOver(*this, hMenu, true);
}

int CWindowSkin::MenuBarHeight() const
{
    MENUBARINFO mbi = {};
    mbi.cbSize = sizeof(mbi);
    if (!GetMenuBarInfo(GetHwnd(), OBJID_MENU, 0, &mbi))
        return GetSystemMetrics(SM_CYMENU);
    return mbi.rcBar.bottom - mbi.rcBar.top + 1;
}

LRESULT CWindowSkin::OnNcCalcSize(WPARAM wParam, LPARAM lParam)
{
    if (!wParam)
        return Default(WM_NCCALCSIZE, wParam, lParam);
    TakeOverMenuBar();
    NCCALCSIZE_PARAMS* pParams = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    const RECT rcWindow = pParams->rgrc[0];
    LRESULT lResult = Default(WM_NCCALCSIZE, wParam, lParam);
    RECT rc = rcWindow;
    rc.left += m_nFrameWidth;
    rc.right -= m_nFrameWidth;
    rc.bottom -= m_nFrameHeight;
    rc.top += m_nFrameHeight + m_nCaptionHeight;
    if (GetMenu(GetHwnd()) && !(GetWindowLongA(GetHwnd(), GWL_STYLE) & WS_CHILD))
        rc.top += MenuBarHeight();
    rc.right = std::max(rc.left, rc.right);
    rc.bottom = std::max(rc.top, rc.bottom);
    pParams->rgrc[0] = rc;
    return lResult;
}

RECT CWindowSkin::GetCaptionRect(int nWidth) const
{
    RECT rc = {m_nFrameWidth, m_nFrameHeight, nWidth - m_nFrameWidth,
               m_nFrameHeight + m_nCaptionHeight};
    if (m_nCaptionHeight == 0)
        SetRectEmpty(&rc);
    return rc;
}

void CWindowSkin::UpdateButtonVisibility()
{
    HWND hWnd = GetHwnd();
    const LONG nStyle = GetWindowLongA(hWnd, GWL_STYLE) | (m_nSysMenuHidden ? WS_SYSMENU : 0);
    const LONG nExStyle = GetWindowLongA(hWnd, GWL_EXSTYLE);
    const bool bSysMenu = m_nCaptionHeight > 0 && (nStyle & WS_SYSMENU);
    const bool bBoxes = bSysMenu && (nStyle & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) &&
                        !(nExStyle & WS_EX_TOOLWINDOW);
    const bool bRestorable = IsZoomed(hWnd) || IsIconic(hWnd);

    bool bCloseEnabled = !(GetClassLongA(hWnd, GCL_STYLE) & CS_NOCLOSE);
    HMENU hSysMenu = bSysMenu ? GetSystemMenu(hWnd, FALSE) : nullptr;
    if (hSysMenu) {
        UINT nState = GetMenuState(hSysMenu, SC_CLOSE, MF_BYCOMMAND);
        if (nState != UINT(-1) && (nState & (MF_GRAYED | MF_DISABLED)))
            bCloseEnabled = false;
    }
    m_buttons[SLOT_CLOSE].visible = bSysMenu;
    m_buttons[SLOT_CLOSE].enabled = bCloseEnabled;
    m_buttons[SLOT_MAXIMIZE].visible = bBoxes && !IsZoomed(hWnd);
    m_buttons[SLOT_MAXIMIZE].enabled = (nStyle & WS_MAXIMIZEBOX) != 0;
    m_buttons[SLOT_RESTORE].visible = bBoxes && bRestorable;
    m_buttons[SLOT_RESTORE].enabled = true;
    m_buttons[SLOT_MINIMIZE].visible = bBoxes;
    m_buttons[SLOT_MINIMIZE].enabled = (nStyle & WS_MINIMIZEBOX) && !IsIconic(hWnd);
    m_buttons[SLOT_SPARE].visible = false;
    if (m_buttons[SLOT_MAXIMIZE].visible && m_buttons[SLOT_RESTORE].visible)
        m_buttons[SLOT_MAXIMIZE].visible = false;
}

int CWindowSkin::FindButton(int nHitCode) const
{
    for (int i = 0; i < BUTTON_SLOTS; ++i) {
        if (m_buttons[i].visible && m_buttons[i].hitCode == nHitCode)
            return i;
    }
    return NO_BUTTON;
}

bool CWindowSkin::UpdateButtonStates(int nHitCode)
{
    bool bChanged = false;
    for (int i = 0; i < BUTTON_SLOTS; ++i) {
        TCaptionButton& button = m_buttons[i];
        const bool bUnder = button.visible && button.hitCode == nHitCode;
        const bool bHot = m_nPressed == NO_BUTTON && bUnder;
        const bool bPressed = m_nPressed == i && bUnder;
        bChanged = bChanged || bHot != button.hot || bPressed != button.pressed;
        button.hot = bHot;
        button.pressed = bPressed;
    }
    return bChanged;
}

bool CWindowSkin::ReleaseButton(int nHitCode)
{
    if (m_nPressed == NO_BUTTON)
        return false;
    const TCaptionButton& button = m_buttons[m_nPressed];
    const bool bOnIt = button.visible && button.hitCode == nHitCode;
    const UINT nCommand = button.command;
    // The capture change that follows must not see a pressed button.
    m_nPressed = NO_BUTTON;
    if (GetCapture() == GetHwnd())
        ReleaseCapture();
    UpdateButtonStates(nHitCode);
    PaintNonClient();
    if (bOnIt)
        PostMessageW(GetHwnd(), WM_SYSCOMMAND, nCommand, 0);
    return true;
}

int CWindowSkin::HitTestClientPoint(LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(GetHwnd(), &pt);
    return int(SendMessageW(GetHwnd(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)));
}

LRESULT CWindowSkin::OnNcHitTest(LPARAM lParam)
{
    LRESULT nHit = Default(WM_NCHITTEST, 0, lParam);
    RECT rcWindow = WindowRectOf(GetHwnd());
    const int nWidth = rcWindow.right - rcWindow.left;
    const int nHeight = rcWindow.bottom - rcWindow.top;
    POINT pt = {GET_X_LPARAM(lParam) - rcWindow.left, GET_Y_LPARAM(lParam) - rcWindow.top};
    UpdateButtonVisibility();
    for (int i = 0; i < BUTTON_SLOTS; ++i) {
        RECT rc = m_buttons[i].GetRect(nWidth, nHeight);
        if (m_buttons[i].visible && PtInRect(&rc, pt))
            return m_buttons[i].hitCode;
    }
    if (nHit == HTSYSMENU)
        return nHit;
    RECT rcCaption = GetCaptionRect(nWidth);
    if (PtInRect(&rcCaption, pt))
        return HTCAPTION;
    if (nHit == HTCAPTION)
        return HTNOWHERE;
    if (nHit == HTMINBUTTON || nHit == HTMAXBUTTON || nHit == HTCLOSE)
        return HTCAPTION;
    return nHit;
}

LRESULT CWindowSkin::DefaultWithoutSysMenu(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    HWND hWnd = GetHwnd();
    const LONG nStyle = GetWindowLongA(hWnd, GWL_STYLE);
    if (!(nStyle & WS_SYSMENU))
        return Default(nMsg, wParam, lParam);
    // Without the system menu style the default processing draws no caption
    // buttons of its own over the skin's.
    ++m_nSysMenuHidden;
    m_bIgnoreStyleChange = true;
    SetWindowLongA(hWnd, GWL_STYLE, nStyle & ~WS_SYSMENU);
    m_bIgnoreStyleChange = false;
    LRESULT lResult = Default(nMsg, wParam, lParam);
    if (IsWindow(hWnd) && GetHwnd() == hWnd) {
        m_bIgnoreStyleChange = true;
        SetWindowLongA(hWnd, GWL_STYLE, GetWindowLongA(hWnd, GWL_STYLE) | WS_SYSMENU);
        m_bIgnoreStyleChange = false;
    }
    --m_nSysMenuHidden;
    return lResult;
}

LRESULT CWindowSkin::OnNcLButtonDown(WPARAM wParam, LPARAM lParam)
{
    int nSlot = FindButton(int(wParam));
    if (nSlot != NO_BUTTON && m_buttons[nSlot].enabled && m_buttons[nSlot].HasImage()) {
        m_nPressed = nSlot;
        UpdateButtonStates(int(wParam));
        SetCapture(GetHwnd());
        PaintNonClient();
        return 0;
    }
    if (wParam == HTCAPTION || (wParam >= HIT_SIZING_FIRST && wParam <= HIT_SIZING_LAST))
        return DefaultWithoutSysMenu(WM_NCLBUTTONDOWN, wParam, lParam);
    return Default(WM_NCLBUTTONDOWN, wParam, lParam);
}

LRESULT CWindowSkin::OnNcButtonOffer(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    int nSlot = FindButton(int(wParam));
    if (nSlot != NO_BUTTON && m_buttons[nSlot].HasImage()) {
        // A double click on a button is a second press; right clicks do nothing.
        if (nMsg == WM_NCLBUTTONDBLCLK)
            return OnNcLButtonDown(wParam, lParam);
        return 0;
    }
    if (nMsg == WM_NCRBUTTONUP &&
        (wParam == HTCAPTION || (wParam >= HIT_SIZING_FIRST && wParam <= HIT_SIZING_LAST)))
        return DefaultWithoutSysMenu(nMsg, wParam, lParam);
    return Default(nMsg, wParam, lParam);
}

LRESULT CWindowSkin::OnLButtonUp(WPARAM wParam, LPARAM lParam)
{
    if (m_nPressed == NO_BUTTON || GetCapture() != GetHwnd())
        return Default(WM_LBUTTONUP, wParam, lParam);
    ReleaseButton(HitTestClientPoint(lParam));
    return 0;
}

LRESULT CWindowSkin::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (m_nPressed == NO_BUTTON)
        return Default(WM_MOUSEMOVE, wParam, lParam);
    if (UpdateButtonStates(HitTestClientPoint(lParam)))
        PaintNonClient();
    return 0;
}

LRESULT CWindowSkin::OnNcMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (!m_bTrackingLeave) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE | TME_NONCLIENT, GetHwnd(), HOVER_DEFAULT};
        m_bTrackingLeave = TrackMouseEvent(&tme) != FALSE;
    }
    if (UpdateButtonStates(int(wParam)))
        PaintNonClient();
    return Default(WM_NCMOUSEMOVE, wParam, lParam);
}

LRESULT CWindowSkin::OnNcMouseLeave(WPARAM wParam, LPARAM lParam)
{
    if (m_bTrackingLeave) {
        m_bTrackingLeave = false;
        POINT pt = {};
        GetCursorPos(&pt);
        int nHit = int(SendMessageW(GetHwnd(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)));
        if (UpdateButtonStates(nHit))
            PaintNonClient();
    }
    return Default(WM_NCMOUSELEAVE, wParam, lParam);
}

LRESULT CWindowSkin::OnCtlColor(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = Default(nMsg, wParam, lParam);
    HDC hdc = reinterpret_cast<HDC>(wParam);
    // Only text the window left in the system colour takes the skin's colour.
    COLORREF crNow = ::GetTextColor(hdc);
    if (m_crText != CLR_INVALID &&
        (crNow == GetSysColor(COLOR_WINDOWTEXT) || crNow == GetSysColor(COLOR_BTNTEXT)))
        ::SetTextColor(hdc, m_crText);
    return lResult;
}

LRESULT CWindowSkin::OnMoveOrSize(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_SIZE)
        RebuildRegion();
    ApplyRegion();
    return Default(nMsg, wParam, lParam);
}

LRESULT CWindowSkin::OnInitMenu(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = Default(nMsg, wParam, lParam);
    if (!GetHwnd())
        return lResult;
    HMENU hMenu = reinterpret_cast<HMENU>(wParam);
    if (nMsg == WM_INITMENU) {
        if (hMenu == GetMenu(GetHwnd()) && TakeOverMenuBar())
            DrawMenuBar(GetHwnd());
        return lResult;
    }
    // The system menu keeps the system's look.
    if (!HIWORD(lParam))
        m_menuSkin.TakeOver(*this, hMenu, false);
    return lResult;
}

void CWindowSkin::RebuildRegion()
{
    m_bRegionOutdated = false;
    HWND hWnd = GetHwnd();
    const int nEllipseWidth = m_captionPainter.GetEllipseWidth();
    const int nEllipseHeight = m_captionPainter.GetEllipseHeight();
    const bool bRound = m_nCaptionHeight > 0 && (nEllipseWidth > 0 || nEllipseHeight > 0) &&
                        !IsZoomed(hWnd) && !(GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD);
    if (!bRound) {
        if (m_region)
            SetWindowRgn(hWnd, nullptr, TRUE);
        m_region.Reset();
        return;
    }
    RECT rc = WindowRectOf(hWnd);
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    // Rounded at the top only: the lower corners of the round rectangle lie
    // below the window and are cut off.
    HRGN hRound = CreateRoundRectRgn(0, 0, nWidth + 1, nHeight + nEllipseHeight + 1, nEllipseWidth,
                                     nEllipseHeight);
    HRGN hBox = CreateRectRgn(0, 0, nWidth, nHeight);
    CombineRgn(hRound, hRound, hBox, RGN_AND);
    DeleteObject(hBox);
    m_region = CSharedGdiObjectT<HRGN>(hRound);
}

void CWindowSkin::ApplyRegion()
{
    if (!m_region)
        return;
    // The window owns the region it is given, so it gets a copy.
    HRGN hCopy = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(hCopy, m_region.Get(), nullptr, RGN_COPY);
    if (!SetWindowRgn(GetHwnd(), hCopy, TRUE))
        DeleteObject(hCopy);
}

void CWindowSkin::PaintFrame(HDC hdc, int nWidth, int nHeight, const RECT& rcClient) const
{
    RECT rcAll = {0, 0, nWidth, nHeight};
    if (m_frameBrush) {
        SetBrushOrgEx(hdc, 0, 0, nullptr);
        FillRect(hdc, &rcAll, m_frameBrush.Get());
    } else {
        FillRect(hdc, &rcAll, GetSysColorBrush(COLOR_BTNFACE));
    }
    if (m_nFrameWidth <= 0 && m_nFrameHeight <= 0)
        return;
    // An outline in the caption colour and a thin shadow round the client area.
    FrameRect1(hdc, rcAll, m_bActive ? m_captionPainter.GetActiveColor()
                                     : m_captionPainter.GetInactiveColor());
    RECT rcInner = rcClient;
    InflateRect(&rcInner, 1, 1);
    FrameRect1(hdc, rcInner, GetSysColor(COLOR_BTNSHADOW));
}

void CWindowSkin::PaintMenuBar(HDC hdc, const RECT& rcWindow)
{
    HWND hWnd = GetHwnd();
    HMENU hMenu = GetMenu(hWnd);
    if (!hMenu || (GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD))
        return;
    const int nCount = GetMenuItemCount(hMenu);
    for (int i = 0; i < nCount; ++i) {
        RECT rcItem = {};
        if (!GetMenuItemRect(hWnd, hMenu, i, &rcItem))
            continue;
        OffsetRect(&rcItem, -rcWindow.left, -rcWindow.top);
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_DATA | MIIM_ID;
        if (!GetMenuItemInfoW(hMenu, i, TRUE, &mii))
            continue;
        if (!(mii.fType & MFT_OWNERDRAW)) {
            // An item changed since the take-over; it is taken over again at the next WM_INITMENU.
            PaintPlainBarItem(hdc, hMenu, i, rcItem, (mii.fState & MFS_GRAYED) != 0);
            continue;
        }
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = ODT_MENU;
        dis.itemID = mii.wID;
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = (mii.fState & MFS_GRAYED) ? ODS_GRAYED : 0;
        dis.hwndItem = reinterpret_cast<HWND>(hMenu);
        dis.hDC = hdc;
        dis.rcItem = rcItem;
        dis.itemData = mii.dwItemData;
        // Drawn as the menu would ask for it, through the window's own handler.
        CWindowSubclasser::WindowProc(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    }
}

void CWindowSkin::PaintPlainBarItem(HDC hdc, HMENU hMenu, int nPos, const RECT& rcItem,
                                    bool bGrayed) const
{
    wchar_t szText[256] = {};
    GetMenuStringW(hMenu, nPos, szText, 256, MF_BYPOSITION);
    std::wstring strLabel = std::wstring(szText).substr(0, std::wstring(szText).find(L'\t'));
    RECT rc = rcItem;
    int nSaved = SaveDC(hdc);
    SetBkMode(hdc, TRANSPARENT);
    SelectObject(hdc, m_menuSkin.GetFont(false));
    ::SetTextColor(hdc, bGrayed ? GetSysColor(COLOR_GRAYTEXT) : m_menuSkin.GetTextColor());
    DrawTextW(hdc, strLabel.c_str(), int(strLabel.size()), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RestoreDC(hdc, nSaved);
}

void CWindowSkin::PaintNonClient()
{
    HWND hWnd = GetHwnd();
    if (!hWnd || !IsWindowVisible(hWnd))
        return;
    if (m_bRegionOutdated) {
        // Setting a region here, inside the SetWindowPos that caused the paint,
        // would undo that change (a maximised window would keep its old size).
        RebuildRegion();
        PostMessageW(hWnd, ApplyRegionMessage(), 0, 0);
    }
    UpdateButtonVisibility();
    const RECT rcWindow = WindowRectOf(hWnd);
    const int nWidth = rcWindow.right - rcWindow.left;
    const int nHeight = rcWindow.bottom - rcWindow.top;
    if (nWidth <= 0 || nHeight <= 0)
        return;
    const RECT rcClient = ClientInWindow(hWnd, rcWindow);

    // Painted off screen first, so the caption does not flicker.
    CDibImage buffer = CDibImage::Create(nWidth, nHeight);
    if (buffer.IsEmpty())
        return;
    HDC hdcWindow = GetWindowDC(hWnd);
    HDC hdc = CreateCompatibleDC(hdcWindow);
    HGDIOBJ hOld = SelectObject(hdc, buffer.GetBitmap().Get());

    PaintFrame(hdc, nWidth, nHeight, rcClient);
    if (m_nCaptionHeight > 0) {
        RECT rcCaption = GetCaptionRect(nWidth);
        RECT rcBand = {0, 0, nWidth, rcCaption.bottom};
        int nTextRight = rcCaption.right;
        for (int i = 0; i < BUTTON_SLOTS; ++i) {
            RECT rc = m_buttons[i].GetRect(nWidth, nHeight);
            if (m_buttons[i].visible && m_buttons[i].HasImage())
                nTextRight = std::min<int>(nTextRight, rc.left - 2);
        }
        m_captionPainter.Paint(hdc, hWnd, rcBand, rcCaption, nTextRight, m_bActive);
        for (const TCaptionButton& button : m_buttons)
            button.Draw(hdc, nWidth, nHeight);
    }
    PaintMenuBar(hdc, rcWindow);

    ExcludeClipRect(hdcWindow, rcClient.left, rcClient.top, rcClient.right, rcClient.bottom);
    BitBlt(hdcWindow, 0, 0, nWidth, nHeight, hdc, 0, 0, SRCCOPY);
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    ReleaseDC(hWnd, hdcWindow);
}

UINT CWindowSkin::ApplyRegionMessage()
{
    static const UINT s_nMessage = RegisterWindowMessageA("ZEV.WindowSkin.ApplyRegion");
    return s_nMessage;
}

LRESULT CWindowSkin::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == ApplyRegionMessage() && nMsg != 0) {
        ApplyRegion();
        return 0;
    }
    switch (nMsg) {
    case WM_NCCALCSIZE:
        return OnNcCalcSize(wParam, lParam);
    case WM_NCPAINT:
        PaintNonClient();
        return 0;
    case WM_NCACTIVATE:
        m_bActive = wParam != FALSE;
        PaintNonClient();
        return TRUE;
    case WM_NCHITTEST:
        return OnNcHitTest(lParam);
    case WM_NCMOUSEMOVE:
        return OnNcMouseMove(wParam, lParam);
    case WM_NCMOUSELEAVE:
        return OnNcMouseLeave(wParam, lParam);
    case WM_NCLBUTTONDOWN:
        return OnNcLButtonDown(wParam, lParam);
    case WM_NCLBUTTONUP:
        if (ReleaseButton(int(wParam)))
            return 0;
        return Default(nMsg, wParam, lParam);
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCRBUTTONDBLCLK:
        return OnNcButtonOffer(nMsg, wParam, lParam);
    case WM_LBUTTONUP:
        return OnLButtonUp(wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(wParam, lParam);
    case WM_CAPTURECHANGED:
        if (m_nPressed != NO_BUTTON) {
            m_nPressed = NO_BUTTON;
            for (TCaptionButton& button : m_buttons)
                button.pressed = false;
            PaintNonClient();
        }
        return Default(nMsg, wParam, lParam);
    case WM_THEMECHANGED:
        RecalcFrame();
        InvalidateRect(GetHwnd(), nullptr, TRUE);
        return 0;
    case WM_ACTIVATE:
        m_bActive = LOWORD(wParam) != WA_INACTIVE;
        if (m_bActive && GetActiveWindow() != GetHwnd()) {
            // The activation posted at attachment arrived after another window
            // was activated: passed on, it would take the focus back.
            m_bActive = false;
            PaintNonClient();
            return 0;
        }
        PaintNonClient();
        return Default(nMsg, wParam, lParam);
    case WM_SETCURSOR:
        return DefaultWithoutSysMenu(nMsg, wParam, lParam);
    case WM_MOVE:
    case WM_SIZE:
        return OnMoveOrSize(nMsg, wParam, lParam);
    case WM_STYLECHANGED: {
        LRESULT lResult = Default(nMsg, wParam, lParam);
        if (!m_bIgnoreStyleChange && GetHwnd()) {
            MeasureFrame(GetHwnd());
            m_bRegionOutdated = true;
            RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        }
        return lResult;
    }
    case WM_WINDOWPOSCHANGED: {
        const WINDOWPOS* pPos = reinterpret_cast<const WINDOWPOS*>(lParam);
        // Not on SWP_FRAMECHANGED: setting the region causes one.
        if (pPos && (pPos->flags & SWP_SHOWWINDOW))
            m_bRegionOutdated = true;
        return Default(nMsg, wParam, lParam);
    }
    case WM_SETTEXT:
    case WM_SETICON: {
        // The default processing paints the system's caption right away.
        LRESULT lResult = Default(nMsg, wParam, lParam);
        PaintNonClient();
        return lResult;
    }
    case WM_INITDIALOG:
        m_bRegionOutdated = true;
        return Default(nMsg, wParam, lParam);
    case WM_INITMENU:
    case WM_INITMENUPOPUP:
        return OnInitMenu(nMsg, wParam, lParam);
    case WM_MENUSELECT: {
        LRESULT lResult = Default(nMsg, wParam, lParam);
        // The menu loop ends: the bar loses its highlight.
        if (HIWORD(wParam) == 0xFFFF && lParam == 0)
            PaintNonClient();
        return lResult;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return OnCtlColor(nMsg, wParam, lParam);
    case WM_DESTROY:
        m_nPressed = NO_BUTTON;
        m_region.Reset();
        break;
    case WM_NCDESTROY:
        return Default(nMsg, wParam, lParam);
    }
    return CWindowSubclasser::WindowProc(nMsg, wParam, lParam);
}

} // namespace ZEV
