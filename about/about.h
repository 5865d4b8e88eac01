// The About box and the version strings it shows.
#pragma once
#include <windows.h>

extern const DLGPROC DlgAboutProc;
// Reads key from the "040904b0" string table of module's file into out[size].
bool GetVersionString(HMODULE module, const char* key, char* out, size_t size);
