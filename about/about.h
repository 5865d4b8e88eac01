// The About box and the version strings it shows.
#pragma once
#include <windows.h>

INT_PTR CALLBACK DlgAboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Reads key from the "040904b0" string table of module's file into out[size].
bool GetVersionString(HMODULE module, const char* key, char* out, size_t size);
