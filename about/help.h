// F1 help: the product's help file in the HTML Help viewer.
#pragma once
#include <windows.h>

// Opens "olvst.chm" beside the program at its default topic.
HWND ShowHelp();
// HtmlHelpA, bound on first use from the HTML Help control; 0 when unavailable.
HWND CallHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data);

// How the help launcher loads the HTML Help control library (LoadLibraryA);
// tests put a recorder here.
extern HMODULE (WINAPI* loadHelpLibrary)(LPCSTR name);
