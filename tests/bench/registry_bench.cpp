// The sweep of untouched entries and the clean-up of adapter class keys,
// each against a raw loop doing only the work no design can avoid: one
// enumeration of every subkey, the same opens and "touch" reads, and the
// deletion of exactly the same keys, each deleted key named directly.
// Prints times, ratios and the growth per doubling; asserts nothing.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "base/state.h"
#include "plugdb/cleanup.h"
#include "plugdb/record.h"
#include "plugdb/sweep.h"
#include "support/clock.h"
#include "support/registry.h"

namespace {

const int REPEATS = 5;
const int OTHER_CLASSES = 10000;

// untouched entries among twice as many, the two kinds taking turns.
void MakeEntries(int untouched)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, PLUGINS_KEY);
    for (int i = 0; i < 2 * untouched; ++i) {
        char path[300];
        snprintf(path, sizeof path, PLUGINS_KEY "\\P%06d", i);
        if (i % 2)
            SetDword(HKEY_LOCAL_MACHINE, path, "touch", 1);
        else
            SetText(HKEY_LOCAL_MACHINE, path, "DosName", path + strlen(PLUGINS_KEY) + 1);
    }
}

void RawDeleteUntouched()
{
    HKEY plugins;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, PLUGINS_KEY, 0, KEY_ALL_ACCESS, &plugins);
    char name[300];
    for (DWORD index = 0;;) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(plugins, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY entry;
        DWORD touch = 0, bytes = sizeof touch;
        if (RegOpenKeyExA(plugins, name, 0, KEY_QUERY_VALUE, &entry) == ERROR_SUCCESS) {
            RegQueryValueExA(entry, "touch", nullptr, nullptr, reinterpret_cast<BYTE*>(&touch), &bytes);
            RegCloseKey(entry);
        }
        if (touch)
            ++index;
        else
            RegDeleteKeyA(plugins, name);
    }
    RegCloseKey(plugins);
}

void MakeOtherClasses(bool create)
{
    for (int i = 0; i < OTHER_CLASSES; ++i) {
        char path[80];
        snprintf(path, sizeof path, "CLSID\\{%08X-0000-0000-0000-000000000000}", 0x20000000 + i * 0x1000);
        if (create)
            MakeKey(HKEY_CLASSES_ROOT, path);
        else
            RegDeleteKeyA(HKEY_CLASSES_ROOT, path);
    }
}

// Plug-in and property page classes as the record writer makes them.
void MakeAdapterClasses(int count)
{
    for (int i = 0; i < count; ++i) {
        char path[80];
        snprintf(path, sizeof path, "CLSID\\{141AC90%d-0000-%04X-0000-000000000000}\\InprocServer32", 2 + i % 2, i);
        SetText(HKEY_CLASSES_ROOT, path, "", "C:\\OlVst.dll");
    }
}

void RawCleanup()
{
    HKEY classes;
    RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ALL_ACCESS, &classes);
    char name[300];
    for (DWORD index = 0;;) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(classes, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!IsAdapterClassName(name)) {
            ++index;
            continue;
        }
        char server[320];
        snprintf(server, sizeof server, "%s\\InprocServer32", name);
        RegDeleteKeyA(classes, server);
        RegDeleteKeyA(classes, name);
    }
    RegCloseKey(classes);
}

double TimeOnce(void (*setUp)(int), int size, void (*work)())
{
    setUp(size);
    double start = Milliseconds();
    work();
    return Milliseconds() - start;
}

// The quickest of a few runs of each, taking turns so that both meet the
// same load on the machine.
void Report(const char* title, const char* unit, void (*setUp)(int), void (*routine)(), void (*raw)())
{
    printf("%s\n  %-8s %12s %12s %8s %8s\n", title, unit, "routine ms", "raw loop ms", "ratio", "growth");
    double previous = 0;
    for (int size : {500, 1000, 2000}) {
        double ours = 1e30, floor = 1e30;
        for (int i = 0; i < REPEATS; ++i) {
            ours = std::min(ours, TimeOnce(setUp, size, routine));
            floor = std::min(floor, TimeOnce(setUp, size, raw));
        }
        if (previous > 0)
            printf("  %-8d %12.1f %12.1f %8.2f %8.2f\n", size, ours, floor, ours / floor, ours / previous);
        else
            printf("  %-8d %12.1f %12.1f %8.2f %8s\n", size, ours, floor, ours / floor, "-");
        previous = ours;
    }
}

} // namespace

int main()
{
    ClearProgramKeys();
    Report("DeleteUntouched: untouched entries among twice as many", "untouched", MakeEntries, DeleteUntouched,
           RawDeleteUntouched);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, PLUGINS_KEY);

    MakeOtherClasses(true);
    char title[120];
    snprintf(title, sizeof title,
             "RegistryCleanup: adapter classes with InprocServer32 among %d other CLSID keys", OTHER_CLASSES);
    Report(title, "classes", MakeAdapterClasses, RegistryCleanup, RawCleanup);
    MakeOtherClasses(false);
    ClearProgramKeys();
    return 0;
}
