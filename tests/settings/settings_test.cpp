// The settings under the product key: the search folders (with the common
// VST folder as the first one), the run options and the defaults.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "base/registry.h"
#include "base/state.h"
#include "plugdb/record.h"
#include "support/registry.h"
#include "wizard/settings.h"
#include "wizard/stages.h"

using Lines = std::vector<std::string>;

namespace {

const char VST_KEY[] = "Software\\Vst";

// Loads the search folders as the run does; the lists are emptied first and
// the "Paths" key handed back is closed unless the caller wants it.
Lines LoadFolders(HKEY* paths = nullptr)
{
    ReleaseLists();
    RegKey key = LoadSearchPaths();
    Lines folders;
    for (char* folder : SearchPathList)
        folders.push_back(folder);
    if (paths)
        *paths = key.release();
    return folders;
}

DWORD PathsValueCount()
{
    RegKey paths;
    DWORD values = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PATHS_KEY, 0, KEY_READ, paths.receive()) == ERROR_SUCCESS)
        RegQueryInfoKeyA(paths, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
    return values;
}

// The value names of "Paths" in the order the registry enumerates them.
Lines PathsValueNames()
{
    Lines names;
    RegKey paths;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, PATHS_KEY, 0, KEY_READ, paths.receive());
    for (DWORD index = 0;; ++index) {
        char name[4096];
        DWORD size = sizeof name;
        if (RegEnumValueA(paths, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.push_back(name);
    }
}

Lines Sorted(Lines lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Expanded(const char* text)
{
    char expanded[1024];
    ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
    return expanded;
}

} // namespace

TEST(SearchFolders, FirstRunAdoptsTheCommonVstFolderOnce)
{
    ClearProgramKeys();
    SetText(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", "C:\\Vst Plugins");

    HKEY paths = nullptr;
    EXPECT_EQ(Lines{"C:\\Vst Plugins"}, LoadFolders(&paths));
    EXPECT_EQ("C:\\Vst Plugins", TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, "C:\\Vst Plugins"));
    DWORD type = 0, size = 0;
    RegQueryValueExA(paths, "C:\\Vst Plugins", nullptr, &type, nullptr, &size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(strlen("C:\\Vst Plugins") + 1, size);
    // The key is handed back open, for the search-path page to write through.
    EXPECT_EQ(ERROR_SUCCESS, WriteTextValue(paths, "D:\\More", "D:\\More"));
    RegCloseKey(paths);
    EXPECT_EQ("D:\\More", TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, "D:\\More"));

    // From now on "Paths" has values: the common setting is no longer read.
    SetText(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", "E:\\Elsewhere");
    EXPECT_EQ(Sorted({"C:\\Vst Plugins", "D:\\More"}), Sorted(LoadFolders()));
}

TEST(SearchFolders, NoFolderWhenThereIsNoCommonFolderText)
{
    ClearProgramKeys();
    EXPECT_TRUE(LoadFolders().empty());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, PATHS_KEY));

    SetDword(HKEY_LOCAL_MACHINE, VST_KEY, "Other", 1);
    EXPECT_TRUE(LoadFolders().empty());

    // A number, or an empty text, is no folder.
    SetDword(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", 0x5C3A43);
    EXPECT_TRUE(LoadFolders().empty());
    SetText(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", "");
    EXPECT_TRUE(LoadFolders().empty());
    EXPECT_EQ(0u, PathsValueCount());
}

TEST(SearchFolders, CommonFolderTextMustEndInsideItsBuffer)
{
    ClearProgramKeys();
    std::string longest = "C:\\" + std::string(1020, 'v');        // 1023 characters
    SetText(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", longest);
    EXPECT_EQ(Lines{longest}, LoadFolders());
    EXPECT_EQ(longest, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, longest.c_str()));

    ClearProgramKeys();
    std::string unterminated = "C:\\" + std::string(1021, 'v');   // 1024 bytes, no zero
    SetRaw(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", REG_SZ, unterminated.data(), 1024);
    EXPECT_TRUE(LoadFolders().empty());
    EXPECT_EQ(0u, PathsValueCount());

    ClearProgramKeys();
    SetRaw(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", REG_EXPAND_SZ, "%SystemRoot%\\Vst", 17);
    EXPECT_EQ(Lines{Expanded("%SystemRoot%\\Vst")}, LoadFolders());
}

TEST(SearchFolders, EveryFolderTextOfPathsIsLoadedByItsData)
{
    ClearProgramKeys();
    SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, "first", "C:\\A");
    SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, "C:\\B", "C:\\B");
    SetRaw(HKEY_LOCAL_MACHINE, PATHS_KEY, "expand", REG_EXPAND_SZ, "%SystemRoot%\\Vst", 17);
    SetDword(HKEY_LOCAL_MACHINE, PATHS_KEY, "number", 7);
    SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, "empty", "");
    SetText(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", "C:\\Common");
    std::string longest = "C:\\" + std::string(1020, 'p');
    SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, std::string(1023, 'n').c_str(), longest);

    EXPECT_EQ(Sorted({"C:\\A", "C:\\B", Expanded("%SystemRoot%\\Vst"), longest}), Sorted(LoadFolders()));
}

// The first value whose name or text does not fit ends the loading: the
// values the registry lists after it are not loaded, and the common folder
// is not consulted either.
TEST(SearchFolders, ValueThatCannotBeReadEndsTheLoading)
{
    std::string tooLong = "C:\\" + std::string(1021, 'd');     // 1024 characters
    struct Case {
        const char* what;
        std::string name;
        std::string data;
        DWORD size;
    } cases[] = {
        {"name of 1024 characters", std::string(1024, 'N'), "C:\\Named", 9},
        {"text of 1024 characters", "M", tooLong, 1025},
        {"1024 bytes without a terminating zero", "M", tooLong, 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearProgramKeys();
        SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, "A", "C:\\A");
        SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, "Z", "C:\\Z");
        SetRaw(HKEY_LOCAL_MACHINE, PATHS_KEY, c.name.c_str(), REG_SZ, c.data.data(), c.size);
        SetText(HKEY_LOCAL_MACHINE, VST_KEY, "VstPluginsPath", "C:\\Common");

        Lines expected;
        for (const std::string& name : PathsValueNames()) {
            if (name == c.name)
                break;
            expected.push_back(TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, name.c_str()));
        }
        EXPECT_LT(expected.size(), 3u);
        EXPECT_EQ(expected, LoadFolders());
    }
}

