// What became of every DLL the scan found in this run, in scan order: kept
// in memory for the report dialog only, never written anywhere.
#pragma once
#include <windows.h>
#include <cstddef>
#include "probe/outcome.h"

enum DllResult : unsigned char {
    DLL_RECORDED,           // probed now and recorded as a VST plug-in
    DLL_RECORDED_KNOWN,     // recorded from its stored entry
    DLL_RECORDED_BAD,       // faulted while probed: text is the step, detail the exception code
    DLL_NOT_RESPONDING,     // did not respond and was skipped: text is the step
    DLL_ASKED_TO_EXIT,      // asked to end the process: text is the step
    DLL_SKIPPED_BAD,        // marked bad in an earlier run, not probed
    DLL_ENDED_WIZARD,       // ended the wizard in its last run, not probed
    DLL_LOAD_FAILED,        // detail: the system's error code
    DLL_PATH_TOO_LONG,      // detail: the path's length
    DLL_NOT_A_LIBRARY,
    DLL_64_BIT,             // detail: the machine field
    DLL_OTHER_MACHINE,      // detail: the machine field
    DLL_MISSING_LIBRARY,    // text: the library's name
    DLL_NO_ENTRY,
    DLL_VSTPLUGINMAIN_ONLY,
    DLL_NO_EFFECT,          // detail: 1 when the effect had no dispatcher
    DLL_BAD_MAGIC,          // detail: the magic found
    DLL_NOT_IDENTIFIED,     // detail: effIdentify's answer
    DLL_STORED_NOT_VST,     // its stored entry said it is no plug-in
    DLL_NO_ENTRY_KEY,       // detail: the system's error code
    DLL_NO_ENTRY_NAME,
};

// 16 bytes a DLL; the path is the FoundDllList text, not a copy.
struct DllReport {
    const char* path;
    char* text;             // a short text of its own, or null
    DWORD detail;
    DllResult result;
    unsigned char leftBehind;   // Leftover bits: kept loaded, and why
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
void ClearReport();

unsigned ReportCount();
const DllReport& ReportAt(unsigned index);
// Recorded as a VST plug-in, not marked bad and released: it is on the list
// page as it should be, and there is nothing more to tell of it.
bool RecordedWell(const DllReport& entry);
// The result as the user reads it.
void DescribeDll(const DllReport& entry, char* text, size_t size);
