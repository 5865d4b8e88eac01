// What a plug-in can leave damaged on the wizard's thread: the floating-point
// control state and the stack's guard page.
#pragma once

// Keeps the thread's x87 control word and MXCSR as they are now: the
// wizard's own, taken at start-up.
void CaptureFloatingPointState();
// Starts the x87 unit afresh (its register stack emptied, MMX use and
// pending exceptions ended) and puts back the kept control word and MXCSR,
// so that nothing a plug-in left there faults or spoils a value in the
// wizard or in the next plug-in. Keeps the control word as it is when
// nothing was kept.
void RestoreFloatingPointState();
// The x87 control word as it is now.
unsigned short FloatingPointControlWord();

// After a stack overflow has been trapped and the stack unwound: arms the
// guard page again, so that a second overflow is raised as one too instead
// of ending the process.
void RearmStackGuard();
