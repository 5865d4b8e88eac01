// A stand-in for the HTML Help control: a DLL whose export 14 records the
// call it gets. Its version resource is filed under British English only.
#pragma once
#include <windows.h>

struct HelpCall {
    int calls;
    HWND caller;
    char file[1024];
    UINT command;
    DWORD_PTR data;
};

// What the double returns from its export 14.
#define HELP_DOUBLE_WINDOW reinterpret_cast<HWND>(0x5150)
