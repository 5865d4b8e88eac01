// Stand-in until this page is built.
#include "pages/pages.h"

INT_PTR CALLBACK DlgItemProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