TEST(Options, ReadAsFourBytesWhateverTheirType)
{
    ClearProgramKeys();
    WizardOptions = {};
    ReadWizardOptions();
    EXPECT_EQ(0u, WizardOptions.subDivide);
    EXPECT_EQ(0u, WizardOptions.noPrefix);
    EXPECT_EQ(0u, WizardOptions.rescanExisting);

    SetDword(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "subDivide", 1);
    const BYTE one[4] = {1, 0, 0, 0};
    SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "noPrefix", REG_BINARY, one, 4);
    SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "rescanExisting", REG_BINARY, one, 2);
    SetDword(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "rescanFailed", 1);
    ReadWizardOptions();
    EXPECT_EQ(1u, WizardOptions.subDivide);
    EXPECT_EQ(1u, WizardOptions.noPrefix);
    EXPECT_EQ(0u, WizardOptions.rescanExisting);    // 2 bytes: not a flag
    EXPECT_EQ(0u, WizardOptions.rescanFailed);      // never stored

    const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "rescanExisting", REG_QWORD, eight, 8);
    ReadWizardOptions();
    EXPECT_EQ(0u, WizardOptions.rescanExisting);
}

TEST(Defaults, WithoutTheKeyNewPluginsAreEffectsAndNotSynths)
{
    ClearProgramKeys();
    memset(&DefaultRecord, 0, sizeof DefaultRecord);
    DefaultRecord.registerAsSynth = 1;
    ReadDefaults();
    EXPECT_EQ(1u, DefaultRecord.registerAsPlug);
    EXPECT_EQ(0u, DefaultRecord.registerAsSynth);
    EXPECT_EQ(0u, DefaultRecord.forceStereo);
    EXPECT_EQ(0u, DefaultRecord.nrpnPassThrough);
}

TEST(Defaults, OnlyTheFourOptionsAreReadBack)
{
    ClearProgramKeys();
    memset(&DefaultRecord, 0, sizeof DefaultRecord);
    SetDword(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "registerAsSynth", 1);
    SetDword(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "forceStereo", 1);
    SetDword(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "nrpnPassThrough", 1);
    SetDword(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "numParams", 5);
    SetText(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "FullName", "Stored defaults");
    ReadDefaults();

    EXPECT_EQ(0u, DefaultRecord.registerAsPlug);    // the key exists, the value does not
    EXPECT_EQ(1u, DefaultRecord.registerAsSynth);
    EXPECT_EQ(1u, DefaultRecord.forceStereo);
    EXPECT_EQ(1u, DefaultRecord.nrpnPassThrough);
    EXPECT_EQ(0, DefaultRecord.numParams);
    EXPECT_STREQ("", DefaultRecord.FullName);
}
