// The plug-in itself: its entry point, its dispatcher and the effect record
// it hands out, with what the record reports; the libraries it imports; the
// call log. The other pieces act from the places marked here.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include "plugin.h"

#ifndef ENTRY_NAME
#define ENTRY_NAME "main"
#endif
#ifndef IDENTIFY_ANSWER
#define IDENTIFY_ANSWER kIdentifyAnswer
#endif
#ifndef EFFECT_MAGIC
#define EFFECT_MAGIC kEffectMagic
#endif

#ifdef NEEDS_MISSING_HELPER
extern "C" __declspec(dllimport) int MissingHelperValue();
#endif
#ifdef NEEDS_HELPER
extern "C" __declspec(dllimport) int HelperAnswer();
#endif

namespace fixtures {

namespace {

VstHostCallback host;

// The record sits at the end of a readable page, followed by one that is
// not: reading past its 88 bytes faults.
const DWORD PAGE = 4096;

AEffect* NewEffect()
{
    char* block = static_cast<char*>(VirtualAlloc(nullptr, 2 * PAGE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(block + PAGE, PAGE, PAGE_NOACCESS, &old);
    return reinterpret_cast<AEffect*>(block + PAGE - sizeof(AEffect));
}

void DeleteEffect(AEffect* effect)
{
    VirtualFree(reinterpret_cast<char*>(effect) + sizeof(AEffect) - PAGE, 0, MEM_RELEASE);
}

[[maybe_unused]] intptr_t __cdecl Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    uint32_t bits;
    memcpy(&bits, &opt, sizeof bits);
    Log(FIXTURE_LOG_DISPATCH, opcode, index, static_cast<int>(value), ptr ? 1 : 0, static_cast<unsigned>(bits));
    FaultInCall(opcode, value);
    switch (opcode) {
    case effIdentify:
        return IDENTIFY_ANSWER;
    case effOpen:
        Ask(effect, audioMasterCurrentId);
        Ask(effect, UNKNOWN_HOST_OPCODE);
#ifdef MIDI_IN_OPEN
        Ask(effect, audioMasterWantMidi);
#endif
        LeaveSomethingBehind(Self());
        HarmInOpen();
        CrashInOpen();
        return 0;
    case effEditOpen:
        return OpenEditor(effect, static_cast<HWND>(ptr));
    case effEditGetRect:
        return EditorRect(ptr);
    case effClose:
        TakeItBack(Self());
        DeleteEffect(effect);
        return 0;
    }
    return 0;
}

} // namespace

bool logging;

HMODULE Self()
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Self), &self);
    return self;
}

void Log(const char* format, ...)
{
    if (!logging)
        return;
    char path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(Self(), path, MAX_PATH);
    memcpy(path + length, FIXTURE_LOG_SUFFIX, sizeof FIXTURE_LOG_SUFFIX);

    char line[512];
    va_list arguments;
    va_start(arguments, format);
    int n = vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (n < 0 || n > static_cast<int>(sizeof line) - 2)
        n = sizeof line - 2;
    line[n++] = '\n';

    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, line, n, &written, nullptr);
    CloseHandle(file);
}

intptr_t Ask(AEffect* effect, int32_t opcode)
{
    intptr_t answer = host(effect, opcode, 0, 0, nullptr, 0.0f);
    Log(FIXTURE_LOG_HOST, opcode, effect ? "effect" : "null", static_cast<int>(answer));
    return answer;
}

} // namespace fixtures

using namespace fixtures;

// Exported as "main" or "Main" (or under another name) by the variant's .def file.
extern "C" AEffect* __cdecl FixtureEntry(VstHostCallback hostCallback)
{
    logging = GetEnvironmentVariableA(FIXTURE_LOG_VARIABLE, nullptr, 0) != 0;
    Log(FIXTURE_LOG_ENTRY, ENTRY_NAME);
    host = hostCallback;
#ifdef NEEDS_MISSING_HELPER
    if (!MissingHelperValue())
        return nullptr;
#endif
    Ask(nullptr, audioMasterVersion);
#ifdef MIDI_IN_ENTRY
    Ask(nullptr, audioMasterWantMidi);
#endif
    if (!GoOnInEntry())
        return nullptr;
    FaultInEntry();
#ifdef NEEDS_HELPER
    if (HelperAnswer() != 42)
        return nullptr;
#endif
#ifdef ENTRY_RETURNS_NULL
    return nullptr;
#endif
    AEffect* effect = NewEffect();
    memset(effect, 0, sizeof *effect);
    effect->magic = EFFECT_MAGIC;
#ifndef NO_DISPATCHER
    effect->dispatcher = Dispatch;
#endif
#ifdef SYNTH
    effect->uniqueID = SYNTH_UNIQUE_ID;
    effect->numInputs = SYNTH_INPUTS;
    effect->numOutputs = SYNTH_OUTPUTS;
    effect->numParams = SYNTH_PARAMS;
    effect->numPrograms = SYNTH_PROGRAMS;
#elif defined(NO_PARAMS)
    effect->uniqueID = PLAIN_UNIQUE_ID;
    effect->numInputs = PLAIN_INPUTS;
    effect->numOutputs = PLAIN_OUTPUTS;
#else
    effect->uniqueID = PLAIN_UNIQUE_ID;
    effect->numInputs = PLAIN_INPUTS;
    effect->numOutputs = PLAIN_OUTPUTS;
    effect->numParams = PLAIN_PARAMS;
    effect->numPrograms = PLAIN_PROGRAMS;
#endif
    effect->flags = 0;
    if (HasEditor())
        effect->flags |= effFlagsHasEditor;
#ifdef SYNTH
    effect->flags |= effFlagsIsSynth;
#endif
#ifdef CHUNKS
    effect->flags |= effFlagsProgramChunks;
#endif
    return effect;
}
