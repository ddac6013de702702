#pragma once

#include <windows.h>

namespace ZEV {

// Fonts for the program's Japanese texts, asked for by their Unicode names. The face
// asked for is kept where the system has it, or a stand-in for it, with Japanese
// glyphs; elsewhere (a non-Japanese Windows without it) the first present face of a
// fallback list of the same pitch that has them is taken.
HFONT CreateJapaneseFont(const LOGFONTW& lf);

// Whether the system has the face with Japanese (Shift-JIS character set) glyphs.
bool HasJapaneseFace(const wchar_t* pszFace);

// The face CreateJapaneseFont would take for lf.
void ChooseJapaneseFace(LOGFONTW& lf);

} // namespace ZEV
