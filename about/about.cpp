// Stand-in until the About box is built.
#include "about/about.h"

INT_PTR CALLBACK DlgAboutProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
bool GetVersionString(HMODULE, const char*, char* out, size_t size)
{
    if (size)
        out[0] = 0;
    return false;
}
