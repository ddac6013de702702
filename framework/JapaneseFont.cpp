#include "framework/JapaneseFont.h"

#include <cwchar>

namespace ZEV {

namespace {

// The program's own faces come first, then those a non-Japanese Windows ships or
// installs with Japanese support, then the IPA fonts of Linux systems under Wine.
const wchar_t* const FIXED_FACES[] = {
    L"ＭＳ ゴシック", L"MS Gothic", L"BIZ UDGothic", L"IPAGothic", L"IPAゴシック",
};
const wchar_t* const PROPORTIONAL_FACES[] = {
    L"ＭＳ Ｐゴシック", L"MS PGothic", L"MS UI Gothic", L"Meiryo UI", L"Meiryo", L"Yu Gothic UI",
    L"Yu Gothic", L"IPAPGothic", L"IPA Pゴシック",
};

int CALLBACK OnFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM lParam)
{
    *reinterpret_cast<bool*>(lParam) = true;
    return 0;
}

// The face the system's font mapper gives for lf, and whether it is fixed-pitch.
struct TMappedFace {
    wchar_t szFace[LF_FACESIZE];
    bool bFixed;
};

TMappedFace MapFace(const LOGFONTW& lf)
{
    TMappedFace mapped = {L"", false};
    HFONT hFont = ::CreateFontIndirectW(&lf);
    if (hFont == NULL)
        return mapped;
    HDC hdc = ::GetDC(NULL);
    HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    ::GetTextFaceW(hdc, LF_FACESIZE, mapped.szFace);
    TEXTMETRICW tm = {};
    // The bit set means a variable pitch.
    mapped.bFixed = ::GetTextMetricsW(hdc, &tm) && (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0;
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(NULL, hdc);
    ::DeleteObject(hFont);
    return mapped;
}

template <size_t N>
const wchar_t* FirstPresent(const wchar_t* const (&faces)[N])
{
    for (const wchar_t* pszFace : faces) {
        if (HasJapaneseFace(pszFace))
            return pszFace;
    }
    return nullptr;
}

} // namespace

bool HasJapaneseFace(const wchar_t* pszFace)
{
    if (pszFace == nullptr || *pszFace == L'\0' || std::wcslen(pszFace) >= LF_FACESIZE)
        return false;
    LOGFONTW lf = {};
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::wcscpy(lf.lfFaceName, pszFace);
    bool bFound = false;
    HDC hdc = ::GetDC(NULL);
    ::EnumFontFamiliesExW(hdc, &lf, OnFace, reinterpret_cast<LPARAM>(&bFound), 0);
    ::ReleaseDC(NULL, hdc);
    return bFound;
}

void ChooseJapaneseFace(LOGFONTW& lf)
{
    lf.lfCharSet = SHIFTJIS_CHARSET;
    if (HasJapaneseFace(lf.lfFaceName))
        return;
    // A face the system lacks is kept when the system's own stand-in for it has the glyphs.
    const TMappedFace mapped = MapFace(lf);
    if (HasJapaneseFace(mapped.szFace))
        return;
    const wchar_t* pszFace = mapped.bFixed ? FirstPresent(FIXED_FACES) : FirstPresent(PROPORTIONAL_FACES);
    if (pszFace == nullptr)
        pszFace = FirstPresent(PROPORTIONAL_FACES);
    // With none present the character set alone steers the system's choice.
    if (pszFace != nullptr)
        std::wcscpy(lf.lfFaceName, pszFace);
}

HFONT CreateJapaneseFont(const LOGFONTW& lf)
{
    LOGFONTW chosen = lf;
    ChooseJapaneseFace(chosen);
    return ::CreateFontIndirectW(&chosen);
}

} // namespace ZEV
