// Stand-in until this page is built.
#include "pages/pages.h"

INT_PTR CALLBACK DlgPathsProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
