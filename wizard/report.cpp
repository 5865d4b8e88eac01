#include "wizard/report.h"
#include <cstdio>
#include <cstring>
#include <vector>
#include "probe/hostile.h"
#include "probe/image.h"
#include "probe/leftovers.h"
#include "wizard/text.h"

namespace {

std::vector<DllReport> entries;

char* NewText(const char* text)
{
    if (!text)
        return nullptr;
    size_t size = strlen(text) + 1;
    char* copy = new char[size];
    memcpy(copy, text, size);
    return copy;
}

// The system's own words for an error code, without the line end it adds.
void SystemMessage(DWORD code, char* text, size_t size)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, static_cast<DWORD>(size), nullptr);
    while (length && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = 0;
    if (!length)
        snprintf(text, size, "system error %lu", static_cast<unsigned long>(code));
}

const char RETRY[] = "tick \"Re-scan failed plug-ins\" to try it again";

} // namespace

void ReserveReport(unsigned count)
{
    entries.reserve(entries.size() + count);
}

void ReportDll(const char* path, DllResult result, DWORD detail, const char* text)
{
    entries.push_back({path, NewText(text), detail, result, 0});
}

void ReportProbeEnd(const char* path, const ProbeOutcome& outcome)
{
    switch (outcome.end) {
    case PROBE_LOAD_FAILED: {
        DWORD detail = 0;
        char missing[MAX_PATH] = "";
        switch (InspectImage(path, &detail, missing, sizeof missing)) {
        case IMAGE_PATH_TOO_LONG:
            return ReportDll(path, DLL_PATH_TOO_LONG, detail);
        case IMAGE_NOT_A_LIBRARY:
            return ReportDll(path, DLL_NOT_A_LIBRARY);
        case IMAGE_64_BIT:
            return ReportDll(path, DLL_64_BIT, detail);
        case IMAGE_OTHER_MACHINE:
            return ReportDll(path, DLL_OTHER_MACHINE, detail);
        case IMAGE_MISSING_LIBRARY:
            return ReportDll(path, DLL_MISSING_LIBRARY, 0, missing);
        case IMAGE_NOTHING_FOUND:
            break;
        }
        return ReportDll(path, DLL_LOAD_FAILED, outcome.detail);
    }
    case PROBE_NO_ENTRY:
        return ReportDll(path, outcome.detail ? DLL_VSTPLUGINMAIN_ONLY : DLL_NO_ENTRY);
    case PROBE_NO_EFFECT:
        return ReportDll(path, DLL_NO_EFFECT, outcome.detail);
    case PROBE_BAD_MAGIC:
        return ReportDll(path, DLL_BAD_MAGIC, outcome.detail);
    case PROBE_NOT_IDENTIFIED:
        return ReportDll(path, DLL_NOT_IDENTIFIED, outcome.detail);
    case PROBE_PASSED:
        return ReportDll(path, DLL_RECORDED);
    }
}

void ReportTrap(const char* path, DWORD exceptionCode, const char* step)
{
    DllResult result = exceptionCode == EXCEPTION_PLUGIN_SKIPPED  ? DLL_NOT_RESPONDING
                       : exceptionCode == EXCEPTION_PLUGIN_EXITED ? DLL_ASKED_TO_EXIT
                                                                  : DLL_RECORDED_BAD;
    ReportDll(path, result, exceptionCode, step);
}

void ReportKeptLoaded(unsigned leftBehind)
{
    if (!entries.empty())
        entries.back().leftBehind = static_cast<unsigned char>(leftBehind);
}

void ClearReport()
{
    for (DllReport& entry : entries)
        delete[] entry.text;
    std::vector<DllReport>().swap(entries);
}

unsigned ReportCount()
{
    return static_cast<unsigned>(entries.size());
}

const DllReport& ReportAt(unsigned index)
{
    return entries[index];
}

bool RecordedWell(const DllReport& entry)
{
    return (entry.result == DLL_RECORDED || entry.result == DLL_RECORDED_KNOWN) && !entry.leftBehind;
}

