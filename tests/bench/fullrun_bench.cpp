// The whole program on many plug-ins: the first run (every plug-in new and
// probed) and the second (every plug-in known), from the start of the
// process to the finished page, each against the floor of the work it
// cannot avoid, measured in the same run; where the time goes, stage by
// stage; and the program's peak memory. Once on a tree of plug-ins without
// an editor, once on one where every second plug-in has an editor.
//   fullrun_bench [plug-ins=1000] [memory plug-ins=10000] [large plug-ins=0]
// A large count other than 0 measures the plain tree once more at that size
// (4000 is the size the goals name; it is left out by default since it takes
// several minutes).
//
// The stage times come from this process, not from the program: nothing
// outside can see the stages of a run that pumps no messages while it works.
// The bench calls the run's own stages in the run's order (scan, analysis,
// sweep, list page, registration), on the same tree, with the real pages and
// the real registry; the list page and the message that no adapter library
// was found (the program finds none beside it in this bench either) are
// answered at once. Beside the runs, the program on no plug-ins at all: the
// fixed cost of its process and pages.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "base/state.h"
#include "plugins/fixtures.h"
#include "support/clock.h"
#include "support/driver.h"
#include "support/files.h"
#include "support/registry.h"
#include "wizard/settings.h"
#include "wizard/stages.h"

namespace {

double Now() { return Milliseconds() / 1000; }

struct Tree {
    std::string root;
    std::vector<std::string> dlls;
};

// count plug-ins in count/10 folders: copies of the plain fixture, and with
// editors every second one a copy of the instrument (which has an editor).
Tree MakeTree(const std::string& name, int count, bool editors)
{
    Tree tree{FreshDir(name), {}};
    std::string plain = fixtures::Built("plain.dll"), synth = fixtures::Built("synth.dll");
    int folders = count / 10 > 0 ? count / 10 : 1;
    for (int f = 0; f < folders; ++f) {
        std::string folder = tree.root + "\\Folder " + std::to_string(f);
        CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = 0; i < count / folders; ++i) {
            std::string dll = folder + "\\Plugin " + std::to_string(f) + "-" + std::to_string(i) + ".dll";
            CopyFileA((editors && i % 2 ? synth : plain).c_str(), dll.c_str(), FALSE);
            tree.dlls.push_back(dll);
        }
    }
    return tree;
}

// Runs the program on the plug-ins of the common VST folder through to its
// finished page.
RunSeen RunWizard(const std::string& program, const std::string& folder)
{
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", folder);
    RunPlan plan;
    plan.pageTimeoutMs = 600000;
    return DriveWizard(program, plan);
}

const char* const DWORD_VALUES[] = {"isBad", "isSynth", "isVst", "numInputs", "numOutputs", "numPrograms",
                                    "numParams", "progsChunks", "registerAsPlug", "registerAsSynth", "uniqueId",
                                    "wantEvents", "cxEditor", "cyEditor", "forceStereo", "nrpnPassThrough",
                                    "addVstPrefix", "touch"};
const char* const TEXT_VALUES[] = {"clsidPlug", "clsidProps", "FullName", "FullPath", "DosName", "PresetPath"};

void WriteEntryDirectly(int index, const std::string& path)
{
    HKEY entry, cls, server;
    std::string name = std::string(PLUGINS_KEY "\\") + "F" + std::to_string(index);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &entry, nullptr);
    for (const char* value : TEXT_VALUES)
        RegSetValueExA(entry, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), path.size() + 1);
    DWORD one = 1;
    for (const char* value : DWORD_VALUES)
        RegSetValueExA(entry, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    RegCloseKey(entry);
    for (char kind : {'2', '3'}) {
        char key[80];
        snprintf(key, sizeof key, "CLSID\\{141AC90%c-0000-%04X-0000-000000000000}", kind, index);
        RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &cls, nullptr);
        RegSetValueExA(cls, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("VST x"), 6);
        RegCreateKeyExA(cls, "InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &server, nullptr);
        RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), path.size() + 1);
        RegCloseKey(server);
        RegCloseKey(cls);
    }
}

