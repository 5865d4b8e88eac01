#include "probe/marker.h"
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"

namespace {

// Opened at the first probe and kept: each step is then one write.
HKEY productKey;
bool marking;
bool written;           // the value holds the probe under way
ProbeMarker current;

void Write()
{
    RegSetValueExA(productKey, PROBE_MARKER_VALUE, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&current),
                   sizeof current);
}

bool Terminated(const char* field, size_t size) { return memchr(field, 0, size) != nullptr; }

} // namespace

void BeginProbeMarker(const char* path, const char* entryName, bool newEntry)
{
    if (!productKey && CreateKey(HKEY_LOCAL_MACHINE, PRODUCT_KEY, &productKey) != ERROR_SUCCESS) {
        productKey = nullptr;
        return;
    }
    memset(&current, 0, sizeof current);
    CopyText(current.FullPath, path);
    CopyText(current.DosName, entryName);
    current.newEntry = newEntry ? 1 : 0;
    marking = true;
    written = false;
}

void ProbeStep(const char* text, bool runsPlugin)
{
    TraceProbeStep(text);
    if (!marking || !runsPlugin || (written && strcmp(current.step, text) == 0))
        return;
    CopyText(current.step, text);
    Write();
    written = true;
}

void EndProbeMarker()
{
    if (!marking)
        return;
    marking = false;
    if (written)
        RegDeleteValueA(productKey, PROBE_MARKER_VALUE);
}

bool TakeProbeMarker(ProbeMarker* marker)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof *marker;
    LONG status = RegQueryValueExA(key, PROBE_MARKER_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(marker), &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return false;
    if (status == ERROR_SUCCESS && type == REG_BINARY && size == sizeof *marker
        && Terminated(marker->FullPath, sizeof marker->FullPath) && Terminated(marker->DosName, sizeof marker->DosName)
        && Terminated(marker->step, sizeof marker->step))
        return true;
    ClearProbeMarker();
    return false;
}

void ClearProbeMarker()
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, KEY_SET_VALUE, key.receive()) == ERROR_SUCCESS)
        RegDeleteValueA(key, PROBE_MARKER_VALUE);
}
