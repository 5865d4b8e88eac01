// A guided tour of the wizard for people without a display: runs the real
// program on a folder of sample plug-ins, walks through every page and
// dialog, and saves a picture of each into the folder given on the command
// line. Prints what it saved.
#include <windows.h>
#include <cstdio>
#include <string>
#include "e2e/driver.h"
#include "resource.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/screenshot.h"
#include "wizard/state.h"

namespace {

std::string pictures;
int saved;

HWND Show(WizardDriver& driver, const char* caption, const char* picture)
{
    HWND window = driver.waitFor(caption);
    if (!window) {
        printf("  %-28s did not appear\n", caption);
        return nullptr;
    }
    // What the page draws as it opens reaches the screen first.
    Sleep(100);
    std::string path = pictures + "\\" + picture + ".bmp";
    if (SaveScreenshotAs(window, path)) {
        ++saved;
        printf("  %-42s %s.png\n", caption, picture);
    }
    return window;
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
    WizardDriver driver;
    if (!driver.start(app + "\\Tandrel.exe"))
        return;
    if (HWND welcome = Show(driver, "Welcome!", "01-welcome")) {
        Press(welcome, IDC_WELCOME_ABOUT);
        if (HWND about = Show(driver, "About Ostrel VST Adapter", "02-about"))
            Press(about, IDOK);
        Press(welcome, IDOK);
    }
    if (HWND paths = Show(driver, "VST Plug-In Search Paths", "03-search-paths")) {
        Press(paths, IDC_PATHS_DEFAULTS);
        if (HWND defaults = Show(driver, "VST Plug-In", "04-folder-defaults"))
            Press(defaults, IDOK);
        Press(paths, IDC_PATHS_RESET);
        if (HWND reset = Show(driver, "Reset VST Adapter Configuration", "05-reset"))
            Press(reset, IDC_RESET_NO);
        Press(paths, IDOK);
    }
    // The load-error page comes while the progress page is up.
    if (HWND error = Show(driver, "VST Plug-in Load Error", "07-load-error")) {
        Show(driver, "Scanning for VST plug-ins...", "06-progress");
        Press(error, IDOK);
    }
    if (HWND list = Show(driver, "VST Plug-In Configuration", "08-plugin-list")) {
        Press(list, IDC_LIST_REPORT);
        if (HWND report = Show(driver, "Other Files", "08a-other-files")) {
            for (int row = 0; row < ListViewRows(report, IDC_REPORT_LIST); ++row) {
                printf("     ");
                for (int column = 0; column < 3; ++column)
                    printf(" %s", ListViewCell(driver.process(), report, IDC_REPORT_LIST, row, column).c_str());
                printf("\n");
            }
            Press(report, IDOK);
            for (int i = 0; i < 100 && IsWindow(report); ++i)
                Sleep(50);
        }
        SelectListViewRow(driver.process(), list, IDC_LIST_PLUGINS, 0);
        Press(list, IDC_LIST_PROPERTIES);
        if (HWND options = Show(driver, "VST Plug-In", "09-plugin-options")) {
            Press(options, IDC_ITEM_DETAILS);
            if (HWND details = Show(driver, "Properties", "10-plugin-properties"))
                Press(details, IDOK);
            Press(options, IDOK);
        }
        Press(list, IDOK);
    }
    // Without an adapter library here, its message stands over the notice.
    if (HWND box = Show(driver, "Ostrel VST Adapter Error", "12-registration-message")) {
        Show(driver, "Registering VST plug-ins with your system", "11-registering");
        Press(box, IDOK);
    }
    if (HWND finished = Show(driver, "Finished", "13-finished"))
        Press(finished, IDOK);
    driver.waitForExit();
}

// A second run whose adapter library faults: the exception page.
void TourException(const std::string& app)
{
    std::string library = app + "\\OLVST.DLL";
    CopyInto(ExeDir() + "\\doubles\\olvst_both.dll", library);
    WizardDriver driver;
    driver.start(app + "\\Tandrel.exe", {"OLVST_ANSWER=fault"});
    Press(driver.waitFor("Welcome!"), IDOK);
    Press(driver.waitFor("VST Plug-In Search Paths"), IDOK);
    Press(driver.waitFor("VST Plug-In Configuration"), IDOK);
    if (HWND exception = Show(driver, "Tandrel - Exception", "14-exception"))
        Press(exception, IDOK);
    driver.waitForExit();
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
    return saved == 30 ? 0 : 1;
}
