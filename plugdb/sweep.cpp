#include "plugdb/sweep.h"
#include <cstring>
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"

namespace {

// Registry key names are at most 255 characters: every name fits.
enum { KEY_NAME_SIZE = 300 };

// Inside a tree most keys have no subkeys and go at once; one that refuses
// is emptied first.
bool DeleteWhole(HKEY key, const char* name)
{
    if (RegDeleteKeyA(key, name) != ERROR_SUCCESS)
        EliminateSubkey(key, name);
    return true;
}

// A "Plug-Ins" entry without a "touch" value of 1 goes; a value that cannot
// be read counts as 0.
bool DeleteIfUntouched(HKEY plugins, const char* name)
{
    DWORD touch = 0;
    RegKey entry;
    if (RegOpenKeyExA(plugins, name, 0, KEY_QUERY_VALUE, entry.receive()) == ERROR_SUCCESS)
        ReadDwordValue(entry, "touch", &touch);
    entry.close();
    if (touch)
        return false;
    EliminateSubkey(plugins, name);
    return true;
}

} // namespace

LONG SweepSubkeys(HKEY key, bool (*visit)(HKEY key, const char* name))
{
    char name[KEY_NAME_SIZE];
    char attempted[KEY_NAME_SIZE] = "";
    DWORD index = 0;
    for (;;) {
        DWORD size = sizeof name;
        LONG status = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            return status;
        // After a deletion the next subkey has moved up to this index; the
        // same name here means the key could not be deleted.
        bool stuck = attempted[0] && strcmp(name, attempted) == 0;
        attempted[0] = 0;
        if (stuck || !visit(key, name))
            ++index;
        else
            CopyText(attempted, name);
    }
}

void ClearTouchFlags()
{
    TraceOperation("Clear Touch flag");
    TraceFailurePoint("init");
    RegKey plugins;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PLUGINS_KEY, 0, KEY_ALL_ACCESS, plugins.receive()) != ERROR_SUCCESS)
        return;
    char name[KEY_NAME_SIZE];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(plugins, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        RegKey entry;
        if (RegOpenKeyExA(plugins, name, 0, KEY_SET_VALUE, entry.receive()) == ERROR_SUCCESS)
            RegDeleteValueA(entry, "touch");
    }
}

void DeleteUntouched()
{
    TraceOperation("Delete untouched");
    TraceFailurePoint("init");
    RegKey plugins;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PLUGINS_KEY, 0, KEY_ALL_ACCESS, plugins.receive()) == ERROR_SUCCESS)
        SweepSubkeys(plugins, DeleteIfUntouched);
}

LONG EliminateSubkey(HKEY parent, const char* name)
{
    TraceOperation("Eliminate subkey");
    if (!name[0])
        return E_FAIL;
    RegKey key;
    LONG status = RegOpenKeyExA(parent, name, 0, MAXIMUM_ALLOWED, key.receive());
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_INVALID_HANDLE)
        return 0;
    if (status != ERROR_SUCCESS)
        return status;
    status = SweepSubkeys(key, DeleteWhole);
    if (status != ERROR_NO_MORE_ITEMS)
        return status;
    key.close();
    // Fails when a key below could not be deleted; the caller cannot tell.
    RegDeleteKeyA(parent, name);
    return 0;
}
