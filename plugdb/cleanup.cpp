#include "plugdb/cleanup.h"
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"
#include "plugdb/record.h"
#include "plugdb/sweep.h"

namespace {

// A class key as the record writer leaves it, with "InprocServer32" and
// nothing else below it, goes in two deletions; one that still has keys
// below it then (or that cannot go) is left to EliminateSubkey, which walks
// whatever is there. Either way the key and all below it are gone.
bool DeleteIfAdapterClass(HKEY area, const char* name)
{
    if (!IsAdapterClassName(name))
        return false;
    TraceOperation("Eliminate subkey");
    char server[300 + sizeof "\\InprocServer32"];
    if (CopyText(server, name) && AppendText(server, "\\InprocServer32"))
        RegDeleteKeyA(area, server);
    if (RegDeleteKeyA(area, name) != ERROR_SUCCESS)
        EliminateSubkey(area, name);
    return true;
}

// HKEY_CLASSES_ROOT\name with full access; not open when it cannot be opened.
RegKey OpenClassArea(const char* name)
{
    RegKey area;
    RegOpenKeyExA(HKEY_CLASSES_ROOT, name, 0, KEY_ALL_ACCESS, area.receive());
    return area;
}

void DeleteAdapterClasses(const RegKey& area)
{
    if (area.isOpen())
        SweepSubkeys(area, DeleteIfAdapterClass);
}

} // namespace

void RegistryCleanup()
{
    TraceOperation("Registry cleanup");
    TraceFailurePoint("init");
    RegKey clsid = OpenClassArea("CLSID");
    TraceOperation("CLSID");
    DeleteAdapterClasses(clsid);
    clsid.close();

    TraceOperation("TilvSynths");
    DeleteAdapterClasses(OpenClassArea("TilvSoftSynths"));
    TraceOperation("Filter");
    DeleteAdapterClasses(OpenClassArea("Filter"));

    // A host's cache of the DirectX plug-ins it has seen; it rebuilds it.
    TraceOperation("DxCache");
    RegKey sonicFoundry;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Sonic Foundry", 0, MAXIMUM_ALLOWED, sonicFoundry.receive())
        == ERROR_SUCCESS)
        EliminateSubkey(sonicFoundry, "DxCache");
}
