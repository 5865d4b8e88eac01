// Pictures of real windows for people to look at.
#pragma once
#include <windows.h>

#include <string>

// Saves what the screen shows of window as <build>\screenshots\<name>.bmp.
bool SaveScreenshot(HWND window, const char* name);
// The same into a BMP file of the caller's choosing.
bool SaveScreenshotAs(HWND window, const std::string& bmpPath);
// The same without asking the window to draw itself first: for a window of
// a thread that is busy and handles no message meanwhile, which would hold
// the caller up until it is free again.
bool SaveScreenAs(HWND window, const std::string& bmpPath);
