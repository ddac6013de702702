// Export of 100000 rows per view, as the export command writes them.
// Prints "export_100k_rows: <ms> ms"; run it under Wine with a display.

#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/Wnd.h"
#include "log/LogExport.h"
#include "log/LogListBox.h"
#include "support/Format.h"
#include "support/ZevException.h"

namespace {

const int ROWS = 100000;
const char PARENT_CLASS[] = "ExportBenchParent";

void PumpPostedRows()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Rows as a 16-byte-per-row log holds them: a dump row on one side, its
// companion row on the other.
void FillViews(CLogListBox& left, CLogListBox& right)
{
    const std::string dump =
        "\x81\x40\x84\xAB|      | 0000 : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  : ABCDEFGHIJKLMNOP";
    const std::string companion = "\x81\x40\x84\xAB|      |";
    for (int i = 0; i < ROWS; ++i) {
        const bool bLeftSpeaks = (i / 8) % 2 == 0;
        left.PostLine(-1, (bLeftSpeaks ? dump : companion).c_str());
        right.PostLine(-1, (bLeftSpeaks ? companion : dump).c_str());
        if (i % 1000 == 999)
            PumpPostedRows();   // a posted-message queue holds 10000 at most
    }
    PumpPostedRows();
}

} // namespace

int main()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = PARENT_CLASS;
    ::RegisterClassA(&wc);
    CWnd parent;
    if (!parent.CreateEx(0, PARENT_CLASS, "bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, NULL, NULL))
        return 1;
    CLogListBox view[2];
    const DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT |
                          LBS_EXTENDEDSEL | LBS_NODATA;
    for (int i = 0; i < 2; ++i) {
        view[i].SetMaxLines(ROWS);
        const RECT rc = {i * 200, 0, i * 200 + 190, 280};
        if (!view[i].Create(dwStyle, rc, &parent, 1000 + i))
            return 1;
    }
    FillViews(view[0], view[1]);
    if (view[0].GetCount() != ROWS || view[1].GetCount() != ROWS) {
        std::fprintf(stderr, "views hold %d and %d rows\n", view[0].GetCount(), view[1].GetCount());
        return 1;
    }

    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strPath = std::string(szTemp) + "export_bench.txt";
    LARGE_INTEGER freq, start, end;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&start);
    try {
        WriteLogFile(strPath.c_str(), view[0], view[1]);
    } catch (const ZEV::CZevException& e) {
        std::fprintf(stderr, "export failed: %d\n", e.GetValue());
        return 1;
    }
    ::QueryPerformanceCounter(&end);
    ::DeleteFileA(strPath.c_str());
    const double ms = (end.QuadPart - start.QuadPart) * 1000.0 / freq.QuadPart;
    std::printf("export_100k_rows: %.0f ms\n", ms);
    parent.DestroyWindow();
    return 0;
}
