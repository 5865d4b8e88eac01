#include "wizard/run.h"
#include <commctrl.h>
#include <objbase.h>
#include <cstring>
#include <utility>
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"
#include "base/threadstate.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "plugdb/adapter.h"
#include "plugdb/record.h"
#include "plugdb/shortnames.h"
#include "plugdb/sweep.h"
#include "probe/frame.h"
#include "probe/kept.h"
#include "probe/probe.h"
#include "probe/scan.h"
#include "probe/watchdog.h"
#include "report/report.h"
#include "resource.h"
#include "wizard/progress.h"
#include "wizard/recovery.h"
#include "wizard/settings.h"
#include "wizard/stages.h"
#include "wizard/trappages.h"

namespace {

const char NO_PATHS_TEXT[] =
    "Couldn't find any VST plug-in paths. Ostrel VST Adapter needs at least one plug-in path in order to continue.";

const char REGISTRATION_FAILED_TEXT[] =
    "Your VST plug-ins could not be registered with your system. The message shown before "
    "this page says what went wrong; put that right, then run this Wizard again.";

// The part of the analysis that runs inside the plug-in trap region.
void ProbeDll(PluginRecord& record, const char* entryName, const char* path, bool created)
{
    FillFileFields(record, entryName, path);
    LoadVstPlugin(&record);
    if (created && record.isSynth) {
        record.registerAsSynth = 1;
        record.forceStereo = 1;
    }
}

// The watchdog's question, on its own thread, in a window of its own.
HangAnswer AskAboutHang(const char* pluginName, const char* step, DWORD stepStart, bool (*stillWaiting)(),
                        HWND (*waitedIn)(), bool mustClose)
{
    if (!pluginName) {
        MakeHangWindow();
        return HANG_WAIT;
    }
    int answer = AskHangQuestion({pluginName, step, stepStart, stillWaiting, waitedIn, mustClose});
    return answer == IDC_HANG_SKIP ? HANG_SKIP : answer == IDC_HANG_WAIT ? HANG_WAIT : HANG_RETURNED;
}

// What a plug-in kept loaded did since its probe: reported, and its entry
// and its record on the list marked bad, so that later runs skip it.
void ReportKeptDeeds()
{
    KeptReport deed;
    while (TakeKeptDeed(&deed)) {
        ReportKeptDeed(deed.path, deed.deed == KEPT_CRASHED ? DLL_KEPT_CRASHED : DLL_KEPT_ASKED_TO_EXIT, deed.code);
        char keyPath[256];
        CopyText(keyPath, PLUGINS_KEY "\\");
        AppendText(keyPath, deed.entryName);
        RegKey entry;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE, entry.receive()) == ERROR_SUCCESS)
            WriteDwordValue(entry, "isBad", 1);
        for (PluginRecord& record : PluginList)
            if (lstrcmpiA(record.FullPath, deed.path) == 0)
                record.isBad = 1;
    }
}

// The system's answers to a load that found no room for the image or for
// what loading it needs: the address space or the commit limit is used up.
bool LackedMemory(const ProbeOutcome& outcome)
{
    if (outcome.end != PROBE_LOAD_FAILED)
        return false;
    switch (outcome.detail) {
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_COMMITMENT_LIMIT:
        return true;
    }
    return false;
}

void DeleteEntry(const char* entryName)
{
    RegKey plugins;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, PLUGINS_KEY, plugins.receive()) == ERROR_SUCCESS)
        RegDeleteKeyA(plugins, entryName);
}

// The search-path page writes through pathsKey while it can be shown; the
// key is closed as soon as the page is done with, before the scan.
void UserSetup(RegKey paths)
{
    pathsKey = paths;
    ShowRunPage(IDD_PATHS, DlgPathsProc);
    while (SearchPathList.count == 0) {
        MessageBoxA(nullptr, NO_PATHS_TEXT, ERROR_CAPTION, MB_OK);
        ShowRunPage(IDD_PATHS, DlgPathsProc);
    }
    pathsKey = nullptr;
}

} // namespace

