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
    std::string path = pictures + "\\" + picture + ".bmp";
    if (SaveScreenshotAs(window, path)) {
        ++saved;
        printf("  %-42s %s.png\n", caption, picture);
    }
    return window;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: wizard_demo <folder for the pictures>\n");
        return 2;
    }
    char full[MAX_PATH];
    GetFullPathNameA(argv[1], sizeof full, full, nullptr);
    pictures = full;
    CreateDirectoryA(pictures.c_str(), nullptr);

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
    ClearProgramKeys();
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);

    printf("Touring the wizard on %s\n", plugins.c_str());
    {
        WizardDriver driver;
        if (!driver.start(app + "\\Tandrel.exe"))
            return 1;
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
                for (int row = 0; row < ListViewRows(report, IDC_REPORT_LIST); ++row)
                    printf("      %s\t%s\n", ListViewCell(driver.process(), report, IDC_REPORT_LIST, row, 0).c_str(),
                           ListViewCell(driver.process(), report, IDC_REPORT_LIST, row, 1).c_str());
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
    {
        // A second run whose adapter library faults: the exception page.
        CopyInto(ExeDir() + "\\doubles\\olvst_both.dll", app + "\\OLVST.DLL");
        WizardDriver driver;
        driver.start(app + "\\Tandrel.exe", {"OLVST_ANSWER=fault"});
        Press(driver.waitFor("Welcome!"), IDOK);
        Press(driver.waitFor("VST Plug-In Search Paths"), IDOK);
        Press(driver.waitFor("VST Plug-In Configuration"), IDOK);
        if (HWND exception = Show(driver, "Tandrel - Exception", "14-exception"))
            Press(exception, IDOK);
        driver.waitForExit();
    }
    ClearProgramKeys();
    printf("%d pictures in %s\n", saved, pictures.c_str());
    return saved == 15 ? 0 : 1;
}
