#include "tests/skin/SkinTestSupport.h"

#include <cstring>

#include "skin/SkinSetup.h"

namespace skintest {

namespace {

INT_PTR CALLBACK TestDialogProc(HWND, UINT nMsg, WPARAM, LPARAM)
{
    return nMsg == WM_INITDIALOG ? TRUE : FALSE;
}

void AppendText(std::vector<WORD>& out, const char* pszSjis)
{
    int n = MultiByteToWideChar(932, 0, pszSjis, -1, nullptr, 0);
    std::vector<wchar_t> wide(n > 0 ? n : 1);
    MultiByteToWideChar(932, 0, pszSjis, -1, wide.data(), n);
    for (wchar_t ch : wide)
        out.push_back(WORD(ch));
    if (n <= 0)
        out.push_back(0);
}

void AlignDword(std::vector<WORD>& out)
{
    if (out.size() % 2)
        out.push_back(0);
}

} // namespace

ZEV::CSharedBitmap MakeBitmap24(int nWidth, int nHeight, const std::vector<DWORD>& pixels)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = nWidth;
    bmi.bmiHeader.biHeight = -nHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    void* pBits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    const int nStride = (nWidth * 3 + 3) & ~3;
    BYTE* pRow = static_cast<BYTE*>(pBits);
    for (int y = 0; y < nHeight; ++y, pRow += nStride) {
        for (int x = 0; x < nWidth; ++x) {
            DWORD px = pixels[y * nWidth + x];
            pRow[x * 3] = BYTE(px);
            pRow[x * 3 + 1] = BYTE(px >> 8);
            pRow[x * 3 + 2] = BYTE(px >> 16);
        }
    }
    return ZEV::CSharedBitmap(hbm);
}

ZEV::CSharedBitmap MakeButtonStrip()
{
    std::vector<DWORD> pixels(42 * 15, 0);
    const DWORD faces[3] = {0xCD2D28, 0x8C1916, 0xF05046};
    for (int s = 0; s < 3; ++s) {
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 14; ++x) {
                int dx = 2 * x + 1 - 14, dy = 2 * y + 1 - 15;
                if (dx * dx + dy * dy <= 144)
                    pixels[y * 42 + s * 14 + x] = faces[s];
            }
        }
    }
    return MakeBitmap24(42, 15, pixels);
}

ZEV::CSharedBitmap MakeFrameTexture()
{
    std::vector<DWORD> pixels(90 * 90, 0xFFFFFF);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 90; ++x)
            if ((x + y) % 6 == 0)
                pixels[y * 90 + x] = 0xCEDCF0;
    return MakeBitmap24(90, 90, pixels);
}

void EnsureSkinInstalled()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    ZEV::TSkinColors colors;
    colors.textColor = 0x000000;
    colors.faceColor = FACE;
    colors.activeCaptionColor = ACTIVE_CAPTION;
    colors.inactiveCaptionColor = INACTIVE_CAPTION;
    ZEV::CSharedBitmap buttons = MakeButtonStrip();
    ZEV::CSharedBitmap frame = MakeFrameTexture();
    ZEV::SetupSkin(colors, frame.Get(), buttons.Get(), 3);
}

std::vector<WORD> MakeDialogTemplate(const char* pszTitleSjis, DWORD dwStyle, short cx, short cy)
{
    std::vector<WORD> out;
    DLGTEMPLATE dlg = {};
    dlg.style = dwStyle | DS_SETFONT;
    dlg.cdit = 1;
    dlg.cx = cx;
    dlg.cy = cy;
    out.resize(sizeof(DLGTEMPLATE) / sizeof(WORD));
    std::memcpy(out.data(), &dlg, sizeof(dlg));
    out.push_back(0);  // no menu
    out.push_back(0);  // dialog class
    AppendText(out, pszTitleSjis);
    out.push_back(9);
    AppendText(out, "MS UI Gothic");
    AlignDword(out);
    DLGITEMTEMPLATE item = {};
    item.style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
    item.x = 10;
    item.y = 10;
    item.cx = 50;
    item.cy = 14;
    item.id = IDOK;
    size_t nAt = out.size();
    out.resize(nAt + sizeof(DLGITEMTEMPLATE) / sizeof(WORD));
    std::memcpy(out.data() + nAt, &item, sizeof(item));
    out.push_back(0xFFFF);
    out.push_back(0x0080);  // button
    AppendText(out, "OK");
    out.push_back(0);
    AlignDword(out);
    return out;
}

HWND CreateTestDialog(const char* pszTitleSjis, DWORD dwStyle)
{
    if (!dwStyle)
        dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    std::vector<WORD> tmpl = MakeDialogTemplate(pszTitleSjis, dwStyle, 160, 80);
    HWND hWnd = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                           reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()), nullptr,
                                           &TestDialogProc, 0);
    if (!hWnd)
        return nullptr;
    SetWindowPos(hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    ShowWindow(hWnd, SW_SHOW);
    SetActiveWindow(hWnd);
    UpdateWindow(hWnd);
    PumpMessages();
    return hWnd;
}

void PumpMessages()
{
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool TakePosted(HWND hWnd, UINT nMsg, MSG& msg)
{
    return PeekMessageA(&msg, hWnd, nMsg, nMsg, PM_REMOVE) != FALSE;
}

POINT ScreenCentre(HWND hWnd, const RECT& rcInWindow)
{
    RECT rcWindow = {};
    GetWindowRect(hWnd, &rcWindow);
    POINT pt = {rcWindow.left + (rcInWindow.left + rcInWindow.right) / 2,
                rcWindow.top + (rcInWindow.top + rcInWindow.bottom) / 2};
    return pt;
}

} // namespace skintest
