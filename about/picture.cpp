#include "about/picture.h"
#include "base/handles.h"

namespace {

// The dialog base units the pictures (and other measures in pixels) are
// made for, Tahoma 8 at 96 dpi: the side picture is a frame of 78 x 121
// dialog units, the logo one of 151 x 45.
const int DRAWN_UNIT_WIDTH = 6;
const int DRAWN_UNIT_HEIGHT = 13;

const char OWN_PROC[] = "Tandrel picture procedure";

// Four dialog units across and eight down, in pixels: the dialog's base units.
RECT BaseUnits(HWND dialog)
{
    RECT units = {0, 0, 4, 8};
    MapDialogRect(dialog, &units);
    return units;
}

// The control's picture over its whole client area, with the halftone
// filter, which averages what it shrinks and blends what it stretches.
void DrawScaled(HWND picture, HDC dc)
{
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP size;
    if (!bitmap || !GetObjectA(bitmap, sizeof size, &size))
        return;
    MemoryDc source(CreateCompatibleDC(dc));
    if (!source.isOpen())
        return;
    HGDIOBJ old = SelectObject(source, bitmap);
    RECT frame;
    GetClientRect(picture, &frame);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, frame.right, frame.bottom, source, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    SelectObject(source, old);
}

LRESULT CALLBACK ScaledPictureProc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC own = reinterpret_cast<WNDPROC>(GetPropA(picture, OWN_PROC));
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(picture, &paint);
        DrawScaled(picture, dc);
        EndPaint(picture, &paint);
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrA(picture, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        RemovePropA(picture, OWN_PROC);
        break;
    }
    return CallWindowProcA(own, picture, message, wParam, lParam);
}

bool IsPicture(HWND control)
{
    char name[16];
    return GetClassNameA(control, name, sizeof name) && lstrcmpiA(name, "Static") == 0
           && (GetWindowLongPtrA(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
}

// The control has already taken its bitmap's size: it grows by as much as
// the picture does, and draws the picture scaled.
void FitPicture(HWND picture, const RECT& units)
{
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP size;
    if (!bitmap || !GetObjectA(bitmap, sizeof size, &size))
        return;
    int width = MulDiv(size.bmWidth, units.right, DRAWN_UNIT_WIDTH);
    int height = MulDiv(size.bmHeight, units.bottom, DRAWN_UNIT_HEIGHT);
    if (width == size.bmWidth && height == size.bmHeight)
        return;
    RECT window;
    GetWindowRect(picture, &window);
    SetPropA(picture, OWN_PROC, reinterpret_cast<HANDLE>(GetWindowLongPtrA(picture, GWLP_WNDPROC)));
    SetWindowLongPtrA(picture, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ScaledPictureProc));
    SetWindowPos(picture, nullptr, 0, 0, window.right - window.left + width - size.bmWidth,
                 window.bottom - window.top + height - size.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void FitPictures(HWND dialog)
{
    RECT units = BaseUnits(dialog);
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT))
        if (IsPicture(control))
            FitPicture(control, units);
}

int ScaledToFont(HWND dialog, int width)
{
    return MulDiv(width, BaseUnits(dialog).right, DRAWN_UNIT_WIDTH);
}
