// What became of every DLL the scan found in this run, in scan order: kept
// in memory for the report dialog only, never written anywhere.
#pragma once
#include <windows.h>
#include <cstddef>
#include "probe/outcome.h"
#include "probe/scan.h"

// What a result's text takes from its entry: nothing; the entry's own text
// (%s); the detail (a number; the longest path the system loads follows it,
// for the one text that names that); the own text, then the detail; the
// system's message for the error code in the detail (%s).
enum ResultFill { FILL_NONE, FILL_TEXT, FILL_DETAIL, FILL_TEXT_DETAIL, FILL_MESSAGE };

// A result comes from neither a probe's end nor a finding in the file.
#define NO_END     -1
#define NO_FINDING -1

#define RETRY_HINT "tick \"Re-scan failed plug-ins\" to try it again"

// Every result, one line each, so that a new one is added here alone:
//   X(result, the probe's end it comes from, the file's finding (ImageFinding)
//     it comes from, what its text takes, its text, its text when the detail
//     is 0)
// The first two are the DLLs that are on the list page as they should be.
#define DLL_RESULTS(X) \
    X(DLL_RECORDED, PROBE_PASSED, NO_FINDING, FILL_NONE, "VST plug-in, recorded", nullptr) \
    X(DLL_RECORDED_KNOWN, NO_END, NO_FINDING, FILL_NONE, "VST plug-in, recorded as before", nullptr) \
    /* text: the step it faulted at; detail: the exception's code, 0 for one of the program's own throws. \
       The next two: the step it did not respond at, or asked to end the process at. */ \
    X(DLL_RECORDED_BAD, NO_END, NO_FINDING, FILL_TEXT_DETAIL, \
      "Crashed at \"%s\" (exception 0x%08lX); marked bad", "Crashed at \"%s\"; marked bad") \
    X(DLL_NOT_RESPONDING, NO_END, NO_FINDING, FILL_TEXT, "Did not respond at \"%s\", skipped; marked bad", nullptr) \
    X(DLL_ASKED_TO_EXIT, NO_END, NO_FINDING, FILL_TEXT, "Asked to end the process at \"%s\"; marked bad", nullptr) \
    /* A plug-in kept loaded whose thread did so later: it was stopped. detail: the exception's code */ \
    X(DLL_KEPT_ASKED_TO_EXIT, NO_END, NO_FINDING, FILL_NONE, \
      "VST plug-in, recorded; later one of its threads asked to end the process, and was stopped; marked bad", \
      nullptr) \
    X(DLL_KEPT_CRASHED, NO_END, NO_FINDING, FILL_DETAIL, \
      "VST plug-in, recorded; later one of its threads crashed (exception 0x%08lX), and was stopped; marked bad", \
      nullptr) \
    X(DLL_SKIPPED_BAD, NO_END, NO_FINDING, FILL_NONE, "Skipped: it crashed in an earlier run; " RETRY_HINT, nullptr) \
    X(DLL_ENDED_WIZARD, NO_END, NO_FINDING, FILL_NONE, \
      "Skipped: it ended the wizard in its last run; " RETRY_HINT, nullptr) \
    /* detail: the system's error code */ \
    X(DLL_LOAD_FAILED, PROBE_LOAD_FAILED, NO_FINDING, FILL_MESSAGE, "Cannot be loaded: %s", nullptr) \
    X(DLL_MEMORY_FULL, NO_END, NO_FINDING, FILL_NONE, \
      "Not analysed in this run: memory is full of the plug-ins kept loaded; run the Wizard again to analyse it", \
      nullptr) \
    /* detail: the path's length */ \
    X(DLL_PATH_TOO_LONG, NO_END, IMAGE_PATH_TOO_LONG, FILL_DETAIL, \
      "Cannot be loaded: its path is too long (%lu characters; at most %d can be used)", nullptr) \
    X(DLL_FOLDER, NO_END, IMAGE_FOLDER, FILL_NONE, "Cannot be loaded: a folder, not a DLL file", nullptr) \
    X(DLL_NOT_A_LIBRARY, NO_END, IMAGE_NOT_A_LIBRARY, FILL_NONE, "Cannot be loaded: not a library at all", nullptr) \
    /* detail: the machine field, here and in the next */ \
    X(DLL_64_BIT, NO_END, IMAGE_64_BIT, FILL_NONE, \
      "Cannot be loaded: built for 64-bit hosts; this adapter is 32-bit", nullptr) \
    X(DLL_OTHER_MACHINE, NO_END, IMAGE_OTHER_MACHINE, FILL_DETAIL, \
      "Cannot be loaded: built for another processor (machine 0x%04lX)", nullptr) \
    /* text: the library's name */ \
    X(DLL_MISSING_LIBRARY, NO_END, IMAGE_MISSING_LIBRARY, FILL_TEXT, \
      "Cannot be loaded: it needs %s, which is missing", nullptr) \
    /* detail: 1 when it exports "VSTPluginMain" */ \
    X(DLL_NO_ENTRY, PROBE_NO_ENTRY, NO_FINDING, FILL_NONE, \
      "Exports only \"VSTPluginMain\", a newer VST 2.4 entry point this adapter does not use", \
      "Not a VST plug-in: no \"main\" or \"Main\" export") \
    /* detail: 1 when the effect had no dispatcher */ \
    X(DLL_NO_EFFECT, PROBE_NO_EFFECT, NO_FINDING, FILL_NONE, \
      "Its entry point returned an effect without a dispatcher", "Its entry point returned nothing") \
    /* detail: the magic found, and effIdentify's answer in the next */ \
    X(DLL_BAD_MAGIC, PROBE_BAD_MAGIC, NO_FINDING, FILL_DETAIL, \
      "Not a VST plug-in: wrong magic number (0x%08lX)", nullptr) \
    X(DLL_NOT_IDENTIFIED, PROBE_NOT_IDENTIFIED, NO_FINDING, FILL_DETAIL, \
      "Did not identify itself as a VST plug-in (effIdentify answered 0x%08lX)", nullptr) \
    X(DLL_STORED_NOT_VST, NO_END, NO_FINDING, FILL_NONE, \
      "Not a VST plug-in by its stored entry; the entry was removed", nullptr) \
    /* detail: the system's error code */ \
    X(DLL_NO_ENTRY_KEY, NO_END, NO_FINDING, FILL_MESSAGE, "Its registry entry could not be created: %s", nullptr) \
    X(DLL_NO_ENTRY_NAME, NO_END, NO_FINDING, FILL_NONE, "Its file name gives no usable entry name", nullptr) \
    X(DLL_NAME_LOST, NO_END, NO_FINDING, FILL_NONE, \
      "Its name cannot be written in this system's code page, and its drive keeps no short (8.3) names: " \
      "rename it, or turn on short names for the drive and copy it there again", nullptr) \
    /* detail: 1 for a search folder that several folders there answer to */ \
    X(DLL_FOLDER_LOST, NO_END, NO_FINDING, FILL_NONE, \
      "A search folder whose name cannot be written in this system's code page, and several folders there give " \
      "that name: rename it, then choose it again on the search-path page", \
      "A folder whose name cannot be written in this system's code page, on a drive that keeps no short (8.3) " \
      "names, so its DLLs cannot be searched: rename it, or turn on short names for the drive and copy it there " \
      "again") \
    /* detail: the path's length */ \
    X(DLL_FOLDER_TOO_LONG, NO_END, NO_FINDING, FILL_DETAIL, \
      "A folder whose path is too long to search (%lu characters), and no short (8.3) names shorten it: move " \
      "its DLLs to a folder with a shorter path", nullptr)

