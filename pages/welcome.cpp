// Stand-in until this page is built.
#include "pages/pages.h"

INT_PTR CALLBACK DlgWelcomeProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
