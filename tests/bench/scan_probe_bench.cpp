// The folder scan and the probe, each against the raw system calls it rests
// on, measured on the same files in the same run:
//   scan:  GetVstPaths over a tree of 2,000 folders and 10,000 files (2,000
//          of them copies of plain.dll), against a plain recursive
//          FindFirstFile/FindNextFile walk of that tree;
//   probe: LoadVstPlugin on 1,000 of those copies, against LoadLibrary and
//          FreeLibrary of the same files.
// Each figure is the best of a few rounds, after a warm-up round.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "base/state.h"
#include "base/text.h"
#include "plugins/fixtures.h"
#include "probe/probe.h"
#include "probe/scan.h"
#include "resource.h"
#include "support/clock.h"
#include "support/files.h"
#include "support/state.h"

namespace {

const int TOP_FOLDERS = 40;
const int SUBFOLDERS = 49;          // 40 + 40 * 49 = 2,000 folders
const int FILES_PER_FOLDER = 5;     // 10,000 files, one of each five a plug-in
const int PROBED = 1000;
const int ROUNDS = 5;

double Time(const std::function<void()>& work)
{
    double start = Milliseconds();
    work();
    return Milliseconds() - start;
}

// The best time of each piece of work, the pieces taking turns round after
// round (after a warm-up round), so that a busy moment of the machine does
// not fall on one of them only.
std::vector<double> Best(const std::vector<std::function<void()>>& works)
{
    std::vector<double> best(works.size(), 1e30);
    for (const auto& work : works)
        work();
    for (int round = 0; round < ROUNDS; ++round)
        for (size_t i = 0; i < works.size(); ++i)
            best[i] = std::min(best[i], Time(works[i]));
    return best;
}

void FillFolder(const std::string& folder, int number, const std::string& plugin, std::vector<std::string>& plugins)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string copy = folder + "\\plugin" + std::to_string(number) + ".dll";
    CopyFileA(plugin.c_str(), copy.c_str(), FALSE);
    plugins.push_back(copy);
    for (const char* name : {"\\readme.txt", "\\preset.fxp", "\\manual.pdf", "\\data.bin"})
        WriteBytes(folder + name, "contents");
}

std::vector<std::string> BuildTree(const std::string& root)
{
    std::string plugin = fixtures::Built("plain.dll");
    std::vector<std::string> plugins;
    int number = 0;
    for (int top = 0; top < TOP_FOLDERS; ++top) {
        std::string folder = root + "\\Vendor " + std::to_string(top);
        FillFolder(folder, number++, plugin, plugins);
        for (int sub = 0; sub < SUBFOLDERS; ++sub)
            FillFolder(folder + "\\Product " + std::to_string(sub), number++, plugin, plugins);
    }
    return plugins;
}

// The progress page's status line, as the run has it while it scans.
void OpenStatusLine()
{
    progressWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_READONLY, 0, 0, 300, 20, progressWindow,
                    reinterpret_cast<HMENU>(IDC_PROGRESS_STATUS), nullptr, nullptr);
    ShowWindow(progressWindow, SW_SHOWNOACTIVATE);
}

} // namespace

int main()
{
    moduleInstance = GetModuleHandleA(nullptr);
    SetEnvironmentVariableA(FIXTURE_LOG_VARIABLE, nullptr);

    std::string root = FreshDir("bench_tree");
    double start = Milliseconds();
    std::vector<std::string> plugins = BuildTree(root);
    printf("tree: %d folders, %d files (%u plug-in copies), made in %.0f ms\n",
           TOP_FOLDERS * (SUBFOLDERS + 1), TOP_FOLDERS * (SUBFOLDERS + 1) * FILES_PER_FOLDER,
           static_cast<unsigned>(plugins.size()), Milliseconds() - start);

    OpenStatusLine();
    HWND statusPage = progressWindow;
    size_t rawDlls = 0, scanned = 0;
    std::vector<double> scan = Best({
        [&] { rawDlls = BareWalk(root).size(); },
        [&] { progressWindow = nullptr; scanned = ScanFolder(root).size(); },
        [&] { progressWindow = statusPage; scanned = ScanFolder(root).size(); },
    });
    printf("scan:  raw walk %7.1f ms (%u DLLs)\n", scan[0], static_cast<unsigned>(rawDlls));
    printf("       GetVstPaths without a status line %7.1f ms (%u DLLs)  ratio %.2f (goal <= 2.5)\n", scan[1],
           static_cast<unsigned>(scanned), scan[1] / scan[0]);
    printf("       GetVstPaths showing every folder  %7.1f ms  ratio %.2f\n", scan[2], scan[2] / scan[0]);

    plugins.resize(PROBED);
    int vst = 0;
    std::vector<double> probe = Best({
        [&] {
            for (const std::string& path : plugins)
                FreeLibrary(LoadLibraryA(path.c_str()));
        },
        [&] {
            vst = 0;
            for (const std::string& path : plugins) {
                static PluginRecord record;
                memset(&record, 0, sizeof record);
                CopyText(record.FullPath, path.c_str());
                ProbeFrame frame(record.FullPath, "BENCH", false, record.FullName);
                LoadVstPlugin(frame, &record);
                vst += record.isVst;
            }
        },
    });
    printf("probe: LoadLibrary+FreeLibrary %7.1f ms  LoadVstPlugin %7.1f ms (%d of %d VST)  ratio %.2f (goal <= 1.5)\n",
           probe[0], probe[1], vst, PROBED, probe[1] / probe[0]);
    progressWindow = statusPage;
    DestroyWindow(progressWindow);
    return 0;
}
