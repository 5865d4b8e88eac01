// Pictures of real windows for people to look at.
#pragma once
#include <windows.h>

#include <string>

// Saves what the screen shows of window as <build>\screenshots\<name>.bmp.
bool SaveScreenshot(HWND window, const char* name);
// The same into a BMP file of the caller's choosing.
bool SaveScreenshotAs(HWND window, const std::string& bmpPath);
