#include "probe/probe.h"
#include "base/state.h"
#include "probe/frame.h"
#include "resource.h"

DWORD wantEventsFlag;

namespace {

const char EDITOR_PARENT_CLASS[] = "TmpWindowClass";
const COLORREF EDITOR_PARENT_COLOUR = RGB(5, 48, 64);
const float SAMPLE_RATE = 44100.0f;
const intptr_t BLOCK_SIZE = 1024;

// One call of the plug-in's dispatcher, as a step of the probe.
intptr_t Dispatch(ProbeFrame& frame, AEffect* effect, const char* step, int32_t opcode, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f)
{
    frame.step(step);
    return effect->dispatcher(effect, opcode, 0, value, ptr, opt);
}

// Opens the editor inside a hidden 5 x 5 child of a hidden dialog and reads
// the size it reports. Nothing here is released on a fault: the windows and
// the class then stay until the process ends, and a later probe uses the
// class as it is.
void MeasureEditor(ProbeFrame& frame, AEffect* effect, PluginRecord* record)
{
    HWND host = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_PROBE_HOST), nullptr, DummyProc, 0);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = moduleInstance;
    windowClass.hbrBackground = CreateSolidBrush(EDITOR_PARENT_COLOUR);
    windowClass.lpszClassName = EDITOR_PARENT_CLASS;
    // The class owns its brush once registered; when the class is still
    // there from a probe that faulted, this brush is nobody's.
    if (!RegisterClassA(&windowClass))
        DeleteObject(windowClass.hbrBackground);

    HWND parent = CreateWindowExA(0, EDITOR_PARENT_CLASS, nullptr, WS_CHILD, 0, 0, 5, 5, host, nullptr,
                                  moduleInstance, nullptr);

    ERect empty{};
    ERect* rect = &empty;
    Dispatch(frame, effect, "Open Editor", effEditOpen, 0, parent);
    Dispatch(frame, effect, "Get Editor RECT", effEditGetRect, 0, &rect);
    record->cxEditor = rect ? rect->right : 0;
    record->cyEditor = rect ? rect->bottom : 0;
    Dispatch(frame, effect, "Close Editor", effEditClose);

    frame.step("Post Close Editor");
    DestroyWindow(parent);
    UnregisterClassA(EDITOR_PARENT_CLASS, moduleInstance);
    DestroyWindow(host);
}

// Drives an identified plug-in through its opening sequence and fills the
// record. Only the fields named below are read from the effect record:
// plug-ins built without the original SDK hand out a shorter one.
void OpenAndRead(ProbeFrame& frame, AEffect* effect, PluginRecord* record)
{
    Dispatch(frame, effect, "Open", effOpen);
    Dispatch(frame, effect, "Set Sample Rate", effSetSampleRate, 0, nullptr, SAMPLE_RATE);
    Dispatch(frame, effect, "Set Block Size", effSetBlockSize, BLOCK_SIZE);
    Dispatch(frame, effect, "Set Program", effSetProgram, 0);
    Dispatch(frame, effect, "Switch On", effMainsChanged, 1);
    Dispatch(frame, effect, "Switch Off", effMainsChanged, 0);

    record->wantEvents = wantEventsFlag;
    record->isVst = 1;
    record->uniqueId = effect->uniqueID;
    record->numInputs = effect->numInputs;
    record->numOutputs = effect->numOutputs;
    record->numParams = effect->numParams;
    record->numPrograms = effect->numPrograms;
    int32_t flags = effect->flags;
    if (flags & effFlagsProgramChunks)
        record->progsChunks = 1;
    record->isSynth = (flags & effFlagsIsSynth) ? 1 : 0;

    if (flags & effFlagsHasEditor) {
        MeasureEditor(frame, effect, record);
    } else {
        record->cxEditor = 240;
        record->cyEditor = 20 * record->numParams;
    }
    Dispatch(frame, effect, "Close Effect", effClose);
}

VstEntryPoint EntryPoint(HMODULE library, const char* name)
{
    return reinterpret_cast<VstEntryPoint>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace

ProbeOutcome LoadVstPlugin(ProbeFrame& frame, PluginRecord* record)
{
    TraceOperation("Load VST Plugin");
    TraceFailurePoint("Load VST Plugin");
    // Some plug-ins use these without loading them themselves: every probe
    // takes one more reference, never given back, so they stay loaded
    // whatever the plug-ins unload.
    LoadLibraryA("msvcrt.dll");
    LoadLibraryA("dciman32.dll");
    LoadLibraryA("msvfw32.dll");

    wantEventsFlag = 0;
    frame.step("Load Library");
    HMODULE library = frame.loadPlugin(record->FullPath);
    if (!library)
        return {PROBE_LOAD_FAILED, GetLastError()};

    frame.step("Get Proc Address", false);
    VstEntryPoint entry = EntryPoint(library, "main");
    if (!entry)
        entry = EntryPoint(library, "Main");
    if (!entry) {
        ProbeOutcome outcome{PROBE_NO_ENTRY, EntryPoint(library, "VSTPluginMain") ? 1u : 0u};
        frame.step("Free Library (bad plugin)");
        outcome.leftBehind = static_cast<unsigned short>(frame.releasePlugin(library));
        return outcome;
    }

    // An entry point that hands out no effect, or one without a dispatcher,
    // ends the probe like a wrong magic number: the library is released.
    frame.step("Main Call");
    AEffect* effect = entry(EffectMaster);
    ProbeOutcome outcome;
    if (!effect || !effect->dispatcher) {
        outcome = {PROBE_NO_EFFECT, effect ? 1u : 0u};
    } else if (effect->magic != kEffectMagic) {
        outcome = {PROBE_BAD_MAGIC, static_cast<DWORD>(effect->magic)};
    } else {
        intptr_t answer = Dispatch(frame, effect, "Check Identity", effIdentify);
        outcome = {PROBE_NOT_IDENTIFIED, static_cast<DWORD>(answer)};
        if (answer == kIdentifyAnswer) {
            OpenAndRead(frame, effect, record);
            outcome = {PROBE_PASSED, 0};
        }
    }

    frame.step("Free Library");
    outcome.leftBehind = static_cast<unsigned short>(frame.releasePlugin(library));
    frame.step("Post Unload", false);
    return outcome;
}

intptr_t __cdecl EffectMaster(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    TraceOperation("EffectMaster");
    switch (opcode) {
    case audioMasterVersion:
        return 2;
    case audioMasterCurrentId:
        return 0x54455354;  // 'TEST'
    case audioMasterWantMidi:
        wantEventsFlag = 1;
        return 0;
    }
    return 0;
}

// Not guarded like the pages' procedures: a fault while the plug-in has the
// host dialog belongs to the plug-in trap region.
INT_PTR CALLBACK DummyProc(HWND, UINT message, WPARAM, LPARAM)
{
    TraceOperation("DummyProc:Proc");
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
