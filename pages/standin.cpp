// Stand-ins until the pages are built.
#include "pages/pages.h"

INT_PTR CALLBACK DlgWelcomeProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK DlgNullProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK DlgPathsProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK DlgResetProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK DlgListProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK DlgItemProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK DlgPropsProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void RefreshPlugList() {}
