// What the system tells of a thread beyond the Win32 calls: where it was
// started and where its stack lies.
#pragma once
#include <windows.h>

// The start address the thread was created with; null when it cannot be had.
void* ThreadStartAddress(HANDLE thread);
// The thread's information block (its stack's base and limit); null when it
// cannot be had.
NT_TIB* ThreadInformationBlock(HANDLE thread);
