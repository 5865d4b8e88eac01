// Stand-in until this page is built.
#include "pages/pages.h"

INT_PTR CALLBACK DlgNullProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
