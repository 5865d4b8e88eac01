#include "probe/marker.h"
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"

namespace {

// Opened at the first probe and kept for the process: each step is then
// one write.
HKEY productKey;

void Write(const ProbeMarker& marker)
{
    RegSetValueExA(productKey, PROBE_MARKER_VALUE, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&marker),
                   sizeof marker);
}

bool Terminated(const char* field, size_t size) { return memchr(field, 0, size) != nullptr; }

} // namespace

void BeginProbeMarker(MarkedProbe& marked, const char* path, const char* entryName, bool newEntry)
{
    if (!productKey && CreateKey(HKEY_LOCAL_MACHINE, PRODUCT_KEY, &productKey) != ERROR_SUCCESS) {
        productKey = nullptr;
        return;
    }
    memset(&marked.current, 0, sizeof marked.current);
    CopyText(marked.current.FullPath, path);
    CopyText(marked.current.DosName, entryName);
    marked.current.newEntry = newEntry ? 1 : 0;
    marked.marking = true;
    marked.written = false;
}

void ProbeStep(MarkedProbe& marked, const char* text, bool runsPlugin)
{
    TraceProbeStep(text);
    if (!marked.marking || !runsPlugin || (marked.written && strcmp(marked.current.step, text) == 0))
        return;
    CopyText(marked.current.step, text);
    Write(marked.current);
    marked.written = true;
}

void EndProbeMarker(MarkedProbe& marked)
{
    if (!marked.marking)
        return;
    marked.marking = false;
    if (marked.written)
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
