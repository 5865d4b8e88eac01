// Registration and unregistration through the adapter library, and the
// configuration reset. Each case runs adapter_child in a folder of its own
// with one OLVST.DLL double, or none, beside it: a library once loaded stays
// loaded, and the program looks for it in its own folder first.
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include "base/state.h"
#include "support/captions.h"
#include "support/files.h"
#include "support/registry.h"

namespace {

struct ChildRun {
    long exitCode = 0;
    std::map<std::string, std::string> report;
    std::vector<std::string> boxes;     // caption, text and flags, as the child wrote them
    std::string log;                    // what the double wrote
};

// library: the double's variant, or "" for no library at all.
ChildRun RunChild(const std::string& routine, const std::string& library, const char* answer = "S_OK")
{
    std::string dir = FreshDir("adapter_" + routine + "_" + (library.empty() ? "missing" : library) + "_" + answer);
    CopyInto(ExeDir() + "\\adapter_child.exe", dir + "\\adapter_child.exe");
    if (!library.empty())
        CopyInto(ExeDir() + "\\doubles\\olvst_" + library + ".dll", dir + "\\OLVST.DLL");
    SetEnvironmentVariableA("OLVST_ANSWER", answer);

    ChildRun run;
    run.exitCode = RunProcess("\"" + dir + "\\adapter_child.exe\" " + routine, 30000);
    std::istringstream report(ReadText(dir + "\\report.txt"));
    for (std::string line; std::getline(report, line);) {
        size_t equals = line.find('=');
        if (line.compare(0, 4, "box=") == 0)
            run.boxes.push_back(line.substr(4));
        else if (equals != std::string::npos)
            run.report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    run.log = ReadText(dir + "\\olvst.log");
    return run;
}

// A message box as the child reports it: OK only, no icon, no owner.
std::string ErrorBox(const std::string& text)
{
    return std::string(MESSAGE) + "\t" + text + "\t100";
}

const std::string ENTRY = std::string(PLUGINS_KEY) + "\\REVERB";
const std::string PLUG_CLASS = "CLSID\\{141AC902-4162-4364-5245-564552420000}";
const std::string DX_CACHE = "Software\\Sonic Foundry\\DxCache";

void OneConfiguredPlugin()
{
    ClearProgramKeys();
    SetDword(HKEY_LOCAL_MACHINE, ENTRY, "touch", 1);
    SetText(HKEY_CLASSES_ROOT, PLUG_CLASS + "\\InprocServer32", "", "C:\\OlVst.dll");
    MakeKey(HKEY_LOCAL_MACHINE, DX_CACHE);
}

struct Outcome {
    std::string library;
    const char* answer;
    std::string box;        // "" for none
    const char* point;              // the failure point at the end
    const char* registered = "";    // what RegisterAdapter returned; "-1" when trapped
};

// The routine run to one outcome, with what every outcome shows checked: the
// exit code, the message box, the last failure point, whether the library
// was loaded and the call it got (only "both" exports the routine's call).
ChildRun ExpectOutcome(const std::string& routine, const Outcome& outcome, const std::string& call)
{
    OneConfiguredPlugin();
    ChildRun run = RunChild(routine, outcome.library, outcome.answer);
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(outcome.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{outcome.box}, run.boxes);
    EXPECT_EQ(outcome.point, run.report["point"]);
    EXPECT_EQ(outcome.library.empty() ? "0" : "1", run.report["loaded"]);
    EXPECT_EQ(outcome.library == "both" ? call : "", run.log);
    return run;
}

} // namespace

// Registration always clears the old classes and the host cache first, so
// the library finds none; every failure shows its one message box.
TEST(Adapter, RegistrationOutcomes)
{
    const Outcome outcomes[] = {
        {"", "S_OK", ErrorBox("Couldn't find OLVST.DLL or file corrupt. LoadLibrary failed during registration."),
         "LoadLib", "0"},
        {"both", "S_OK", "", "cleanup", "1"},
        {"both", "S_FALSE", ErrorBox("An error occured while registering VST plug-ins."), "cleanup", "0"},
        {"both", "E_FAIL", ErrorBox("An error occured while registering VST plug-ins."), "cleanup", "0"},
        {"unregister_only", "S_OK", ErrorBox("Couldn't get DLL entry point during registration."), "cleanup", "0"},
        {"no_exports", "S_OK", ErrorBox("Couldn't get DLL entry point during registration."), "cleanup", "0"},
        // A fault in the library is left to the run's trap region.
        {"both", "fault", "", "calling reg routine", "-1"},
    };
    for (const Outcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.library + " " + outcome.answer);
        ChildRun run = ExpectOutcome("register", outcome, "DllRegisterServer entries=1 classes=0\n");
        EXPECT_EQ(outcome.registered, run.report["registered"]);
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, PLUG_CLASS));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DX_CACHE));
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, ENTRY, "touch"));
    }
    // Without a host cache key the clean-up's last trace text stays.
    ClearProgramKeys();
    EXPECT_EQ("DxCache", RunChild("register", "both", "fault").report["operation"]);
}

