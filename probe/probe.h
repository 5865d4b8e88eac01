// The probe: loads one DLL as a VST 2 plug-in and reads what it is.
#pragma once
#include <windows.h>
#include "plugdb/record.h"
#include "probe/frame.h"
#include "probe/outcome.h"
#include "probe/vst2.h"

// Probes the DLL at record->FullPath, fills the record in place and returns
// how the probe ended. Faults raised by the plug-in are not trapped here:
// they end in the caller's trap region (ProbeFrame::probe), and whatever the
// probe had acquired stays as it was.
ProbeOutcome LoadVstPlugin(ProbeFrame& frame, PluginRecord* record);

// Set by the host callback when the plug-in asks for MIDI; cleared by the
// probe before it loads a DLL.
extern DWORD wantEventsFlag;

// The host callback handed to every plug-in's entry point.
intptr_t __cdecl EffectMaster(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                              float opt);

// The hidden host dialog's procedure (dialog 127), in which the probe opens
// a plug-in's editor to measure it.
INT_PTR CALLBACK DummyProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