void ReadEntryDirectly(int index)
{
    HKEY entry;
    std::string name = std::string(PLUGINS_KEY "\\") + "F" + std::to_string(index);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &entry, nullptr);
    char text[1024];
    for (const char* value : TEXT_VALUES) {
        DWORD size = sizeof text;
        RegQueryValueExA(entry, value, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    }
    for (const char* value : DWORD_VALUES) {
        DWORD number, size = 4;
        RegQueryValueExA(entry, value, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
    }
    RegCloseKey(entry);
}

// A floor and its parts: the walk, the loads, the registry work.
struct Floor {
    double walk = 0, load = 0, registry = 0;
    double total() const { return walk + load + registry; }
};

// The first run's floor: the walk, loading and releasing every DLL, and the
// registry writes of each plug-in's entry and class keys, done directly.
Floor FirstRunFloor(const Tree& tree)
{
    ClearProgramKeys();
    Floor floor;
    double start = Now();
    std::vector<std::string> found = BareWalk(tree.root);
    floor.walk = Now() - start;
    for (size_t i = 0; i < found.size(); ++i) {
        double loading = Now();
        if (HMODULE module = LoadLibraryA(found[i].c_str()))
            FreeLibrary(module);
        double writing = Now();
        WriteEntryDirectly(static_cast<int>(i), found[i]);
        floor.load += writing - loading;
        floor.registry += Now() - writing;
    }
    ClearProgramKeys();
    return floor;
}

// The second run's floor: the walk, then reading each known plug-in's
// values and writing its record and class keys again, done directly.
Floor SecondRunFloor(const Tree& tree)
{
    ClearProgramKeys();
    for (size_t i = 0; i < tree.dlls.size(); ++i)
        WriteEntryDirectly(static_cast<int>(i), tree.dlls[i]);
    Floor floor;
    double start = Now();
    std::vector<std::string> found = BareWalk(tree.root);
    floor.walk = Now() - start;
    start = Now();
    for (size_t i = 0; i < found.size(); ++i) {
        ReadEntryDirectly(static_cast<int>(i));
        WriteEntryDirectly(static_cast<int>(i), found[i]);
    }
    floor.registry = Now() - start;
    ClearProgramKeys();
    return floor;
}

// The run's stages from the scan to the registration, in the run's order.
void (*const STAGES[])() = {ScanFolders, AnalyseFoundDlls, SweepUntouched, ConfigurePlugins,
                            [] { RegisterPlugins(); }};
const char* const STAGE_NAMES[] = {"scan", "analysis", "sweep", "list page", "registration"};
const int STAGE_COUNT = sizeof STAGES / sizeof STAGES[0];

// The stages of one run, timed in this process.
struct Stages {
    double seconds[STAGE_COUNT] = {};
    double total() const
    {
        double sum = 0;
        for (double part : seconds)
            sum += part;
        return sum;
    }
};

Stages TimeStages(const std::string& root)
{
    ReadWizardOptions();
    ReadDefaults();
    SearchPathList.append(NewPathText(root.c_str()));
    DialogScript script;
    AnswerEveryPage(script);
    Stages stages;
    for (int i = 0; i < STAGE_COUNT; ++i) {
        double start = Now();
        STAGES[i]();
        stages.seconds[i] = Now() - start;
    }
    ReleaseLists();
    return stages;
}

std::string Install()
{
    std::string app = FreshDir("fullrun_app");
    CopyInto(ExeDir() + "\\Tandrel.exe", app + "\\Tandrel.exe");
    return app + "\\Tandrel.exe";
}

void PrintShares(const char* run, const Stages& stages, int count)
{
    printf("  %s run stages (in this process, %.3f s):", run, stages.total());
    for (int i = 0; i < STAGE_COUNT; ++i)
        printf("  %s %.3f ms %.0f%%", STAGE_NAMES[i], 1000 * stages.seconds[i] / count,
               100 * stages.seconds[i] / stages.total());
    printf("\n");
}

// The second line: the run without the time the driver spent reading its
// pages (the list page's rows are read a cell at a time, each a message to
// the program and back), which the program's own time does not include.
void PrintRun(const char* name, const RunSeen& run, const Floor& floor, int count)
{
    printf("  %s run  %8.3f s  %7.3f ms per plug-in  floor %7.3f s (walk %.3f, loads %.3f, registry %.3f)"
           "  ratio %.2f  peak %.1f MB\n",
           name, run.secondsToFinished, 1000 * run.secondsToFinished / count, floor.total(), floor.walk, floor.load,
           floor.registry, run.secondsToFinished / floor.total(), run.peakWorkingSet / 1048576.0);
    double own = run.secondsToFinished - run.secondsReading;
    printf("  %s run  %8.3f s  without the driver's reading of the pages (%.3f s)  ratio %.2f\n", name, own,
           run.secondsReading, own / floor.total());
}

// Both runs of the program, both runs of the stages, both floors.
void MeasureTree(const std::string& program, const std::string& name, int count, bool editors)
{
    Tree tree = MakeTree(name, count, editors);
    printf("%d plug-ins in %d folders, %s\n", count, count / 10,
           editors ? "every second one with an editor" : "none with an editor");
    ClearProgramKeys();
    RunSeen first = RunWizard(program, tree.root);
    RunSeen second = RunWizard(program, tree.root);
    ClearProgramKeys();
    RunSeen empty = RunWizard(program, FreshDir(name + "_empty"));
    ClearProgramKeys();
    Stages firstStages = TimeStages(tree.root);
    Stages secondStages = TimeStages(tree.root);
    ClearProgramKeys();
    Floor firstFloor = FirstRunFloor(tree);
    Floor secondFloor = SecondRunFloor(tree);
    PrintRun("first ", first, firstFloor, count);
    PrintShares("first ", firstStages, count);
    PrintRun("second", second, secondFloor, count);
    PrintShares("second", secondStages, count);
    printf("  empty  run  %8.3f s  no plug-ins: the fixed cost of the process and its pages  peak %.1f MB\n",
           empty.secondsToFinished, empty.peakWorkingSet / 1048576.0);
    RemoveTree(tree.root);
}

} // namespace

int main(int argc, char** argv)
{
    int count = argc > 1 ? atoi(argv[1]) : 1000;
    int memoryCount = argc > 2 ? atoi(argv[2]) : 10000;
    int largeCount = argc > 3 ? atoi(argv[3]) : 0;
    std::string program = Install();

    // What the program sets up before its first page.
    moduleInstance = GetModuleHandleA(nullptr);
    CoInitialize(nullptr);
    InitCommonControls();

    MeasureTree(program, "fullrun_tree", count, false);
    MeasureTree(program, "fullrun_editors", count, true);
    if (largeCount > 0)
        MeasureTree(program, "fullrun_large", largeCount, false);

    if (memoryCount > 0) {
        Tree big = MakeTree("fullrun_memory", memoryCount, true);
        ClearProgramKeys();
        RunSeen run = RunWizard(program, big.root);
        printf("%d plug-ins: first run %.1f s, peak working set %.1f MB\n", memoryCount, run.secondsToFinished,
               run.peakWorkingSet / 1048576.0);
        RemoveTree(big.root);
    }
    ClearProgramKeys();
    return 0;
}
