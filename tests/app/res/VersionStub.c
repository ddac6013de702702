/* A DLL that exists only to carry a version resource for the reader's tests. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved) {
    (void)hInstance;
    (void)dwReason;
    (void)pReserved;
    return TRUE;
}