void ScanFolders()
{
    TraceFailurePoint("Scanning for plugs");
    progressWindow = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, DlgNullProc, 0);
    if (!progressWindow)
        EndWizardProcess();
    SetDlgItemTextA(progressWindow, IDC_PROGRESS_STATUS, "Building plugin list...");
    tellLostName = ReportLostName;
    for (char* folder : SearchPathList)
        GetVstPaths(folder);
}

void AnalyseFoundDlls()
{
    TraceFailurePoint("Analysing plugins");
    SetDlgItemTextA(progressWindow, IDC_PROGRESS_STATUS, "Analysing plugins...");
    ClearTouchFlags();
    ReserveReport(FoundDllList.count);
    FolderListings listings;
    for (char* path : FoundDllList) {
        AnalyseDll(path);
        ReportKeptDeeds();
    }

    DestroyWindow(progressWindow);
}

void SweepUntouched()
{
    TraceFailurePoint("Cleanup post-analysis");
    DeleteUntouched();
    progressWindow = nullptr;
}

void ConfigurePlugins()
{
    TraceFailurePoint("User config");
    ReportKeptDeeds();
    editSelectedPlugin = 1;
    ShowRunPage(IDD_LIST, DlgListProc);
}

bool RegisterPlugins()
{
    TraceFailurePoint("Post user config");
    HWND notice = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_REGISTERING), nullptr, DlgNullProc, 0);
    TraceFailurePoint("Calling registration routine");
    bool registered = RegisterAdapter();
    DestroyWindow(notice);
    ReportKeptDeeds();
    return registered;
}

void ReleaseLists()
{
    TraceFailurePoint("Cleaning up plugin paths");
    ClearReport();
    while (PluginList.count)
        PluginList.remove(PluginList.first());
    while (FoundDllList.count) {
        FreePathText(FoundDllList.first()->element);
        FoundDllList.remove(FoundDllList.first());
    }
    TraceFailurePoint("Cleaning up path list");
    while (SearchPathList.count) {
        FreePathText(SearchPathList.first()->element);
        SearchPathList.remove(SearchPathList.first());
    }
}

namespace {

void Run(HINSTANCE instance)
{
    TraceOperation("Main");
    TraceFailurePoint("Init");
    moduleInstance = instance;
    memset(&DefaultRecord, 0, sizeof DefaultRecord);
    CaptureFloatingPointState();
    CoInitialize(nullptr);
    InitCommonControls();
    ClaimWizard();
    askAboutHang = AskAboutHang;

    TraceFailurePoint("Basic Init");
    ShowRunPage(IDD_WELCOME, DlgWelcomeProc);

    TraceFailurePoint("Path configuration");
    RegKey paths = LoadSearchPaths();
    TraceFailurePoint("Checking user defaults");
    ReadWizardOptions();
    TraceFailurePoint("Setup defaults");
    ReadDefaults();
    if (const char* pluginName = RecoverMarkedPlugin())
        ShowRunPage(IDD_LOAD_ERROR, DlgErrProc, reinterpret_cast<LPARAM>(pluginName));

    TraceFailurePoint("User setup");
    UserSetup(std::move(paths));

    ScanFolders();
    AnalyseFoundDlls();
    SweepUntouched();
    ConfigurePlugins();
    bool registered = RegisterPlugins();
    TraceFailurePoint("Post registration routine");
    ShowRunPage(IDD_FINISHED, DlgNullProc, registered ? 0 : reinterpret_cast<LPARAM>(REGISTRATION_FAILED_TEXT));
    ReleaseLists();
}

} // namespace

void ShowRunPage(int id, DLGPROC proc, LPARAM parameter)
{
    // A page nobody can see (no display, no template) ends the run as
    // "&Cancel" does, before anything more is written.
    if (ShowModalDialog(id, proc, parameter) == -1)
        EndWizardProcess();
}

