#include "probe/imports.h"
#include <cstring>
#include <vector>
#include "probe/spinlock.h"

namespace {

// One redirected slot, or (slot null) a function the library looked up by
// name and was handed the stand-in for.
struct Patch {
    void** slot;
    void* original;
    const void* standIn;
};

struct Patched {
    ULONG_PTR base, size;
    std::vector<Patch> patches;
    bool allBound;  // every slot was found bound: nothing is left to redirect
};

// Stand-ins run on any thread, some inside the loader.
volatile LONG patchLock;

// Never destroyed: the loader's notices of libraries unloaded at the
// process's end come after the program's own destructors.
std::vector<Patched*>& libraries = *new std::vector<Patched*>;

const int MAX_TABLES = 4;
StandIns tables[MAX_TABLES];
int tableCount;

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
    case MULTIMEDIA:
        return _stricmp(library, "winmm.dll") == 0;
    }
    return false;
}

// The system library a stand-in's function is taken from when no slot tells.
const char* const ORIGIN_LIBRARY[] = {"msvcrt.dll", "kernel32.dll", "user32.dll", "winmm.dll"};

template <class F> void ForEachStandIn(F f)
{
    for (int t = 0; t < tableCount; ++t)
        for (size_t i = 0; i < tables[t].count; ++i)
            f(tables[t].table[i]);
}

const StandIn* ByName(const char* library, const char* name)
{
    const StandIn* found = nullptr;
    ForEachStandIn([&](const StandIn& standIn) {
        if (!found && strcmp(standIn.name, name) == 0 && FromOrigin(library, standIn.origin))
            found = &standIn;
    });
    return found;
}

IMAGE_NT_HEADERS* Headers(BYTE* base)
{
    MEMORY_BASIC_INFORMATION memory;
    if (!VirtualQuery(base, &memory, sizeof memory) || memory.Type != MEM_IMAGE || memory.AllocationBase != base)
        return nullptr;
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

const IMAGE_IMPORT_DESCRIPTOR* FirstImport(BYTE* base)
{
    IMAGE_NT_HEADERS* nt = Headers(base);
    if (!nt)
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

// Writes value into slot only while it holds expected, so a slot the
// library changed since is left to it.
bool WriteSlot(void** slot, void* expected, void* value)
{
    MEMORY_BASIC_INFORMATION memory;
    if (!VirtualQuery(slot, &memory, sizeof memory) || memory.State != MEM_COMMIT)
        return false;
    DWORD writable = WritableOf(memory.Protect);
    DWORD previous = memory.Protect;
    if (writable != memory.Protect && !VirtualProtect(slot, sizeof *slot, writable, &previous))
        return false;
    bool written = InterlockedCompareExchangePointer(slot, value, expected) == expected;
    if (writable != memory.Protect)
        VirtualProtect(slot, sizeof *slot, previous, &previous);
    return written;
}

Patched* Find(ULONG_PTR address)
{
    for (Patched* library : libraries)
        if (address - library->base < library->size)
            return library;
    return nullptr;
}

bool Known(const Patched& library, void** slot)
{
    for (const Patch& patch : library.patches)
        if (patch.slot == slot)
            return true;
    return false;
}

void Plan(std::vector<Patch>& plan, const Patched& library, void** slot, const StandIn& standIn)
{
    void* original = *slot;
    if (original != standIn.function && !Known(library, slot))
        plan.push_back({slot, original, standIn.function});
}

void PlanByName(BYTE* base, const IMAGE_IMPORT_DESCRIPTOR& import, const Patched& library, std::vector<Patch>& plan,
                bool* unbound)
{
    const char* from = reinterpret_cast<const char*>(base + import.Name);
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import.OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import.FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
        // Not bound yet: the slot still holds what the name table does.
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
            continue;
        if (slots->u1.Function == names->u1.AddressOfData) {
            *unbound = true;
            continue;
        }
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (const StandIn* standIn = ByName(from, reinterpret_cast<const char*>(byName->Name)))
            Plan(plan, library, reinterpret_cast<void**>(&slots->u1.Function), *standIn);
    }
}

// Some linkers (Borland's, Delphi's) leave no name table: a slot is known by
// the address the loader put in it.
void PlanByAddress(BYTE* base, const IMAGE_IMPORT_DESCRIPTOR& import, const Patched& library, std::vector<Patch>& plan)
{
    const char* from = reinterpret_cast<const char*>(base + import.Name);
    HMODULE exporter = GetModuleHandleA(from);
    if (!exporter)
        return;
    ForEachStandIn([&](const StandIn& standIn) {
        if (!FromOrigin(from, standIn.origin))
            return;
        void* resolved = reinterpret_cast<void*>(GetProcAddress(exporter, standIn.name));
        if (!resolved)
            return;
        for (auto* slot = reinterpret_cast<void**>(base + import.FirstThunk); *slot; ++slot)
            if (*slot == resolved)
                Plan(plan, library, slot, standIn);
    });
}

bool FromAnyOrigin(const char* library)
{
    bool any = false;
    ForEachStandIn([&](const StandIn& standIn) { any = any || FromOrigin(library, standIn.origin); });
    return any;
}

Patched* Entry(HMODULE module)
{
    auto base = reinterpret_cast<ULONG_PTR>(module);
    {
        SpinLock lock(patchLock);
        if (Patched* known = Find(base))
            return known;
    }
    IMAGE_NT_HEADERS* nt = Headers(reinterpret_cast<BYTE*>(module));
    if (!nt)
        return nullptr;
    auto* library = new Patched{base, nt->OptionalHeader.SizeOfImage, {}, false};
    SpinLock lock(patchLock);
    libraries.push_back(library);
    return library;
}

// A plug-in that looks a watched function up by name gets the stand-in,
// and its original is kept as for a slot.
FARPROC WINAPI StandInGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC found = GetProcAddress(module, name);
    if (!found || !HIWORD(reinterpret_cast<ULONG_PTR>(name)))
        return found;
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (!length || length >= sizeof path)
        return found;
    const char* file = strrchr(path, '\\');
    const StandIn* standIn = ByName(file ? file + 1 : path, name);
    if (!standIn)
        return found;
    auto caller = reinterpret_cast<ULONG_PTR>(__builtin_return_address(0));
    SpinLock lock(patchLock);
    Patched* library = Find(caller);
    if (!library)
        return found;
    bool known = false;
    for (const Patch& patch : library->patches)
        known = known || (!patch.slot && patch.standIn == standIn->function);
    if (!known)
        library->patches.push_back({nullptr, reinterpret_cast<void*>(found), standIn->function});
    return reinterpret_cast<FARPROC>(standIn->function);
}

