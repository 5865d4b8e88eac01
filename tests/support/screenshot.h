// Pictures of real windows for people to look at.
#pragma once
#include <windows.h>

// Saves what the screen shows of window as <build>\screenshots\<name>.bmp.
bool SaveScreenshot(HWND window, const char* name);
