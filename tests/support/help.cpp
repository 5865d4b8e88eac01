#include "support/help.h"
#include "about/help.h"
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