const StandIn OWN_STAND_INS[] = {
    {"GetProcAddress", KERNEL, reinterpret_cast<void*>(StandInGetProcAddress)},
};

// ---- Redirection at a library's entry point ------------------------------
// The entry's first five bytes are replaced with a jump to a stub of its
// own; the stub restores them, redirects the slots, and goes on into the
// entry with the loader's stack as it was.

const int JUMP_SIZE = 5;

struct EntryHook {
    BYTE stub[20];
    HMODULE library;
    BYTE* entry;
    BYTE saved[JUMP_SIZE];
};

bool WriteCode(BYTE* at, const BYTE* bytes)
{
    DWORD previous;
    if (!VirtualProtect(at, JUMP_SIZE, PAGE_EXECUTE_READWRITE, &previous))
        return false;
    memcpy(at, bytes, JUMP_SIZE);
    VirtualProtect(at, JUMP_SIZE, previous, &previous);
    FlushInstructionCache(GetCurrentProcess(), at, JUMP_SIZE);
    return true;
}

extern "C" void* __cdecl EntryReached(EntryHook* hook)
{
    WriteCode(hook->entry, hook->saved);
    RedirectImports(hook->library);
    return hook->entry;
}

// Stubs are never freed: one may still be left by its thread when the next
// is made. A block holds many.
EntryHook* NewHook()
{
    static EntryHook* block;
    static int used, room;
    if (used == room) {
        const SIZE_T size = 64 * 1024;
        block = static_cast<EntryHook*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
        if (!block)
            return nullptr;
        used = 0;
        room = size / sizeof(EntryHook);
    }
    return &block[used++];
}

void Put32(BYTE* at, ULONG_PTR value) { memcpy(at, &value, 4); }

} // namespace