namespace {

const struct {
    Leftover kind;
    const char* text;
} LEFTOVERS[] = {
    {LEFT_THREAD, "a thread running"},
    {LEFT_WINDOW, "a window"},
    {LEFT_CLASS, "a window class"},
    {LEFT_TIMER, "a timer"},
    {LEFT_HOOK, "a message hook"},
    {LEFT_HANDLER, "an exception handler"},
    {LEFT_FILTER, "an unhandled-exception filter"},
};

// "; kept loaded until the Wizard closes: it left a thread running and a window"
void DescribeLeftBehind(unsigned leftBehind, char* text, size_t size)
{
    size_t used = strlen(text);
    int left = 0;
    for (const auto& leftover : LEFTOVERS)
        left += (leftBehind & leftover.kind) ? 1 : 0;
    int told = 0;
    for (const auto& leftover : LEFTOVERS) {
        if (!(leftBehind & leftover.kind) || used >= size)
            continue;
        const char* joint = told == 0 ? "; kept loaded until the Wizard closes: it left " : told + 1 == left ? " and " : ", ";
        used += snprintf(text + used, size - used, "%s%s", joint, leftover.text);
        ++told;
    }
}

void DescribeResult(const DllReport& entry, char* text, size_t size)
{
    const char* own = entry.text ? entry.text : "";
    unsigned long detail = entry.detail;
    char system[256];
    switch (entry.result) {
    case DLL_RECORDED:
        snprintf(text, size, "VST plug-in, recorded");
        break;
    case DLL_RECORDED_KNOWN:
        snprintf(text, size, "VST plug-in, recorded as before");
        break;
    case DLL_RECORDED_BAD:
        if (detail)
            snprintf(text, size, "Crashed at \"%s\" (exception 0x%08lX); marked bad", own, detail);
        else
            snprintf(text, size, "Crashed at \"%s\"; marked bad", own);
        break;
    case DLL_NOT_RESPONDING:
        snprintf(text, size, "Did not respond at \"%s\", skipped; marked bad", own);
        break;
    case DLL_ASKED_TO_EXIT:
        snprintf(text, size, "Asked to end the process at \"%s\"; marked bad", own);
        break;
    case DLL_SKIPPED_BAD:
        snprintf(text, size, "Skipped: it crashed in an earlier run; %s", RETRY);
        break;
    case DLL_ENDED_WIZARD:
        snprintf(text, size, "Skipped: it ended the wizard in its last run; %s", RETRY);
        break;
    case DLL_LOAD_FAILED:
        SystemMessage(entry.detail, system, sizeof system);
        snprintf(text, size, "Cannot be loaded: %s", system);
        break;
    case DLL_PATH_TOO_LONG:
        snprintf(text, size, "Cannot be loaded: its path is too long (%lu characters; at most %d can be used)",
                 detail, MAX_PATH - 1);
        break;
    case DLL_NOT_A_LIBRARY:
        snprintf(text, size, "Cannot be loaded: not a library at all");
        break;
    case DLL_64_BIT:
        snprintf(text, size, "Cannot be loaded: built for 64-bit hosts; this adapter is 32-bit");
        break;
    case DLL_OTHER_MACHINE:
        snprintf(text, size, "Cannot be loaded: built for another processor (machine 0x%04lX)", detail);
        break;
    case DLL_MISSING_LIBRARY:
        snprintf(text, size, "Cannot be loaded: it needs %s, which is missing", own);
        break;
    case DLL_NO_ENTRY:
        snprintf(text, size, "Not a VST plug-in: no \"main\" or \"Main\" export");
        break;
    case DLL_VSTPLUGINMAIN_ONLY:
        snprintf(text, size, "Exports only \"VSTPluginMain\", a newer VST 2.4 entry point this adapter does not use");
        break;
    case DLL_NO_EFFECT:
        snprintf(text, size, detail ? "Its entry point returned an effect without a dispatcher"
                                    : "Its entry point returned nothing");
        break;
    case DLL_BAD_MAGIC:
        snprintf(text, size, "Not a VST plug-in: wrong magic number (0x%08lX)", detail);
        break;
    case DLL_NOT_IDENTIFIED:
        snprintf(text, size, "Did not identify itself as a VST plug-in (effIdentify answered 0x%08lX)", detail);
        break;
    case DLL_STORED_NOT_VST:
        snprintf(text, size, "Not a VST plug-in by its stored entry; the entry was removed");
        break;
    case DLL_NO_ENTRY_KEY:
        SystemMessage(entry.detail, system, sizeof system);
        snprintf(text, size, "Its registry entry could not be created: %s", system);
        break;
    case DLL_NO_ENTRY_NAME:
        snprintf(text, size, "Its file name gives no usable entry name");
        break;
    }
}

} // namespace

void DescribeDll(const DllReport& entry, char* text, size_t size)
{
    DescribeResult(entry, text, size);
    if (entry.leftBehind)
        DescribeLeftBehind(entry.leftBehind, text, size);
}
