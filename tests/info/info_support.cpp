#include "info_support.h"
#include "about/help.h"
#include "support/dialogs.h"
#include "support/files.h"

std::vector<std::string> helpLoads;

namespace {

HMODULE WINAPI LoadDouble(LPCSTR name)
{
    helpLoads.push_back(name);
    return LoadLibraryA(HelpDoublePath().c_str());
}

} // namespace

// A test program copied elsewhere is told where the double is.
std::string HelpDoublePath()
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("HELP_DOUBLE", path, sizeof path);
    if (length > 0 && length < sizeof path)
        return path;
    return ExeDir() + "\\help_double.dll";
}

const HelpCall* UseHelpDouble()
{
    loadHelpLibrary = LoadDouble;
    return HelpDoubleCalls();
}

const HelpCall* HelpDoubleCalls()
{
    HMODULE helpDouble = LoadLibraryA(HelpDoublePath().c_str());
    auto last = reinterpret_cast<const HelpCall* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(helpDouble, "LastHelpCall")));
    return last();
}

void PressKey(HWND window, BYTE key)
{
    SetForegroundWindow(window);
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

namespace {

std::vector<std::function<void()>> pending;

void CALLBACK RunNext(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (pending.empty()) {
        KillTimer(nullptr, timer);
        return;
    }
    auto action = pending.front();
    pending.erase(pending.begin());
    action();
}

} // namespace

void OneByOne(std::vector<std::function<void()>> actions)
{
    pending = std::move(actions);
    SetTimer(nullptr, 0, 300, RunNext);
}

bool TextFits(HWND control)
{
    char text[1024];
    GetWindowTextA(control, text, sizeof text);
    RECT client, needed;
    GetClientRect(control, &client);
    needed = client;
    HDC dc = GetDC(control);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(control, dc);
    return needed.right <= client.right && needed.bottom <= client.bottom;
}
