#include "probe/imports.h"
#include <cstring>
#include <vector>

namespace {

struct Patch {
    void** slot;
    void* original;
};
std::vector<Patch> patches;

bool StartsWith(const char* text, const char* prefix) { return _strnicmp(text, prefix, strlen(prefix)) == 0; }

bool FromOrigin(const char* library, ImportOrigin origin)
{
    switch (origin) {
    case C_RUNTIME:
        return StartsWith(library, "msvcr") || StartsWith(library, "ucrtbase") || StartsWith(library, "api-ms-win-crt-")
               || StartsWith(library, "crtdll");
    case KERNEL:
        return _stricmp(library, "kernel32.dll") == 0 || _stricmp(library, "kernelbase.dll") == 0
               || StartsWith(library, "api-ms-win-core-");
    case USER:
        return _stricmp(library, "user32.dll") == 0;
    }
    return false;
}

const IMAGE_IMPORT_DESCRIPTOR* FirstImport(BYTE* base)
{
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return nullptr;
    return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
}

// Writable, with the execute permission the page had: code of the library
// may share the page with its slots and run on another thread meanwhile.
DWORD WritableOf(DWORD protection)
{
    DWORD modifiers = protection & ~0xFFu;
    switch (protection & 0xFF) {
    case PAGE_READONLY:
    case PAGE_WRITECOPY:
        return PAGE_READWRITE | modifiers;
    case PAGE_EXECUTE:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_WRITECOPY:
        return PAGE_EXECUTE_READWRITE | modifiers;
    }
    return protection;
}

bool WriteSlot(void** slot, void* value)
{
    MEMORY_BASIC_INFORMATION memory;
    if (!VirtualQuery(slot, &memory, sizeof memory))
        return false;
    DWORD writable = WritableOf(memory.Protect);
    DWORD previous = memory.Protect;
    if (writable != memory.Protect && !VirtualProtect(slot, sizeof *slot, writable, &previous))
        return false;
    InterlockedExchangePointer(slot, value);
    if (writable != memory.Protect)
        VirtualProtect(slot, sizeof *slot, previous, &previous);
    return true;
}

void Redirect(void** slot, const StandIn& standIn)
{
    void* original = *slot;
    if (original == standIn.function || !WriteSlot(slot, standIn.function))
        return;
    patches.push_back({slot, original});
}

const StandIn* ByName(std::initializer_list<StandIns> tables, const char* library, const char* name)
{
    for (const StandIns& standIns : tables)
        for (size_t i = 0; i < standIns.count; ++i)
            if (strcmp(standIns.table[i].name, name) == 0 && FromOrigin(library, standIns.table[i].origin))
                return &standIns.table[i];
    return nullptr;
}

void RedirectByName(BYTE* base, const IMAGE_IMPORT_DESCRIPTOR& import, std::initializer_list<StandIns> tables)
{
    const char* library = reinterpret_cast<const char*>(base + import.Name);
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import.OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import.FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
            continue;
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (const StandIn* standIn = ByName(tables, library, reinterpret_cast<const char*>(byName->Name)))
            Redirect(reinterpret_cast<void**>(&slots->u1.Function), *standIn);
    }
}

// Some linkers (Borland's, Delphi's) leave no name table: a slot is known by
// the address the loader put in it.
void RedirectByAddress(BYTE* base, const IMAGE_IMPORT_DESCRIPTOR& import, std::initializer_list<StandIns> tables)
{
    const char* library = reinterpret_cast<const char*>(base + import.Name);
    HMODULE from = GetModuleHandleA(library);
    if (!from)
        return;
    for (const StandIns& standIns : tables)
        for (size_t i = 0; i < standIns.count; ++i) {
            const StandIn& standIn = standIns.table[i];
            if (!FromOrigin(library, standIn.origin))
                continue;
            void* resolved = reinterpret_cast<void*>(GetProcAddress(from, standIn.name));
            if (!resolved)
                continue;
            for (auto* slot = reinterpret_cast<void**>(base + import.FirstThunk); *slot; ++slot)
                if (*slot == resolved)
                    Redirect(slot, standIn);
        }
}

bool FromAnyOrigin(const char* library, std::initializer_list<StandIns> tables)
{
    for (const StandIns& standIns : tables)
        for (size_t i = 0; i < standIns.count; ++i)
            if (FromOrigin(library, standIns.table[i].origin))
                return true;
    return false;
}

} // namespace

void RedirectImports(HMODULE library, std::initializer_list<StandIns> tables)
{
    auto* base = reinterpret_cast<BYTE*>(library);
    const IMAGE_IMPORT_DESCRIPTOR* import = FirstImport(base);
    for (; import && import->Name; ++import) {
        if (!FromAnyOrigin(reinterpret_cast<const char*>(base + import->Name), tables))
            continue;
        if (import->OriginalFirstThunk)
            RedirectByName(base, *import, tables);
        else
            RedirectByAddress(base, *import, tables);
    }
}

void RestoreImports()
{
    while (!patches.empty()) {
        WriteSlot(patches.back().slot, patches.back().original);
        patches.pop_back();
    }
}

void* ImportOf(const void* code, const char* name, ImportOrigin origin)
{
    MEMORY_BASIC_INFORMATION memory;
    if (!VirtualQuery(code, &memory, sizeof memory) || memory.Type != MEM_IMAGE)
        return nullptr;
    auto* base = static_cast<BYTE*>(memory.AllocationBase);
    for (const IMAGE_IMPORT_DESCRIPTOR* import = FirstImport(base); import && import->Name; ++import) {
        const char* library = reinterpret_cast<const char*>(base + import->Name);
        if (!FromOrigin(library, origin))
            continue;
        if (HMODULE from = GetModuleHandleA(library))
            if (FARPROC function = GetProcAddress(from, name))
                return reinterpret_cast<void*>(function);
    }
    return nullptr;
}
