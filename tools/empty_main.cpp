#include <windows.h>

// Stands in for the program until the main window exists.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