// Unregistration leaves the registry to the library.
TEST(Adapter, UnregistrationOutcomes)
{
    const Outcome outcomes[] = {
        {"", "S_OK", ErrorBox("Couldn't find OLVST.DLL or file corrupt. LoadLibrary failed during unregistration."),
         "loadlib"},
        {"both", "S_OK", "", "Cleaning up"},
        {"both", "S_FALSE", ErrorBox("An error occured while unregistering VST plug-ins."), "Cleaning up"},
        {"both", "E_FAIL", ErrorBox("An error occured while unregistering VST plug-ins."), "Cleaning up"},
        {"register_only", "S_OK",
         ErrorBox("Couldn't find OLVST.DLL or file is corrupt. GetProcAddress failed during unregistration."),
         "Cleaning up"},
        {"no_exports", "S_OK",
         ErrorBox("Couldn't find OLVST.DLL or file is corrupt. GetProcAddress failed during unregistration."),
         "Cleaning up"},
        {"both", "fault", "", "Calling unreg routine"},
    };
    for (const Outcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.library + " " + outcome.answer);
        ChildRun run = ExpectOutcome("unregister", outcome, "DllUnregisterServer entries=1 classes=1\n");
        EXPECT_EQ("Unregister VST-DX DLL", run.report["operation"]);
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, PLUG_CLASS));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DX_CACHE));
    }
}

// The library unregisters while the entries and classes still exist; then
// every entry, class key and the host cache go, with or without a library,
// and the settings stay.
TEST(Adapter, ResetRemovesTheConfigurationButNotTheSettings)
{
    for (const std::string library : {"both", ""}) {
        SCOPED_TRACE(library);
        OneConfiguredPlugin();
        SetText(HKEY_LOCAL_MACHINE, std::string(PLUGINS_KEY) + "\\DELAY", "DosName", "DELAY");
        SetText(HKEY_CLASSES_ROOT, "TilvSoftSynths\\{141AC903-4162-4364-5245-564552420000}", "", "synth");
        SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, "C:\\VST", "C:\\VST");
        SetDword(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "registerAsPlug", 1);
        SetDword(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "subDivide", 1);

        ChildRun run = RunChild("reset", library);
        ASSERT_EQ(0, run.exitCode);
        if (library.empty()) {
            EXPECT_EQ((std::vector<std::string>{ErrorBox(
                          "Couldn't find OLVST.DLL or file corrupt. LoadLibrary failed during unregistration.")}),
                      run.boxes);
        } else {
            EXPECT_EQ(std::vector<std::string>{}, run.boxes);
            EXPECT_EQ("DllUnregisterServer entries=2 classes=1\n", run.log);
        }
        EXPECT_EQ(0, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, PLUG_CLASS));
        EXPECT_EQ(0, SubkeyCount(HKEY_CLASSES_ROOT, "TilvSoftSynths"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DX_CACHE));
        EXPECT_EQ("C:\\VST", TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, "C:\\VST"));
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "registerAsPlug"));
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "subDivide"));
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "TilvSoftSynths");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "TilvSoftSynths");
}
