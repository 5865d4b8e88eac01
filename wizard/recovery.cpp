#include "wizard/recovery.h"
#include <cstring>
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"
#include "plugdb/record.h"
#include "probe/marker.h"

namespace {

const char MUTEX_NAME[] = "Global\\OstrelVstAdapterWizard";
const char ALREADY_RUNNING_TEXT[] = "The Ostrel VST Adapter Configuration Wizard is already running.";

char recoveredPath[PATH_TEXT_SIZE];

bool IsFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The marker's entry name must be the one the analysis makes for its path:
// anything else is not a marker this program wrote.
bool Usable(const ProbeMarker& marker)
{
    char entryName[10];
    return IsFile(marker.FullPath) && MakeEntryName(marker.FullPath, entryName)
           && strcmp(entryName, marker.DosName) == 0;
}

} // namespace

void ClaimWizard()
{
    // Held until the process ends.
    CreateMutexA(nullptr, FALSE, MUTEX_NAME);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        MessageBoxA(nullptr, ALREADY_RUNNING_TEXT, ERROR_CAPTION, MB_OK);
        ExitProcess(0);
    }
}

const char* RecoverMarkedPlugin()
{
    ProbeMarker marker;
    if (!TakeProbeMarker(&marker))
        return nullptr;
    if (!Usable(marker)) {
        ClearProbeMarker();
        return nullptr;
    }

    char keyPath[256];
    CopyText(keyPath, PLUGINS_KEY "\\");
    AppendText(keyPath, marker.DosName);
    RegKey entry;
    if (CreateKey(HKEY_LOCAL_MACHINE, keyPath, entry.receive()) != ERROR_SUCCESS) {
        ClearProbeMarker();
        return nullptr;
    }

    // Written as the analysis writes a plug-in that faulted in its probe.
    TraceFailurePoint("Handling plugin exception");
    static PluginRecord record;
    memset(&record, 0, sizeof record);
    if (marker.newEntry) {
        record = DefaultRecord;
        record.isNew = 1;
    } else {
        ReadVstData(entry, &record);
    }
    FillFileFields(record, marker.DosName, marker.FullPath);
    record.isVst = 1;
    record.isBad = 1;
    TraceFailurePoint("Writing VST data");
    WriteVstData(entry, &record);
    entry.close();
    ClearProbeMarker();
    CopyText(recoveredPath, marker.FullPath);

    TraceFailurePoint("Handling plugin exception");
    TraceProbeStep(marker.step);
    return record.FullName;
}

const char* RecoveredPluginPath() { return recoveredPath[0] ? recoveredPath : nullptr; }
