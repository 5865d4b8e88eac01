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
void ReportKeptEvents()
{
    KeptReport event;
    while (TakeKeptEvent(&event)) {
        ReportKeptEvent(event.path, event.event == KEPT_CRASHED ? DLL_KEPT_CRASHED : DLL_KEPT_ASKED_TO_EXIT, event.code);
        char keyPath[256];
        CopyText(keyPath, PLUGINS_KEY "\\");
        AppendText(keyPath, event.entryName);
        RegKey entry;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE, entry.receive()) == ERROR_SUCCESS)
            WriteDwordValue(entry, "isBad", 1);
        for (PluginRecord& record : PluginList)
            if (lstrcmpiA(record.FullPath, event.path) == 0)
                record.isBad = 1;
    }
}

// The system's answers to a load that found no room for the image or for
// what loading it needs: the address space or the commit limit is used up.
bool LackedMemory(const ProbeResult& result)
{
    const ProbeOutcome& outcome = result.outcome;
    if (result.trapped || outcome.end != PROBE_LOAD_FAILED)
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
        ReportKeptEvents();
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
    ReportKeptEvents();
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
    ReportKeptEvents();
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

namespace {

// One DLL's analysis, from its entry's name to what is written there. The
// record lives here for the whole analysis: the load-error page names it.
struct DllAnalysis {
    const char* path;
    char entryName[10];
    RegKey entry;
    bool created;           // the entry was made for this DLL
    DWORD storedBad;
    PluginRecord record;
    // A known plug-in's record goes back as it was read: only the numbers
    // that changed are written again (nothing else writes the entry between).
    StoredNumbers stored;
    bool unchanged;
};

enum Decision { PASS_OVER, RECORD_AS_BEFORE, PROBE_DLL };

// The entry's name and key; false when there is none (reported here).
// Without an entry there is nowhere to keep what the probe learns: the DLL
// is passed over in this run.
bool OpenEntry(DllAnalysis& dll)
{
    if (!MakeEntryName(dll.path, dll.entryName)) {
        ReportDll(dll.path, DLL_NO_ENTRY_NAME);
        return false;
    }
    char keyPath[256];
    CopyText(keyPath, PLUGINS_KEY "\\");
    AppendText(keyPath, dll.entryName);
    DWORD disposition = 0;
    LONG status = CreateKey(HKEY_LOCAL_MACHINE, keyPath, dll.entry.receive(), &disposition);
    if (status != ERROR_SUCCESS) {
        ReportDll(dll.path, DLL_NO_ENTRY_KEY, static_cast<DWORD>(status));
        return false;
    }
    dll.created = disposition == REG_CREATED_NEW_KEY;
    return true;
}

// A known plug-in's record as the entry holds it; a new one's from the
// defaults.
void ReadStoredRecord(DllAnalysis& dll)
{
    PluginRecord& record = dll.record;
    if (!dll.created) {
        TraceFailurePoint("Reading VST data from registry");
        ReadVstData(dll.entry, &record, &dll.stored);
        record.isNew = 0;
        record.isBad = 0;
    } else {
        TraceFailurePoint("Initing new plug");
        record = DefaultRecord;
        record.isNew = 1;
    }
}

// The entry, what it says of the DLL and whether the DLL is probed. A DLL
// passed over is reported here.
Decision Decide(DllAnalysis& dll)
{
    if (!OpenEntry(dll))
        return PASS_OVER;

    ReadDwordValue(dll.entry, "isBad", &dll.storedBad);
    if (dll.storedBad && !WizardOptions.rescanFailed) {
        WriteDwordValue(dll.entry, "touch", 1);
        const char* recovered = RecoveredPluginPath();
        bool endedWizard = recovered && lstrcmpiA(recovered, dll.path) == 0;
        ReportDll(dll.path, endedWizard ? DLL_ENDED_WIZARD : DLL_SKIPPED_BAD);
        return PASS_OVER;
    }

    ReadStoredRecord(dll);
    if (!WizardOptions.rescanExisting && !dll.storedBad && !dll.created) {
        TraceFailurePoint("Setting touch flag");
        WriteNumber(dll.entry, &dll.stored, "touch", 1);
        dll.unchanged = true;
        return RECORD_AS_BEFORE;
    }
    return PROBE_DLL;
}

ProbeResult Probe(DllAnalysis& dll)
{
    ShowLoadingDll(dll.path);
    TraceFailurePoint("Detailed plug scan");
    PluginRecord& record = dll.record;
    FillFileFields(record, dll.entryName, dll.path);
    ProbeResult result = ProbePlugin(dll.path, dll.entryName, dll.created, &record);
    if (!result.trapped && dll.created && record.isSynth) {
        record.registerAsSynth = 1;
        record.forceStereo = 1;
    }
    return result;
}

// A DLL that could not be loaded for want of memory is analysed by the next
// run. A new entry goes, so that run does not take it for a
// known plug-in; a stored one stays as it was.
void PutBack(DllAnalysis& dll)
{
    if (dll.created) {
        dll.entry.close();
        DeleteEntry(dll.entryName);
    } else {
        WriteDwordValue(dll.entry, "touch", 1);
        if (dll.record.isVst && !dll.storedBad)
            PluginList.append(dll.record);
    }
}

// What a probe ended by the trap region leaves to the run: the user is told,
// and the plug-in is recorded as bad.
void AnswerTrap(DllAnalysis& dll)
{
    TraceFailurePoint("Handling plugin exception");
    ShowRunPage(IDD_LOAD_ERROR, DlgErrProc, reinterpret_cast<LPARAM>(dll.record.FullName));
    dll.record.isVst = 1;
    dll.record.isBad = 1;
}

void Write(DllAnalysis& dll)
{
    if (dll.record.isVst) {
        TraceFailurePoint("Writing VST data");
        WriteVstData(dll.entry, &dll.record, dll.unchanged ? &dll.stored : nullptr);
        PluginList.append(dll.record);
        dll.entry.close();
    } else {
        TraceFailurePoint("Writing non-VST data");
        dll.entry.close();
        DeleteEntry(dll.entryName);
    }
}

void Report(const DllAnalysis& dll, const ProbeResult& result)
{
    if (result.trapped)
        return ReportTrap(dll.path, result.exceptionCode, result.step);
    // A stored plug-in stays recorded whatever this probe found.
    if (dll.record.isVst && result.outcome.end != PROBE_PASSED)
        ReportDll(dll.path, DLL_RECORDED_KNOWN);
    else
        ReportProbeEnd(dll.path, result.outcome);
    if (result.outcome.leftBehind)
        ReportKeptLoaded(result.outcome.leftBehind);
}

} // namespace

void AnalyseDll(const char* path)
{
    ShowProgress(path);
    DllAnalysis dll{};
    dll.path = path;
    switch (Decide(dll)) {
    case PASS_OVER:
        return;
    case RECORD_AS_BEFORE:
        Write(dll);
        ReportDll(path, dll.record.isVst ? DLL_RECORDED_KNOWN : DLL_STORED_NOT_VST);
        break;
    case PROBE_DLL: {
        ProbeResult result = Probe(dll);
        // The plug-ins kept loaded so far fill memory: not this one's fault.
        if (pluginLeftLoaded && LackedMemory(result)) {
            PutBack(dll);
            ReportDll(path, DLL_MEMORY_FULL);
            break;
        }
        if (result.keptLoaded())
            pluginLeftLoaded = true;
        if (result.trapped)
            AnswerTrap(dll);
        Write(dll);
        Report(dll, result);
        break;
    }
    }
    TraceFailurePoint("Plugin analysis loop");
}

int WizardMain(HINSTANCE instance)
{
    answerTrap = ShowExceptionPage;
    if (!Trapped([instance] { Run(instance); })) {
        ReportKeptEvents();
        ShowExceptionPage();
    }
    if (pluginLeftLoaded)
        EndWizardProcess();
    return 0;
}
