// The probe marker: a value of ProductKey naming the DLL under probe and the
// step it has reached, there only while a probe runs. A marker found at the
// start of a run means the run before it ended inside that DLL's probe.
// The product key it is written under is opened once and kept open
// (process-wide), so that each step is one write.
#pragma once
#include <windows.h>
#include "base/text.h"

#define PROBE_MARKER_VALUE "ProbeMarker"

// The value's data, REG_BINARY of exactly this size; every text is
// zero-terminated inside its field.
struct ProbeMarker {
    char FullPath[PATH_TEXT_SIZE];
    char DosName[10];       // the entry name under "Plug-Ins"
    char step[64];          // the last step of the probe that ran code of the plug-in's
    DWORD newEntry;         // 1: the entry was created for this probe
};

// One probe's marker, held by its frame.
struct MarkedProbe {
    ProbeMarker current;
    bool marking = false;
    bool written = false;       // the value holds this probe
};

// Prepares the marker for the DLL about to be probed.
void BeginProbeMarker(MarkedProbe& marked, const char* path, const char* entryName, bool newEntry);
// The probe's step: into traceProbeStep and, while the probe is marked and
// the step runs code of the plug-in's, into the marker (the first such step
// writes the marker, each new one rewrites it). A step in which only the
// wizard's own code and the system's run leaves the marker as it is: the
// plug-in cannot end the process there.
void ProbeStep(MarkedProbe& marked, const char* text, bool runsPlugin);
// Removes the marker; the probe has ended, normally or through a trap.
void EndProbeMarker(MarkedProbe& marked);

// The marker a run left, if any. False when there is none, and when the
// value is not a well-formed marker (it is then removed).
bool TakeProbeMarker(ProbeMarker* marker);
// Removes whatever marker value there is.
void ClearProbeMarker();