void AnalyseDll(const char* path)
{
    ShowProgress(path);

    char entryName[10];
    if (!MakeEntryName(path, entryName))
        return ReportDll(path, DLL_NO_ENTRY_NAME);
    char keyPath[256];
    CopyText(keyPath, PLUGINS_KEY "\\");
    AppendText(keyPath, entryName);

    // Without an entry there is nowhere to keep what the probe learns: the
    // DLL is passed over in this run.
    RegKey entry;
    DWORD disposition = 0;
    LONG status = CreateKey(HKEY_LOCAL_MACHINE, keyPath, entry.receive(), &disposition);
    if (status != ERROR_SUCCESS)
        return ReportDll(path, DLL_NO_ENTRY_KEY, static_cast<DWORD>(status));
    bool created = disposition == REG_CREATED_NEW_KEY;

    DWORD storedBad = 0;
    ReadDwordValue(entry, "isBad", &storedBad);
    if (storedBad && !WizardOptions.rescanFailed) {
        WriteDwordValue(entry, "touch", 1);
        const char* recovered = RecoveredPluginPath();
        bool endedWizard = recovered && lstrcmpiA(recovered, path) == 0;
        return ReportDll(path, endedWizard ? DLL_ENDED_WIZARD : DLL_SKIPPED_BAD);
    }

    // The working record outlives the step: the load-error page names it.
    static PluginRecord record;
    memset(&record, 0, sizeof record);
    // A known plug-in's record goes back as it was read: only the numbers
    // that changed are written again (nothing else writes the entry between).
    static StoredNumbers stored;
    StoredNumbers* unchanged = nullptr;
    if (!created) {
        TraceFailurePoint("Reading VST data from registry");
        ReadVstData(entry, &record, &stored);
        record.isNew = 0;
        record.isBad = 0;
    } else {
        TraceFailurePoint("Initing new plug");
        record = DefaultRecord;
        record.isNew = 1;
    }

    if (!WizardOptions.rescanExisting && !storedBad && !created) {
        TraceFailurePoint("Setting touch flag");
        WriteNumber(entry, &stored, "touch", 1);
        unchanged = &stored;
        ReportDll(path, record.isVst ? DLL_RECORDED_KNOWN : DLL_STORED_NOT_VST);
    } else {
        ShowLoadingDll(path);
        TraceFailurePoint("Detailed plug scan");
        bool finished;
        {
            // The name is filled inside the region, before the plug-in runs.
            ProbeFrame frame(path, entryName, created, record.FullName);
            finished = frame.run([&] { ProbeDll(record, entryName, path, created); });
        }
        if (finished && pluginLeftLoaded && LackedMemory(probeOutcome)) {
            // No fault of the DLL's: the plug-ins kept loaded fill memory,
            // and the next run analyses it. A new entry goes, so that run
            // does not take it for a known plug-in; a stored one stays as
            // it was.
            ReportDll(path, DLL_MEMORY_FULL);
            if (created) {
                entry.close();
                DeleteEntry(entryName);
            } else {
                WriteDwordValue(entry, "touch", 1);
                if (record.isVst && !storedBad)
                    PluginList.append(record);
            }
            TraceFailurePoint("Plugin analysis loop");
            return;
        }
        if (finished) {
            // A stored plug-in stays recorded whatever this probe found.
            if (record.isVst && probeOutcome.end != PROBE_PASSED)
                ReportDll(path, DLL_RECORDED_KNOWN);
            else
                ReportProbeEnd(path, probeOutcome);
            if (probeOutcome.leftBehind) {
                ReportKeptLoaded(probeOutcome.leftBehind);
                pluginLeftLoaded = true;
            }
        } else {
            pluginLeftLoaded = true;
            ReportTrap(path, trappedExceptionCode, FailureTrace.traceProbeStep);
            TraceFailurePoint("Handling plugin exception");
            ShowRunPage(IDD_LOAD_ERROR, DlgErrProc, reinterpret_cast<LPARAM>(record.FullName));
            record.isVst = 1;
            record.isBad = 1;
        }
    }

    if (record.isVst) {
        TraceFailurePoint("Writing VST data");
        WriteVstData(entry, &record, unchanged);
        PluginList.append(record);
        entry.close();
    } else {
        TraceFailurePoint("Writing non-VST data");
        entry.close();
        DeleteEntry(entryName);
    }
    TraceFailurePoint("Plugin analysis loop");
}

int WizardMain(HINSTANCE instance)
{
    answerTrap = ShowExceptionPage;
    if (!Trapped([instance] { Run(instance); })) {
        ReportKeptDeeds();
        ShowExceptionPage();
    }
    if (pluginLeftLoaded)
        EndWizardProcess();
    return 0;
}
