// The wizard's pictures at every screen resolution. They are drawn for the
// dialogs' font at 96 dpi; where the dialogs come out larger (a higher dpi),
// a static picture would keep its pixel size and sit small in the corner of
// its frame, so it is drawn scaled to the frame instead.
#pragma once
#include <windows.h>

// Every bitmap picture of the dialog, from its WM_INITDIALOG. At the size
// they are drawn for, the pictures are left exactly as the template shows them.
void FitPictures(HWND dialog);

// A width in pixels made for the dialogs' font at 96 dpi, at the dialog's
// own font: the same at 96 dpi, wider where the dialogs grow.
int ScaledToFont(HWND dialog, int width);
