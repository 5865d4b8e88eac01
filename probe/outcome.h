// Where the last probe ended, kept for the run's report of every DLL. The
// probe only notes it; nothing in the probe reads it.
#pragma once
#include <windows.h>

enum ProbeEnd : unsigned char {
    PROBE_LOAD_FAILED,      // detail: GetLastError of the load
    PROBE_NO_ENTRY,         // detail: 1 when "VSTPluginMain" is exported
    PROBE_NO_EFFECT,        // detail: 0 no effect, 1 an effect without dispatcher
    PROBE_BAD_MAGIC,        // detail: the magic found
    PROBE_NOT_IDENTIFIED,   // detail: effIdentify's answer
    PROBE_PASSED,
};

struct ProbeOutcome {
    ProbeEnd end;
    DWORD detail;
    unsigned short leftBehind = 0;   // Leftover bits: the library was kept loaded
};

extern ProbeOutcome probeOutcome;
