// The VST 2 plug-in interface as the probe and the test plug-ins use it:
// the effect record, the dispatcher and host callback signatures, and the
// opcodes, flags and magic numbers they exchange. Only what this program
// sends, answers or reads is named here.
#pragma once
#include <stdint.h>

struct AEffect;

// Both directions use the C calling convention.
typedef intptr_t (__cdecl* VstHostCallback)(AEffect* effect, int32_t opcode, int32_t index,
                                            intptr_t value, void* ptr, float opt);
typedef intptr_t (__cdecl* VstDispatcher)(AEffect* effect, int32_t opcode, int32_t index,
                                          intptr_t value, void* ptr, float opt);
// The exported entry point, "main" (or "Main").
typedef AEffect* (__cdecl* VstEntryPoint)(VstHostCallback host);

// The head of the effect record a plug-in hands out. Plug-ins built without
// the original SDK allocate only this much (88 bytes on x86-32), without the
// reserved tail that follows it in the SDK's layout: the record is read field
// by field through the plug-in's pointer, never copied.
struct AEffect {
    int32_t magic;
    VstDispatcher dispatcher;
    void* process;
    void* setParameter;
    void* getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t reserved1;
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    void* processReplacing;
    void* processDoubleReplacing;
};
static_assert(sizeof(void*) != 4 || sizeof(AEffect) == 88, "effect record head is 88 bytes on x86-32");

enum : int32_t {
    kEffectMagic = 0x56737450,      // 'VstP'
    kIdentifyAnswer = 0x4E764566,   // 'NvEf', the answer to effIdentify
};

// Dispatcher opcodes (host to plug-in).
enum : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effIdentify = 22,
};

// Host callback opcodes (plug-in to host).
enum : int32_t {
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterWantMidi = 6,
};

// AEffect flags.
enum : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
};

// The editor's rectangle, in pixels.
struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
