#include "help_double.h"
#include <cstring>

namespace {
HelpCall last;
}

extern "C" HWND WINAPI RecordHelpCall(HWND caller, LPCSTR file, UINT command, DWORD_PTR data)
{
    ++last.calls;
    last.caller = caller;
    lstrcpynA(last.file, file ? file : "", sizeof last.file);
    last.command = command;
    last.data = data;
    return HELP_DOUBLE_WINDOW;
}

extern "C" const HelpCall* LastHelpCall() { return &last; }
