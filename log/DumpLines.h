#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Hexadecimal dump rows of one block: "0000 : 41 42 -- ... --  : AB".
// nWidth is the number of bytes per row (at least 2). Unless bFull is set, a
// long block keeps its first five rows and its tail, with a marker row
// between them. A Shift-JIS lead byte in the last column is shown together
// with its trail byte, so that a double-byte character is never cut; a lead
// byte not followed by a trail byte shows as ".", so that every row's text
// is whole Shift-JIS characters.
std::vector<std::string> MakeDumpLines(const BYTE* pData, DWORD dwSize, bool bFull, DWORD nWidth);

// The row that stands for the bytes an abbreviated dump leaves out.
extern const char DUMP_SKIP_ROW[];
