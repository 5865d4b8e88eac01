// Stand-in until the help launcher is built.
#include "about/help.h"

HWND ShowHelp() { return nullptr; }
HWND CallHtmlHelp(HWND, const char*, UINT, DWORD_PTR) { return nullptr; }
