// A loaded library's import slots pointed at stand-ins of the wizard's own,
// and put back. The probe does this to a plug-in, and to every library its
// load brings in, as each is mapped and before its DllMain runs, so that what
// their code asks of the system on its own behalf (ending the process,
// starting a thread, registering a callback) passes through the wizard
// first. A plug-in kept loaded keeps its stand-ins for good.
// Process-wide: a library's slots stay redirected for as long as it is
// loaded, which may outlast its probe, and stand-ins run on any thread.
#pragma once
#include <windows.h>
#include <cstddef>
#include <initializer_list>

// The family of libraries a stand-in's function is imported from.
enum ImportOrigin : unsigned char {
    C_RUNTIME,   // msvcrt, the versioned msvcrXX, the universal runtime and its forwarders
    KERNEL,      // kernel32, kernelbase and the core forwarders
    USER,        // user32
    MULTIMEDIA,  // winmm
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

// The stand-ins every redirection uses, given once before the first:
// process-wide, as the slots of a kept plug-in lead to them for good.
void UseStandIns(std::initializer_list<StandIns> tables);

// Points every slot of library that imports one of the stand-ins' functions
// at the stand-in. Slots are found by the import's name, or, where the
// library was linked without a name table, by the address they hold. A slot
// the loader has not filled yet is left for a later call; a slot already
// redirected is left as it is. Pages keep their protection, execute
// permission included. True once every slot of library was found bound:
// later calls then have nothing to do.
bool RedirectImports(HMODULE library);
// For a library just mapped whose slots were not all bound yet (Windows
// binds them only after telling of the library): redirects them at its
// entry point, right before its DllMain runs.
void RedirectImportsAtEntry(HMODULE library);
// Puts back every slot of library that still holds its stand-in, and forgets
// the library's originals.
void RestoreImports(HMODULE library);

// The function a stand-in passes a call on to: what the slot of the calling
// library (the one holding caller, an address in its code) held before it
// was redirected, or what that library looked up by name. For a caller the
// redirection does not know, the function of the stand-in's name in the
// system's library of its origin. Null when there is none.
void* OriginalOf(const void* caller, const void* standIn);
template <class F> F OriginalOf(const void* caller, F standIn)
{
    return reinterpret_cast<F>(OriginalOf(caller, reinterpret_cast<const void*>(standIn)));
}
