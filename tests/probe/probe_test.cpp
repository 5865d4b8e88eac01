// The probe against the test plug-ins: the exact calls each one receives,
// what the record gets, and how each road ends.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "base/state.h"
#include "base/text.h"
#include "base/trap.h"
#include "plugins/fixtures.h"
#include "probe/frame.h"
#include "probe/probe.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "wizard/trappages.h"

using namespace fixtures;
using Lines = std::vector<std::string>;

namespace {

const std::string ENTRY = "entry main";
const std::string VERSION_ASKED = HostLine(audioMasterVersion, false, 2);
const std::string CURRENT_ID_ASKED = HostLine(audioMasterCurrentId, true, 0x54455354);
const std::string UNKNOWN_ASKED = HostLine(UNKNOWN_HOST_OPCODE, true, 0);

// What every plug-in that passes receives up to switching off.
Lines OpeningSequence()
{
    return {DispatchLine(effIdentify),
            DispatchLine(effOpen),
            CURRENT_ID_ASKED,
            UNKNOWN_ASKED,
            DispatchLine(effSetSampleRate, 0, 0, false, 44100.0f),
            DispatchLine(effSetBlockSize, 0, 1024),
            DispatchLine(effSetProgram, 0, 0),
            DispatchLine(effMainsChanged, 0, 1),
            DispatchLine(effMainsChanged, 0, 0)};
}

Lines Join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A record whose every field holds something other than what a probe
// writes, so a field the probe leaves alone shows as unchanged.
PluginRecord Preset(const std::string& path)
{
    PluginRecord record;
    memset(&record, 0x5A, sizeof record);
    CopyText(record.FullName, "Stored name");
    CopyText(record.PresetPath, "C:\\presets");
    CopyText(record.DosName, "STORED");
    CopyText(record.FullPath, path.c_str());
    return record;
}

struct Probed {
    PluginRecord record;
    Lines calls;
    std::string step;
    bool stillLoaded;
};

Probed Probe(const std::string& fixture, PluginRecord record)
{
    moduleInstance = GetModuleHandleA(nullptr);
    std::string path = Built(fixture);
    StartCallLog(path);
    CopyText(record.FullPath, path.c_str());
    {
        ProbeFrame frame(path.c_str(), "TEST", false, record.FullName);
        LoadVstPlugin(frame, &record);
    }
    return {record, CallLog(path), FailureTrace.traceProbeStep, GetModuleHandleA(path.c_str()) != nullptr};
}

Probed Probe(const std::string& fixture) { return Probe(fixture, Preset(Built(fixture))); }

bool SameRecord(const PluginRecord& a, const PluginRecord& b) { return memcmp(&a, &b, sizeof a) == 0; }

bool EditorClassRegistered()
{
    WNDCLASSA windowClass;
    return GetClassInfoA(moduleInstance, "TmpWindowClass", &windowClass) != 0;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int ThreadWindows()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// What the exception page shows ("operation / point") if the wizard fails
// right now: the trace as the probe left it.
std::string ExceptionPageNow()
{
    std::string shown;
    DialogScript script;
    script.on(EXCEPTION, [&](HWND page) {
        shown = ItemText(page, IDC_EXCEPTION_OPERATION) + " / " + ItemText(page, IDC_EXCEPTION_POINT);
        Click(page, IDOK);
    });
    ShowExceptionPage();
    return shown;
}

} // namespace

TEST(Probe, PlainEffectIsDrivenThroughTheOpeningSequenceAndReleased)
{
    PluginRecord before = Preset(Built("plain.dll"));
    Probed probed = Probe("plain.dll", before);

    EXPECT_EQ(Join({{ENTRY, VERSION_ASKED}, OpeningSequence(), {DispatchLine(effClose)}}), probed.calls);
    const PluginRecord& record = probed.record;
    EXPECT_EQ(1u, record.isVst);
    EXPECT_EQ(static_cast<DWORD>(PLAIN_UNIQUE_ID), record.uniqueId);
    EXPECT_EQ(PLAIN_INPUTS, record.numInputs);
    EXPECT_EQ(PLAIN_OUTPUTS, record.numOutputs);
    EXPECT_EQ(PLAIN_PARAMS, record.numParams);
    EXPECT_EQ(PLAIN_PROGRAMS, record.numPrograms);
    EXPECT_EQ(0u, record.isSynth);
    EXPECT_EQ(0u, record.wantEvents);
    // Fields the probe does not own keep what they had.
    EXPECT_STREQ("Stored name", record.FullName);
    EXPECT_STREQ("STORED", record.DosName);
    EXPECT_STREQ("C:\\presets", record.PresetPath);
    EXPECT_EQ(before.isBad, record.isBad);
    EXPECT_EQ(before.registerAsSynth, record.registerAsSynth);
    EXPECT_EQ(before.progsChunks, record.progsChunks);
    EXPECT_EQ(0, memcmp(&before.clsidPlug, &record.clsidPlug, sizeof record.clsidPlug));

    EXPECT_EQ("Post Unload", probed.step);
    // The host callback the plug-in called last names itself.
    EXPECT_EQ("EffectMaster / Load VST Plugin", ExceptionPageNow());
    EXPECT_FALSE(probed.stillLoaded);
    EXPECT_FALSE(EditorClassRegistered());
}

TEST(Probe, EditorIsOpenedInHiddenHostWindowsAndMeasuredBeforeItIsClosed)
{
    int windowsBefore = ThreadWindows();
    Probed probed = Probe("synth.dll");

    Lines expected = Join({{ENTRY, VERSION_ASKED},
                           OpeningSequence(),
                           {DispatchLine(effEditOpen, 0, 0, true),
                            "editor parent TmpWindowClass 5x5 style=40000000 exstyle=00000000 visible=0 "
                            "classstyle=0 brush=403005 defproc=1 host #32770 visible=0",
                            DispatchLine(effEditGetRect, 0, 0, true),
                            DispatchLine(effEditClose),
                            DispatchLine(effClose)}});
    EXPECT_EQ(expected, probed.calls);

    EXPECT_EQ(1u, probed.record.isSynth);
    EXPECT_EQ(static_cast<DWORD>(SYNTH_UNIQUE_ID), probed.record.uniqueId);
    EXPECT_EQ(SYNTH_INPUTS, probed.record.numInputs);
    EXPECT_EQ(SYNTH_OUTPUTS, probed.record.numOutputs);

    EXPECT_EQ("Post Unload", probed.step);
    // So does the hidden host dialog's procedure, last called as it closed.
    EXPECT_EQ("DummyProc:Proc / Load VST Plugin", ExceptionPageNow());
    EXPECT_FALSE(EditorClassRegistered());
    EXPECT_EQ(windowsBefore, ThreadWindows());
}

TEST(Probe, EntryPointIsMainThenUpperCaseMain)
{
    Probed probed = Probe("main_upper.dll");
    ASSERT_FALSE(probed.calls.empty());
    EXPECT_EQ("entry Main", probed.calls.front());
    EXPECT_EQ(1u, probed.record.isVst);
    EXPECT_EQ(static_cast<DWORD>(PLAIN_UNIQUE_ID), probed.record.uniqueId);
}

// Every road that finds no usable plug-in leaves the record as it was
// (isVst included, even when it was 1) and releases what it loaded.
TEST(Probe, DllsThatAreNoPluginLeaveTheRecordAlone)
{
    struct Case {
        const char* fixture;
        Lines calls;
        const char* step;
    } cases[] = {
        {"noentry.dll", {}, "Free Library (bad plugin)"},
        {"null_entry.dll", {ENTRY, VERSION_ASKED}, "Post Unload"},
        {"no_dispatcher.dll", {ENTRY, VERSION_ASKED}, "Post Unload"},
        {"bad_magic.dll", {ENTRY, VERSION_ASKED}, "Post Unload"},
        {"no_identify.dll", {ENTRY, VERSION_ASKED, DispatchLine(effIdentify)}, "Post Unload"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        PluginRecord before = Preset(Built(c.fixture));
        before.isVst = 1;
        Probed probed = Probe(c.fixture, before);
        EXPECT_TRUE(SameRecord(before, probed.record));
        EXPECT_EQ(c.calls, probed.calls);
        EXPECT_EQ(c.step, probed.step);
        EXPECT_FALSE(probed.stillLoaded);
    }
}

TEST(Probe, FilesThatCannotBeLoadedLeaveTheRecordAlone)
{
    std::string dir = FreshDir("probe_unloadable");
    WriteBytes(dir + "\\empty.dll", "");
    WriteBytes(dir + "\\.dll", "");
    WriteBytes(dir + "\\text.dll", "This is not a program.\r\n");
    CreateDirectoryA((dir + "\\folder.dll").c_str(), nullptr);
    // The head of a 64-bit DLL: a 32-bit process cannot load it.
    std::string pe64(0x200, '\0');
    pe64[0] = 'M';
    pe64[1] = 'Z';
    pe64[0x3C] = 0x40;
    memcpy(&pe64[0x40], "PE\0\0\x64\x86", 6);               // machine AMD64
    pe64[0x54] = static_cast<char>(0xF0);                    // size of optional header
    pe64[0x56] = 0x22;                                       // executable, large addresses
    pe64[0x57] = 0x20;                                       // DLL
    pe64[0x58] = 0x0B;                                       // PE32+ magic
    pe64[0x59] = 0x02;
    WriteBytes(dir + "\\x64.dll", pe64);

    for (const char* name : {"empty.dll", ".dll", "text.dll", "folder.dll", "x64.dll", "missing.dll"}) {
        SCOPED_TRACE(name);
        PluginRecord before = Preset(dir + "\\" + name);
        PluginRecord record = before;
        ProbeFrame frame(record.FullPath, "TEST", false, record.FullName);
        LoadVstPlugin(frame, &record);
        EXPECT_TRUE(SameRecord(before, record));
        EXPECT_STREQ("Load Library", FailureTrace.traceProbeStep);
    }
}

TEST(Probe, MidiRequestsCountFromTheEntryPointAndTheOpeningSequenceOnly)
{
    struct Case {
        const char* fixture;
        DWORD stored;
        DWORD wantEvents;
    } cases[] = {
        {"midi_main.dll", 0, 1},
        {"midi_open.dll", 0, 1},
        {"midi_editor.dll", 0, 0},
        {"plain.dll", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        PluginRecord before = Preset(Built(c.fixture));
        before.wantEvents = c.stored;
        Probed probed = Probe(c.fixture, before);
        EXPECT_EQ(c.wantEvents, probed.record.wantEvents);
        if (strcmp(c.fixture, "plain.dll") != 0) {
            Lines& calls = probed.calls;
            EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(),
                                             HostLine(audioMasterWantMidi, strcmp(c.fixture, "midi_main.dll") != 0, 0)));
        }
    }
}

TEST(Probe, ChunksFlagIsSetButNeverClearedWhileTheSynthFlagFollowsThePlugin)
{
    PluginRecord stored = Preset(Built("chunks.dll"));
    stored.progsChunks = 0;
    EXPECT_EQ(1u, Probe("chunks.dll", stored).record.progsChunks);

    stored.progsChunks = 1;
    stored.isSynth = 1;
    Probed plain = Probe("plain.dll", stored);
    EXPECT_EQ(1u, plain.record.progsChunks);
    EXPECT_EQ(0u, plain.record.isSynth);
}

TEST(Probe, PluginWithoutParametersOrProgramsStillGetsProgramZero)
{
    Probed probed = Probe("no_params.dll");
    EXPECT_EQ(0, probed.record.numPrograms);
    EXPECT_NE(probed.calls.end(), std::find(probed.calls.begin(), probed.calls.end(), DispatchLine(effSetProgram)));
}

TEST(Probe, PluginThatHandlesItsOwnFaultIsNotTrapped)
{
    Probed probed;
    EXPECT_TRUE(Trapped([&] { probed = Probe("handled.dll"); }));
    EXPECT_NE(probed.calls.end(), std::find(probed.calls.begin(), probed.calls.end(), FIXTURE_LOG_HANDLED));
    EXPECT_EQ(1u, probed.record.isVst);
    EXPECT_EQ(DispatchLine(effClose), probed.calls.back());
}

TEST(Probe, FaultInTheEditorLeavesItsWindowsAndTheNextEditorIsStillMeasured)
{
    moduleInstance = GetModuleHandleA(nullptr);
    std::string path = Built("fault_getrect.dll");
    PluginRecord record = Preset(path);
    record.isVst = 0;
    record.cxEditor = 77;
    EXPECT_TRUE(ProbeFrame(path.c_str(), "TEST", false, record.FullName).probe(&record).trapped);
    EXPECT_EQ(1u, record.isVst);
    EXPECT_EQ(static_cast<DWORD>(PLAIN_UNIQUE_ID), record.uniqueId);
    EXPECT_EQ(PLAIN_PARAMS, record.numParams);
    EXPECT_EQ(77, record.cxEditor);
    EXPECT_STREQ("Get Editor RECT", FailureTrace.traceProbeStep);

    // The editor windows and their class stay behind; the next plug-in's
    // editor is measured in a parent of the class that is still there.
    EXPECT_TRUE(EditorClassRegistered());
    Probed synth = Probe("synth.dll");
    EXPECT_EQ(SYNTH_RECT_RIGHT, synth.record.cxEditor);
    EXPECT_EQ(SYNTH_RECT_BOTTOM, synth.record.cyEditor);
    EXPECT_EQ("Post Unload", synth.step);
    // The windows the fault left still use the class, so it stays.
    EXPECT_TRUE(EditorClassRegistered());
}
