// A guided tour of the wizard for people without a display: runs the real
// program on a folder of sample plug-ins, walks through every page and
// dialog, and saves a picture of each into the folder given on the command
// line. Prints what it saved.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include "base/state.h"
#include "resource.h"
#include "support/driver.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/screenshot.h"

namespace {

std::string pictures;
int saved;
int cutTitles;   // column titles of the list page too wide for their columns

// A picture of the window, once what it draws as it opens has reached the
// screen. A window of a busy thread is not asked to draw again: it could
// answer only once the thread is free.
void Picture(HWND window, const char* caption, const char* picture, bool busy = false)
{
    Sleep(100);
    std::string path = pictures + "\\" + picture + ".bmp";
    if (busy ? SaveScreenAs(window, path) : SaveScreenshotAs(window, path)) {
        ++saved;
        printf("  %-42s %s.png\n", caption, picture);
    }
}

// A window that a button opened, pictured.
HWND Show(WizardDriver& driver, const char* caption, const char* picture)
{
    HWND window = driver.waitFor(caption);
    if (!window) {
        printf("  %-28s did not appear\n", caption);
        return nullptr;
    }
    Picture(window, caption, picture);
    return window;
}

// A dialog that a button of the page opens, pictured and closed again.
void Visit(WizardDriver& driver, HWND page, int button, const char* caption, const char* picture, int close = IDOK)
{
    Click(page, button);
    if (HWND dialog = Show(driver, caption, picture))
        Click(dialog, close);
}

// The sample plug-in that takes its time over effOpen, analysed before the
// one that crashes.
const char SLOW_PLUGIN[] = "Convolution Reverb.dll";

// The progress page while the slow plug-in is loaded and takes its time:
// the status line names it and the list holds the DLLs analysed so far. The
// wizard's thread draws the page itself then and handles no message.
void PictureScanning(WizardDriver& driver)
{
    HWND page = driver.waitFor(PROGRESS);
    for (DWORD start = GetTickCount(); page && GetTickCount() - start < 60000; Sleep(20)) {
        if (driver.hasLoaded(SLOW_PLUGIN)) {
            Picture(page, PROGRESS, "06-progress", true);
            return;
        }
    }
    printf("  %-42s did not load %s\n", PROGRESS, SLOW_PLUGIN);
}

// A page of the run, pictured and then ended with its default button.
PageAnswer Pictured(const char* caption, const char* picture)
{
    return [=](WizardDriver&, HWND page) {
        Picture(page, caption, picture);
        return IDOK;
    };
}

// Every plug-in is new to the run, and found in the sample folder.
void FreshRegistry(const std::string& plugins)
{
    ClearProgramKeys();
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
}

// A run through every page and dialog, without an adapter library.
void TourEveryPage(const std::string& app)
{
    RunPlan plan;
    plan.on(WELCOME, [](WizardDriver& driver, HWND welcome) {
        Picture(welcome, WELCOME, "01-welcome");
        Visit(driver, welcome, IDC_WELCOME_ABOUT, ABOUT, "02-about");
        return IDOK;
    });
    plan.on(PATHS, [](WizardDriver& driver, HWND paths) {
        Picture(paths, PATHS, "03-search-paths");
        Visit(driver, paths, IDC_PATHS_DEFAULTS, OPTIONS, "04-folder-defaults");
        Visit(driver, paths, IDC_PATHS_RESET, RESET, "05-reset", IDC_RESET_NO);
        // The scan begins at once.
        Click(paths, IDOK);
        PictureScanning(driver);
        return NO_BUTTON;
    });
    plan.on(LOAD_ERROR, Pictured(LOAD_ERROR, "07-load-error"));
    plan.on(LIST, [](WizardDriver& driver, HWND list) {
        Picture(list, LIST, "08-plugin-list");
        for (const std::string& title : CutColumnTitles(GetDlgItem(list, IDC_LIST_PLUGINS))) {
            printf("      column title cut: %s\n", title.c_str());
            ++cutTitles;
        }
        Click(list, IDC_LIST_REPORT);
        if (HWND report = Show(driver, REPORT, "08a-other-files")) {
            for (std::string row : ReportRows(report)) {
                std::replace(row.begin(), row.end(), '\t', ' ');
                printf("      %s\n", row.c_str());
            }
            CloseReport(report);
        }
        SelectListViewRow(GetDlgItem(list, IDC_LIST_PLUGINS), 0);
        Click(list, IDC_LIST_PROPERTIES);
        if (HWND options = Show(driver, OPTIONS, "09-plugin-options")) {
            Visit(driver, options, IDC_ITEM_DETAILS, PROPERTIES, "10-plugin-properties");
            Click(options, IDOK);
        }
        return IDOK;
    });
    // Without an adapter library here, its message stands over the notice.
    plan.on(MESSAGE, [](WizardDriver& driver, HWND box) {
        Picture(box, MESSAGE, "12-registration-message");
        Show(driver, NOTICE, "11-registering");
        return IDOK;
    });
    plan.on(FINISHED, Pictured(FINISHED, "13-finished"));
    DriveWizard(app + "\\Tandrel.exe", plan);
}

// A second run whose adapter library faults: the exception page.
void TourException(const std::string& app)
{
    std::string library = app + "\\OLVST.DLL";
    CopyInto(ExeDir() + "\\doubles\\olvst_both.dll", library);
    DriveWizard(app + "\\Tandrel.exe",
                RunPlan().with("OLVST_ANSWER=fault").on(EXCEPTION, Pictured(EXCEPTION, "14-exception")));
    DeleteFileA(library.c_str());
}

// The screen resolution of the programs started while it lasts: Wine reads
// it from the current user's desktop settings when a program starts.
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpi)
    {
        DWORD size = sizeof old_;
        had_ = RegGetValueA(HKEY_CURRENT_USER, DESKTOP, "LogPixels", RRF_RT_REG_DWORD, nullptr, &old_, &size)
               == ERROR_SUCCESS;
        RegSetKeyValueA(HKEY_CURRENT_USER, DESKTOP, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    ~ScreenDpi()
    {
        if (had_)
            RegSetKeyValueA(HKEY_CURRENT_USER, DESKTOP, "LogPixels", REG_DWORD, &old_, sizeof old_);
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, DESKTOP, "LogPixels");
    }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

private:
    static constexpr const char* DESKTOP = "Control Panel\\Desktop";
    DWORD old_ = 0;
    bool had_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: wizard_demo <folder for the pictures>\n");
        return 2;
    }
    char full[MAX_PATH];
    GetFullPathNameA(argv[1], sizeof full, full, nullptr);
    CreateDirectoryA(full, nullptr);

    // Sample plug-ins, and the program in a folder of its own.
    std::string root = FreshDir("demo");
    std::string plugins = root + "\\VST Plug-ins";
    std::string app = root + "\\Ostrel VST Adapter";
    PlantFixture("plain.dll", plugins + "\\Plate Reverb.dll");
    PlantFixture("slow_open.dll", plugins + "\\" + SLOW_PLUGIN);
    PlantFixture("chunks.dll", plugins + "\\Tape Delay.dll");
    PlantFixture("fault_open.dll", plugins + "\\Unstable Chorus.dll");
    PlantFixture("noentry.dll", plugins + "\\helper.dll");
    PlantFixture("synth.dll", plugins + "\\Instruments\\Analog Poly.dll");
    PlantFixture("midi_open.dll", plugins + "\\Instruments\\Drum Machine.dll");
    InstallWizard(app);

    printf("Touring the wizard on %s\n", plugins.c_str());
    pictures = full;
    FreshRegistry(plugins);
    TourEveryPage(app);
    TourException(app);

    // The same again on a screen of 150 %, where the dialogs and pictures grow.
    printf("The same at 144 dpi:\n");
    pictures = std::string(full) + "\\144dpi";
    CreateDirectoryA(pictures.c_str(), nullptr);
    {
        ScreenDpi dpi(144);
        FreshRegistry(plugins);
        TourEveryPage(app);
        TourException(app);
    }
    ClearProgramKeys();
    printf("%d pictures in %s\n", saved, full);
    return saved == 30 && cutTitles == 0 ? 0 : 1;
}