void RedirectImportsAtEntry(HMODULE library)
{
    auto* base = reinterpret_cast<BYTE*>(library);
    IMAGE_NT_HEADERS* nt = Headers(base);
    DWORD entry = nt ? nt->OptionalHeader.AddressOfEntryPoint : 0;
    if (!entry || !(nt->FileHeader.Characteristics & IMAGE_FILE_DLL) || entry + JUMP_SIZE > nt->OptionalHeader.SizeOfImage)
        return;
    EntryHook* hook = NewHook();
    if (!hook)
        return;
    hook->library = library;
    hook->entry = base + entry;
    memcpy(hook->saved, hook->entry, JUMP_SIZE);
    // push hook; mov eax, EntryReached; call eax; add esp, 4; jmp eax
    BYTE* stub = hook->stub;
    stub[0] = 0x68;
    Put32(stub + 1, reinterpret_cast<ULONG_PTR>(hook));
    stub[5] = 0xB8;
    Put32(stub + 6, reinterpret_cast<ULONG_PTR>(EntryReached));
    const BYTE rest[] = {0xFF, 0xD0, 0x83, 0xC4, 0x04, 0xFF, 0xE0};
    memcpy(stub + 10, rest, sizeof rest);
    BYTE jump[JUMP_SIZE] = {0xE9};
    Put32(jump + 1, reinterpret_cast<ULONG_PTR>(stub) - reinterpret_cast<ULONG_PTR>(hook->entry + JUMP_SIZE));
    WriteCode(hook->entry, jump);
}

void UseStandIns(std::initializer_list<StandIns> given)
{
    tableCount = 0;
    tables[tableCount++] = StandInsOf(OWN_STAND_INS);
    for (const StandIns& standIns : given)
        if (tableCount < MAX_TABLES)
            tables[tableCount++] = standIns;
}

bool RedirectImports(HMODULE module)
{
    Patched* library = Entry(module);
    if (!library)
        return true;
    if (library->allBound)
        return true;
    auto* base = reinterpret_cast<BYTE*>(module);
    std::vector<Patch> plan;
    // Slots known only by the address they hold cannot be told bound or not.
    bool unbound = false;
    for (const IMAGE_IMPORT_DESCRIPTOR* import = FirstImport(base); import && import->Name; ++import) {
        if (!FromAnyOrigin(reinterpret_cast<const char*>(base + import->Name)))
            continue;
        if (import->OriginalFirstThunk) {
            PlanByName(base, *import, *library, plan, &unbound);
        } else {
            PlanByAddress(base, *import, *library, plan);
            unbound = true;
        }
    }
    library->allBound = !unbound;
    if (plan.empty())
        return library->allBound;
    // The originals are known before any slot leads to a stand-in.
    {
        SpinLock lock(patchLock);
        library->patches.insert(library->patches.end(), plan.begin(), plan.end());
    }
    for (const Patch& patch : plan)
        WriteSlot(patch.slot, patch.original, const_cast<void*>(patch.standIn));
    return library->allBound;
}

void RestoreImports(HMODULE module)
{
    Patched* library;
    {
        SpinLock lock(patchLock);
        library = Find(reinterpret_cast<ULONG_PTR>(module));
        if (!library)
            return;
    }
    for (auto patch = library->patches.rbegin(); patch != library->patches.rend(); ++patch) {
        // Only a slot inside the image that still holds its stand-in.
        auto at = reinterpret_cast<ULONG_PTR>(patch->slot);
        if (patch->slot && at - library->base <= library->size - sizeof(void*))
            WriteSlot(patch->slot, const_cast<void*>(patch->standIn), patch->original);
    }
    {
        SpinLock lock(patchLock);
        for (auto it = libraries.begin(); it != libraries.end(); ++it)
            if (*it == library) {
                libraries.erase(it);
                break;
            }
    }
    delete library;
}

void* OriginalOf(const void* caller, const void* standIn)
{
    {
        SpinLock lock(patchLock);
        if (Patched* library = Find(reinterpret_cast<ULONG_PTR>(caller)))
            for (const Patch& patch : library->patches)
                if (patch.standIn == standIn)
                    return patch.original;
    }
    void* original = nullptr;
    ForEachStandIn([&](const StandIn& entry) {
        if (!original && entry.function == standIn)
            if (HMODULE system = GetModuleHandleA(ORIGIN_LIBRARY[entry.origin]))
                original = reinterpret_cast<void*>(GetProcAddress(system, entry.name));
    });
    return original;
}