#define DLL_RESULT_NAME(result, ...) result,
enum DllResult : unsigned char { DLL_RESULTS(DLL_RESULT_NAME) };
#undef DLL_RESULT_NAME

// 16 bytes a DLL; the path is the FoundDllList text, not a copy (a name the
// scan could not list has a copy of its own in text).
struct DllReport {
    const char* path;
    char* text;             // a short text of its own, or null
    DWORD detail;
    DllResult result;
    unsigned short leftBehind;  // Leftover bits: kept loaded, and why
};

// Room for a run's DLLs at once, so the report grows by no more than it holds.
void ReserveReport(unsigned count);
void ReportDll(const char* path, DllResult result, DWORD detail = 0, const char* text = nullptr);
// A probe that ended without a VST plug-in: where it ended, told more
// precisely from the file where the system would not load it.
void ReportProbeEnd(const char* path, const ProbeOutcome& outcome);
// A probe the plug-in trap region ended: the exception's code and the step.
void ReportTrap(const char* path, DWORD exceptionCode, const char* step);
// The DLL reported last stayed loaded, for what it left behind.
void ReportKeptLoaded(unsigned leftBehind);
// A DLL kept loaded did later what result says; it keeps what it left behind.
void ReportKeptEvent(const char* path, DllResult result, DWORD detail);
// What the scan can neither search nor list, and why.
void ReportLostName(const char* path, LostEntry why);
void ClearReport();

unsigned ReportCount();
const DllReport& ReportAt(unsigned index);
// Recorded as a VST plug-in, not marked bad and released: it is on the list
// page as it should be, and there is nothing more to tell of it.
bool RecordedWell(const DllReport& entry);
// The result as the user reads it.
void DescribeDll(const DllReport& entry, char* text, size_t size);
