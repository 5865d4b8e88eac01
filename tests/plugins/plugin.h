// The pieces one test plug-in is built from, and what they share. Every
// plug-in compiles all of them; its compile definitions (CMakeLists.txt)
// choose what each piece does, and a piece none of whose definitions is
// given does nothing. One file per family of behaviour:
//   plain.cpp      the entry point, the dispatcher, the effect record and
//                  what it reports, the libraries it imports, the call log
//   editor.cpp     the editor: the parent window it is handed, its rectangle
//   crashing.cpp   a fault, hang or exit in the entry point or one dispatcher
//                  call; a stack overflow; a fault the plug-in traps itself
//   hostile.cpp    harm to the process it runs in: the x87 unit's state,
//                  ending the process, waiting for a person in a window of
//                  its own, a large image
//   leftovers.cpp  what it leaves running after effClose, or takes back
//   dllmain.cpp    its start-up and clean-up code under the loader's lock
// fixtures.h is what the tests see of them.
#pragma once
#include <windows.h>
#include "probe/vst2.h"
#include "fixtures.h"

namespace fixtures {

// plain.cpp: the plug-in's own module, the call log and the host.
HMODULE Self();
extern bool logging;   // the call log is on (fixtures.h)
void Log(const char* format, ...);
intptr_t Ask(AEffect* effect, int32_t opcode);

// crashing.cpp
// An address nothing is mapped at; volatile so the compiler keeps the write.
extern int* volatile badAddress;
// Set once the plug-in has begun to fault, hang or exit as FAULT_KIND says.
extern bool faulted;
void FaultInEntry();
void FaultInCall(int32_t opcode, intptr_t value);
void CrashInOpen();

// editor.cpp: without an editor the calls answer 0.
bool HasEditor();
intptr_t OpenEditor(AEffect* effect, HWND parent);
intptr_t EditorRect(void* ptr);

// hostile.cpp: false when the entry point gives up and returns null.
bool GoOnInEntry();
void HarmInOpen();

// leftovers.cpp: what effOpen starts and never stops, and what a tidy
// plug-in's effClose takes back.
void LeaveSomethingBehind(HMODULE self);
void TakeItBack(HMODULE self);

} // namespace fixtures
