// F1 help: the HTML Help viewer, bound on first use from the HTML Help
// control library, which stays loaded until the process ends.
#include "about/help.h"
#include "base/registry.h"
#include "base/state.h"

HMODULE (WINAPI* loadHelpLibrary)(LPCSTR name) = LoadLibraryA;

namespace {

typedef HWND (WINAPI* HtmlHelpEntry)(HWND, LPCSTR, UINT, DWORD_PTR);

const char HELP_FILE[] = "olvst.chm";
const char HELP_CONTROL_SERVER[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
const WORD HTML_HELP_A_ORDINAL = 14;
const UINT HH_DISPLAY_TOPIC = 0;

HMODULE helpLibrary;
HtmlHelpEntry helpEntry;
bool helpLoadFailed;

// The library the HTML Help control is registered with, or none.
HMODULE LoadRegisteredHelpLibrary()
{
    RegKey server;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, HELP_CONTROL_SERVER, 0, KEY_READ, server.receive()) != ERROR_SUCCESS)
        return nullptr;
    char path[260] = "";
    DWORD type = 0, size = sizeof path - 1;   // room for a terminator the value may lack
    if (RegQueryValueExA(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS)
        return nullptr;
    path[size] = 0;
    if (type == REG_EXPAND_SZ) {
        if (!ExpandText(path, sizeof path))
            return nullptr;
    } else if (type != REG_SZ) {
        return nullptr;
    }
    return path[0] ? loadHelpLibrary(path) : nullptr;
}

} // namespace

HWND CallHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data)
{
    if (!helpLibrary && !helpLoadFailed) {
        helpLibrary = LoadRegisteredHelpLibrary();
        if (!helpLibrary)
            helpLibrary = loadHelpLibrary("hhctrl.ocx");
        if (!helpLibrary) {
            helpLoadFailed = true;   // never tried again in this run
            return nullptr;
        }
    }
    if (!helpLibrary)
        return nullptr;
    if (!helpEntry) {
        // Looked up again on every call while it is missing.
        helpEntry = reinterpret_cast<HtmlHelpEntry>(
            reinterpret_cast<void*>(GetProcAddress(helpLibrary, MAKEINTRESOURCEA(HTML_HELP_A_ORDINAL))));
        if (!helpEntry) {
            helpLoadFailed = true;
            return nullptr;
        }
    }
    return helpEntry(caller, file, command, data);
}

HWND ShowHelp()
{
    char path[256];
    if (!ModuleFilePath(moduleInstance, path, sizeof path, HELP_FILE))
        return nullptr;
    return CallHtmlHelp(GetDesktopWindow(), path, HH_DISPLAY_TOPIC, 0);
}
