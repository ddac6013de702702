// Rows into the log views, as the traffic log hands them over: an event thread
// queues row pairs (a dump row and its companion) through the window log host
// while the window thread takes them as they come. Prints
//   logview_rows_per_s: <rows> rows/s           (rows a second into one view)
//   logview_repaints_per_s: <paints> paints/s   (paints of the view while rows keep coming)
//   logview_postline_rows_per_s: <rows> rows/s  (one PostLine at a time, for comparison)
// Run it under Wine with a display.

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "framework/Wnd.h"
#include "log/LogListBox.h"
#include "log/WindowLogHost.h"

namespace {

const int ROWS = 90000;          // below the views' limit: every row stays
const int POSTLINE_ROWS = 20000;
const char PARENT_CLASS[] = "LogViewBenchParent";
const DWORD LOG_VIEW_STYLE = 0x50A12911;  // as in the main window's template

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

// Pumps until the view holds nRows lines; the milliseconds it took (at least 1).
DWORD PumpUntilHeld(CLogListBox& view, int nRows, DWORD dwStart)
{
    while (view.GetLineCount() < nRows) {
        Pump();
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 1, QS_ALLINPUT);
    }
    const DWORD dwElapsed = ::GetTickCount() - dwStart;
    return dwElapsed != 0 ? dwElapsed : 1;
}

HWND CreateView(CWnd& parent, int nLeft, int nId)
{
    return ::CreateWindowExA(0, "LISTBOX", "", LOG_VIEW_STYLE, nLeft, 0, 380, 360, parent.m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(nId)), ::GetModuleHandleA(NULL), NULL);
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
    if (!parent.CreateEx(0, PARENT_CLASS, "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 780, 400, NULL, NULL))
        return 1;
    const HWND hLeft = CreateView(parent, 0, 1000);
    g_pfnListBox = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hLeft, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountPaints)));
    CLogListBox views[2];
    for (CLogListBox& view : views)
        view.SetMaxLines(100000);
    if (!views[0].SubclassWindow(hLeft) || !views[1].SubclassWindow(CreateView(parent, 390, 1001)))
        return 1;
    TLogWindows windows;
    windows.pMainWnd = &parent;
    windows.pView[0] = &views[0];
    windows.pView[1] = &views[1];
    CWindowLogHost host;
    host.Attach(windows);

    const std::string row =
        "\x81\x40\x84\xAB|000012| 0000 : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  : ABCDEFGHIJKLMNOP";
    const std::string companion = "\x81\x40\x84\xAB|000012|";
    g_nPaints = 0;
    DWORD dwStart = ::GetTickCount();
    std::thread events([&] {
        for (int i = 0; i < ROWS; ++i)
            host.QueueRows(row, companion);
    });
    DWORD dwElapsed = PumpUntilHeld(views[0], ROWS, dwStart);
    events.join();
    const int nPaints = g_nPaints;
    std::printf("logview_rows_per_s: %lu rows/s\n", static_cast<unsigned long>(ROWS * 1000.0 / dwElapsed));
    std::printf("logview_repaints_per_s: %.1f paints/s\n", nPaints * 1000.0 / dwElapsed);

    views[0].SendMessage(LB_RESETCONTENT);
    views[1].SendMessage(LB_RESETCONTENT);
    Pump();
    dwStart = ::GetTickCount();
    for (int i = 0; i < POSTLINE_ROWS; ++i)
        views[0].PostLine(-1, row.c_str());
    dwElapsed = PumpUntilHeld(views[0], POSTLINE_ROWS, dwStart);
    std::printf("logview_postline_rows_per_s: %lu rows/s\n",
                static_cast<unsigned long>(POSTLINE_ROWS * 1000.0 / dwElapsed));
    return views[1].GetLineCount() == 0 ? 0 : 2;
}
