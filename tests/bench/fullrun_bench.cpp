// The whole program on many plug-ins: the first run (every plug-in new and
// probed) and the second (every plug-in known), from the start of the
// process to the finished page, each against the floor of the work it
// cannot avoid, measured in the same run; and the program's peak memory.
//   fullrun_bench [plug-ins=1000] [memory plug-ins=10000]
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "e2e/driver.h"
#include "plugins/fixtures.h"
#include "resource.h"
#include "support/files.h"
#include "support/registry.h"
#include "wizard/state.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

struct Tree {
    std::string root;
    std::vector<std::string> dlls;
};

// count plug-ins in count/10 folders, copies of the plain and the instrument fixtures.
Tree MakeTree(const std::string& name, int count)
{
    Tree tree{FreshDir(name), {}};
    std::string plain = fixtures::Built("plain.dll"), synth = fixtures::Built("synth.dll");
    int folders = count / 10 > 0 ? count / 10 : 1;
    for (int f = 0; f < folders; ++f) {
        std::string folder = tree.root + "\\Folder " + std::to_string(f);
        CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = 0; i < count / folders; ++i) {
            std::string dll = folder + "\\Plugin " + std::to_string(f) + "-" + std::to_string(i) + ".dll";
            CopyFileA((i % 2 ? synth : plain).c_str(), dll.c_str(), FALSE);
            tree.dlls.push_back(dll);
        }
    }
    return tree;
}

struct Timing {
    double seconds = 0;
    SIZE_T peak = 0;
};

// Runs the program through to its finished page.
Timing RunWizard(const std::string& program)
{
    Timing timing;
    WizardDriver driver;
    double start = Now();
    driver.start(program);
    std::string which;
    while (HWND window = driver.waitForAny({"Welcome!", "VST Plug-In Search Paths", "VST Plug-In Configuration",
                                            "Ostrel VST Adapter Error", "Finished"},
                                           &which, 600000)) {
        if (which == "Finished") {
            timing.seconds = Now() - start;
            timing.peak = driver.peakWorkingSet();
        }
        Press(window, IDOK);
    }
    driver.waitForExit(60000);
    return timing;
}

void Walk(const std::string& folder, std::vector<std::string>& found)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(folder + "\\" + name, found);
        else
            found.push_back(folder + "\\" + name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
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

// The first run's floor: the walk, loading and releasing every DLL, and the
// registry writes of each plug-in's entry and class keys, done directly.
double FirstRunFloor(const Tree& tree)
{
    ClearProgramKeys();
    double start = Now();
    std::vector<std::string> found;
    Walk(tree.root, found);
    for (size_t i = 0; i < found.size(); ++i) {
        if (HMODULE module = LoadLibraryA(found[i].c_str()))
            FreeLibrary(module);
        WriteEntryDirectly(static_cast<int>(i), found[i]);
    }
    double seconds = Now() - start;
    ClearProgramKeys();
    return seconds;
}

// The second run's floor: the walk, then reading each known plug-in's
// values and writing its record and class keys again, done directly.
double SecondRunFloor(const Tree& tree)
{
    ClearProgramKeys();
    for (size_t i = 0; i < tree.dlls.size(); ++i)
        WriteEntryDirectly(static_cast<int>(i), tree.dlls[i]);
    double start = Now();
    std::vector<std::string> found;
    Walk(tree.root, found);
    for (size_t i = 0; i < found.size(); ++i) {
        ReadEntryDirectly(static_cast<int>(i));
        WriteEntryDirectly(static_cast<int>(i), found[i]);
    }
    double seconds = Now() - start;
    ClearProgramKeys();
    return seconds;
}

std::string Install()
{
    std::string app = FreshDir("fullrun_app");
    CopyInto(ExeDir() + "\\Tandrel.exe", app + "\\Tandrel.exe");
    return app + "\\Tandrel.exe";
}

} // namespace

int main(int argc, char** argv)
{
    int count = argc > 1 ? atoi(argv[1]) : 1000;
    int memoryCount = argc > 2 ? atoi(argv[2]) : 10000;
    std::string program = Install();

    Tree tree = MakeTree("fullrun_tree", count);
    printf("%d plug-ins in %d folders\n", count, count / 10);
    ClearProgramKeys();
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", tree.root);
    Timing first = RunWizard(program);
    Timing second = RunWizard(program);
    ClearProgramKeys();
    double firstFloor = FirstRunFloor(tree);
    double secondFloor = SecondRunFloor(tree);
    printf("first run   %8.3f s  %7.3f ms per plug-in  floor %7.3f s  ratio %.2f  peak %.1f MB\n", first.seconds,
           1000 * first.seconds / count, firstFloor, first.seconds / firstFloor, first.peak / 1048576.0);
    printf("second run  %8.3f s  %7.3f ms per plug-in  floor %7.3f s  ratio %.2f  peak %.1f MB\n", second.seconds,
           1000 * second.seconds / count, secondFloor, second.seconds / secondFloor, second.peak / 1048576.0);
    RemoveTree(tree.root);

    if (memoryCount > 0) {
        Tree big = MakeTree("fullrun_memory", memoryCount);
        ClearProgramKeys();
        SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", big.root);
        Timing run = RunWizard(program);
        printf("%d plug-ins: first run %.1f s, peak working set %.1f MB\n", memoryCount, run.seconds,
               run.peak / 1048576.0);
        RemoveTree(big.root);
    }
    ClearProgramKeys();
    return 0;
}
