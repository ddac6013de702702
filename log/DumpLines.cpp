#include "log/DumpLines.h"

#include "support/WideText.h"

const char DUMP_SKIP_ROW[] = " :                     :";

namespace {

const char HEX_DIGITS[] = "0123456789ABCDEF";

void AppendHexByte(std::string& row, BYTE c)
{
    row += HEX_DIGITS[c >> 4];
    row += HEX_DIGITS[c & 0x0F];
}

void AppendOffset(std::string& row, DWORD dwOffset)
{
    AppendHexByte(row, static_cast<BYTE>(dwOffset >> 8));
    AppendHexByte(row, static_cast<BYTE>(dwOffset));
}

bool IsTrailByte(BYTE c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// One row for the bytes at dwStart; bCarry says that the first byte is the
// trail byte of a character already shown at the end of the previous row.
std::string MakeRow(const BYTE* pData, DWORD dwSize, DWORD dwStart, DWORD nWidth, bool& bCarry)
{
    std::string row;
    row.reserve(nWidth * 4 + 29);
    AppendOffset(row, dwStart);
    row += " : ";
    for (DWORD i = 0; i < nWidth; ++i) {
        if (dwStart + i < dwSize) {
            AppendHexByte(row, pData[dwStart + i]);
            row += ' ';
        } else {
            row += "-- ";
        }
    }
    row += " : ";
    // The bytes are read as Shift-JIS whatever the system's code page.
    // The byte is the trail byte of a character that began in this row: it
    // may look like a lead byte (0xE8 of "定"), but must not pull the next
    // row's first byte up into this one.
    bool bTrail = false;
    for (DWORD i = 0; i < nWidth && dwStart + i < dwSize; ++i) {
        const BYTE c = pData[dwStart + i];
        if (bCarry) {
            bCarry = false;
            row += '.';
        } else if (bTrail) {
            bTrail = false;
            row += static_cast<char>(c);
        } else if (c < 0x20) {
            row += '.';
        } else if (!IsDBCSLeadByteEx(ZEV::SJIS_CODE_PAGE, c)) {
            row += static_cast<char>(c);
        } else if (dwStart + i + 1 >= dwSize || !IsTrailByte(pData[dwStart + i + 1])) {
            // A lone lead byte would take whatever follows it (a CR, the
            // export's comma) as its trail byte.
            row += '.';
        } else if (i == nWidth - 1) {
            // A character split over two rows would show as garbage on both.
            row += static_cast<char>(c);
            row += static_cast<char>(pData[dwStart + i + 1]);
            bCarry = true;
        } else {
            row += static_cast<char>(c);
            bTrail = true;
        }
    }
    return row;
}

} // namespace

std::vector<std::string> MakeDumpLines(const BYTE* pData, DWORD dwSize, bool bFull, DWORD nWidth)
{
    std::vector<std::string> rows;
    if (nWidth < 2)
        nWidth = 2;
    if (dwSize == 0 || pData == nullptr)
        return rows;

    bool bCarry = false;
    bool bAbbreviated = bFull;
    for (DWORD e = 0; e < dwSize; e += nWidth) {
        rows.push_back(MakeRow(pData, dwSize, e, nWidth, bCarry));
        if (bAbbreviated || e < 4 * nWidth)
            continue;
        bAbbreviated = true;
        const DWORD f = ((dwSize - 4 * nWidth) / 16) * 16;
        if (e < f) {
            rows.push_back(DUMP_SKIP_ROW);
            // The rows after the marker do not continue this one.
            bCarry = false;
            e = f;
        }
    }
    return rows;
}
