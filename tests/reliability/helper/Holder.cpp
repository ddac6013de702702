// Holds something that the program wants, from a process of its own, so that the
// program meets it as it would meet another application:
//   rel_holder clip EVENT MS       keeps the clipboard open
//   rel_holder port NAME EVENT MS  keeps a COM port open (exclusively, as every port is)
// Sets the named event once it holds the thing, keeps it for MS milliseconds (or
// until the event is reset by the test, checked every 10 ms) and lets it go.
// Exit code 0 when it held the thing, 1 when it could not get it, 2 on bad arguments.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

void HoldFor(HANDLE hReady, DWORD dwMs)
{
    ::SetEvent(hReady);
    const DWORD dwStart = ::GetTickCount();
    while (::GetTickCount() - dwStart < dwMs) {
        if (::WaitForSingleObject(hReady, 0) == WAIT_TIMEOUT)
            return;  // the test let us go early
        ::Sleep(10);
    }
}

int HoldClipboard(HANDLE hReady, DWORD dwMs)
{
    HWND hWnd = ::CreateWindowExA(0, "STATIC", "holder", WS_POPUP, 0, 0, 1, 1, NULL, NULL,
                                  ::GetModuleHandleA(NULL), NULL);
    if (!::OpenClipboard(hWnd))
        return 1;
    HoldFor(hReady, dwMs);
    ::CloseClipboard();
    ::DestroyWindow(hWnd);
    return 0;
}

int HoldPort(const char* pszName, HANDLE hReady, DWORD dwMs)
{
    HANDLE hPort = ::CreateFileA(pszName, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    if (hPort == INVALID_HANDLE_VALUE)
        return 1;
    HoldFor(hReady, dwMs);
    ::CloseHandle(hPort);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool bClip = argc == 4 && std::strcmp(argv[1], "clip") == 0;
    const bool bPort = argc == 5 && std::strcmp(argv[1], "port") == 0;
    if (!bClip && !bPort)
        return 2;
    HANDLE hReady = ::OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, argv[argc - 2]);
    if (hReady == NULL)
        return 2;
    const DWORD dwMs = static_cast<DWORD>(std::atoi(argv[argc - 1]));
    const int nResult = bClip ? HoldClipboard(hReady, dwMs) : HoldPort(argv[2], hReady, dwMs);
    ::CloseHandle(hReady);
    return nResult;
}
