// Rows into one log view, as the traffic log posts them: a dump row each time,
// pumped in batches as the window thread would take them. Prints
//   logview_rows_per_s: <rows> rows/s
//   logview_repaints_per_s: <paints> paints/s   (paints of the view while rows keep coming)
// Run it under Wine with a display.

#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/Wnd.h"
#include "log/LogListBox.h"

namespace {

const int ROWS = 50000;
const int BATCH = 500;
const char PARENT_CLASS[] = "LogViewBenchParent";

WNDPROC g_pfnListBox = NULL;
int g_nPaints = 0;

// Below the view object: counts the paints that reach the system list box.
LRESULT CALLBACK CountPaints(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        ++g_nPaints;
    return ::CallWindowProcA(g_pfnListBox, hWnd, message, wParam, lParam);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
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
    if (!parent.CreateEx(0, PARENT_CLASS, "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400, NULL, NULL))
        return 1;
    HWND hView = ::CreateWindowExA(0, "LISTBOX", "", 0x50A12911, 0, 0, 480, 360, parent.m_hWnd,
                                   reinterpret_cast<HMENU>(1000), ::GetModuleHandleA(NULL), NULL);
    g_pfnListBox = reinterpret_cast<WNDPROC>(
        ::SetWindowLongA(hView, GWL_WNDPROC, reinterpret_cast<LONG>(CountPaints)));
    CLogListBox view;
    view.SetMaxLines(100000);
    if (!view.SubclassWindow(hView))
        return 1;

    const std::string row =
        "\x81\x40\x84\xAB|000012| 0000 : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  : ABCDEFGHIJKLMNOP";
    g_nPaints = 0;
    DWORD start = ::GetTickCount();
    for (int i = 0; i < ROWS; i += BATCH) {
        for (int j = 0; j < BATCH; ++j)
            view.PostLine(-1, row.c_str());
        Pump();
    }
    DWORD elapsed = ::GetTickCount() - start;
    int nPaints = g_nPaints;
    if (elapsed == 0)
        elapsed = 1;
    std::printf("logview_rows_per_s: %lu rows/s\n", static_cast<unsigned long>(ROWS * 1000.0 / elapsed));
    std::printf("logview_repaints_per_s: %.1f paints/s\n", nPaints * 1000.0 / elapsed);
    return view.GetLineCount() == ROWS ? 0 : 2;
}
