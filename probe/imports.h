// A loaded library's import slots pointed at stand-ins of the wizard's own,
// and put back. The probe does this to a plug-in right after loading it, so
// that what the plug-in asks of the system on its own behalf (ending the
// process, starting a thread, registering a callback) passes through the
// wizard first.
#pragma once
#include <windows.h>
#include <cstddef>
#include <initializer_list>

// The family of libraries a stand-in's function is imported from.
enum ImportOrigin : unsigned char {
    C_RUNTIME,   // msvcrt, the versioned msvcrXX, the universal runtime and its forwarders
    KERNEL,      // kernel32, kernelbase and the core forwarders
    USER,        // user32
};

struct StandIn {
    const char* name;
    ImportOrigin origin;
    void* function;
};

struct StandIns {
    const StandIn* table;
    size_t count;
};

template <size_t N> constexpr StandIns StandInsOf(const StandIn (&table)[N]) { return {table, N}; }

// Points every slot of library that imports one of the stand-ins' functions
// at the stand-in. Slots are found by the import's name, or, where the
// library was linked without a name table, by the address they hold. Their
// page keeps its protection, execute permission included.
void RedirectImports(HMODULE library, std::initializer_list<StandIns> tables);
// Puts every redirected slot back, last first.
void RestoreImports();

// For a stand-in that passes a call on: the function called name that the
// library holding code (an address inside it) imports from a library of
// origin, so that a call reaches the caller's own runtime. Null when that
// library imports no such function.
void* ImportOf(const void* code, const char* name, ImportOrigin origin);
