#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "base/state.h"
#include "base/text.h"
#include "pages/pages.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/registry.h"
#include "support/screenshot.h"
#include "support/state.h"

namespace {

const std::string BRAVO_KEY = PLUGINS_KEY "\\BRAVO";
const std::string BRAVO_CLASS = "CLSID\\{141AC902-8000-0000-4252-41564F000000}";

bool Shown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)); }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)); }

void SelectRowByClick(HWND list, int row)
{
    RECT bounds{LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    LPARAM at = MAKELPARAM(bounds.left + 20, (bounds.top + bounds.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    PumpMessages(100);
}

int SelectedRow(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED | LVNI_FOCUSED));
}

} // namespace

// List page, options dialog and properties dialog together, as a user goes
// through them.
TEST(OptionsDialog, StoresTheWholeRecordAndReselectsTheRowByPosition)
{
    ClearProgramKeys();
    StartFreshRun();
    editSelectedPlugin = 1;
    AddPlugin("Alpha", "ALPHA", "C:\\vst\\Alpha.dll");
    AddPlugin("Charlie", "CHARLI", "C:\\vst\\Charlie.dll");
    PluginRecord& bravo = AddPlugin("Bravo", "BRAVO", "C:\\vst\\a rather long folder\\Bravo.dll", [](PluginRecord& r) {
        r.uniqueId = 0x80000000;
        r.wantEvents = 1;
        r.cxEditor = -12;
        r.cyEditor = 480;
        r.forceStereo = 1;
        memset(r.PresetPath, 'p', 300);
    });
    // OK must register the classes and set "touch" again.
    RegDeleteTreeA(HKEY_CLASSES_ROOT, BRAVO_CLASS.c_str());
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, BRAVO_KEY.c_str(), "touch");
    std::string longName = "Zulu " + std::string(200, 'z');

    DialogScript script;
    script.on(LIST, [](HWND page) {
              SelectRowByClick(GetDlgItem(page, IDC_LIST_PLUGINS), 1);
              Click(page, IDC_LIST_PROPERTIES);
          })
        .on(OPTIONS, [](HWND dialog) {
            EXPECT_EQ(1, rememberedRow);
            EXPECT_EQ("Bravo", ItemText(dialog, IDC_ITEM_NAME));
            EXPECT_EQ("-12", ItemText(dialog, IDC_ITEM_WIDTH));
            EXPECT_EQ("480", ItemText(dialog, IDC_ITEM_HEIGHT));
            EXPECT_TRUE(IsChecked(dialog, IDC_ITEM_ENABLE));
            EXPECT_FALSE(IsChecked(dialog, IDC_ITEM_SYNTH));
            EXPECT_TRUE(IsChecked(dialog, IDC_ITEM_STEREO));
            EXPECT_FALSE(IsChecked(dialog, IDC_ITEM_NRPN));
            EXPECT_TRUE(Enabled(dialog, IDC_ITEM_DETAILS));
            SaveScreenshot(dialog, "options_plugin");
            Click(dialog, IDC_ITEM_DETAILS);
        })
        .on(PROPERTIES, [](HWND dialog) {
            EXPECT_EQ("Bravo", ItemText(dialog, IDC_PROPS_NAME));
            EXPECT_EQ("C:\\vst\\a rather long folder\\Bravo.dll", ItemText(dialog, IDC_PROPS_PATH));
            EXPECT_EQ("{141AC902-8000-0000-4252-41564F000000}", ItemText(dialog, IDC_PROPS_CLSID));
            EXPECT_EQ("{141AC903-8000-0000-4252-41564F000000}", ItemText(dialog, IDC_PROPS_CLSID_PROPS));
            EXPECT_EQ("-2147483648", ItemText(dialog, IDC_PROPS_UNIQUE_ID));
            EXPECT_EQ("1", ItemText(dialog, IDC_PROPS_EVENTS));
            EXPECT_EQ("0", ItemText(dialog, IDC_PROPS_SYNTH));
            EXPECT_EQ("...", ItemText(dialog, IDC_PROPS_VST_VERSION));
            EXPECT_EQ("...", ItemText(dialog, IDC_PROPS_REPLACING));
            EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDC_PROPS_PATH), GWL_STYLE) & ES_READONLY);
            ExpectIgnoresEscapeAndClose(dialog);
            SaveScreenshot(dialog, "properties");
            Click(dialog, IDOK);
        })
        .on(OPTIONS, [&](HWND dialog) {
            ExpectIgnoresEscapeAndClose(dialog);
            SetDlgItemTextA(dialog, IDC_ITEM_NAME, longName.c_str());
            SetDlgItemTextA(dialog, IDC_ITEM_WIDTH, "123456");
            SetDlgItemTextA(dialog, IDC_ITEM_HEIGHT, "");
            SetCheck(dialog, IDC_ITEM_ENABLE, false);
            SetCheck(dialog, IDC_ITEM_SYNTH, true);
            Click(dialog, IDOK);
        })
        .on(LIST, [&](HWND page) {
            // "Zulu..." sorts last now; the row at its old position is selected.
            HWND list = GetDlgItem(page, IDC_LIST_PLUGINS);
            EXPECT_EQ(3, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
            EXPECT_EQ("Charlie", ListViewCell(list, 1, 0));
            EXPECT_EQ(longName.substr(0, 127), ListViewCell(list, 2, 0));
            EXPECT_EQ(" ", ListViewCell(list, 2, 1));
            EXPECT_EQ("Y", ListViewCell(list, 2, 2));
            EXPECT_EQ(1, SelectedRow(list));
            EXPECT_EQ(1, SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0));
            EXPECT_EQ(4, ListViewColumns(list));
            SaveScreenshot(page, "list_page_after_options");
            Click(page, IDOK);
        });
    EXPECT_EQ(0, ShowDialog(IDD_LIST, DlgListProc));
    EXPECT_TRUE(script.finished());

    EXPECT_EQ(longName.substr(0, 127), bravo.FullName);
    EXPECT_EQ(12345, bravo.cxEditor);
    EXPECT_EQ(0, bravo.cyEditor);
    EXPECT_EQ(0u, bravo.registerAsPlug);
    EXPECT_EQ(1u, bravo.registerAsSynth);
    EXPECT_EQ(std::string(300, 'p'), bravo.PresetPath);

    EXPECT_EQ(longName.substr(0, 127), TextAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "FullName"));
    EXPECT_EQ(std::string(300, 'p'), TextAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "PresetPath"));
    EXPECT_EQ(12345, DwordAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "cxEditor"));
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "cyEditor"));
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "registerAsPlug"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "registerAsSynth"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "forceStereo"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, BRAVO_KEY, "touch")) << "the whole entry is rewritten";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, BRAVO_CLASS)) << "and its classes registered again";
    EXPECT_EQ(3, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
}

TEST(OptionsDialog, DefaultsModeCreatesTheDefaultsKey)
{
    ClearProgramKeys();
    StartFreshRun();
    DefaultRecord.registerAsPlug = 1;
    editSelectedPlugin = 1;

    DialogScript script;
    script.on(PATHS, [](HWND page) { Click(page, IDC_PATHS_DEFAULTS); })
        .on(OPTIONS, [](HWND dialog) {
            EXPECT_FALSE(Enabled(dialog, IDC_ITEM_DETAILS));
            EXPECT_FALSE(Shown(dialog, IDC_ITEM_PRESET_PATH));
            EXPECT_FALSE(Shown(dialog, IDC_ITEM_PRESET_BROWSE));
            EXPECT_FALSE(Enabled(dialog, IDC_ITEM_PRESET_BROWSE));
            for (int id : {IDC_ITEM_ENABLE, IDC_ITEM_SYNTH, IDC_ITEM_STEREO, IDC_ITEM_NRPN})
                EXPECT_TRUE(Shown(dialog, id) && Enabled(dialog, id)) << id;
            EXPECT_TRUE(IsChecked(dialog, IDC_ITEM_ENABLE));
            EXPECT_EQ("0", ItemText(dialog, IDC_ITEM_WIDTH));
            SaveScreenshot(dialog, "options_defaults");
            SetCheck(dialog, IDC_ITEM_SYNTH, true);
            SetDlgItemTextA(dialog, IDC_ITEM_WIDTH, "  -42x");
            Click(dialog, IDOK);
        })
        .on(PATHS, [](HWND page) { Click(page, IDOK); });
    ShowDialog(IDD_PATHS, DlgPathsProc);
    EXPECT_TRUE(script.finished());

    EXPECT_EQ(0u, editSelectedPlugin);
    EXPECT_EQ(1u, DefaultRecord.registerAsSynth);
    EXPECT_EQ(-42, DefaultRecord.cxEditor);
    const std::string key = DEFAULTS_KEY;
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "registerAsPlug"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "registerAsSynth"));
    EXPECT_EQ(0xFFFFFFD6, DwordAt(HKEY_LOCAL_MACHINE, key, "cxEditor"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "touch"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-0000-0000-0000-000000000000}"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC903-0000-0000-0000-000000000000}"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
}

// A record whose "DosName" does not lead to its own entry keeps the change
// in memory, is never written anywhere else, and the user is told.
TEST(OptionsDialog, NeverWritesIntoAnotherKey)
{
    ClearProgramKeys();
    StartFreshRun();
    editSelectedPlugin = 1;
    SetText(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\OTHER", "FullName", "Other");
    SetText(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\OTHER", "FullPath", "C:\\vst\\Other.dll");

    for (const char* dosName : {"", "OTHER\\SUB", "OTHER", "GONE"}) {
        SCOPED_TRACE(dosName);
        ListEntry<PluginRecord>* entry = PluginList.append(PluginRecord{});
        PluginRecord& record = entry->element;
        CopyText(record.FullName, "Mine");
        CopyText(record.FullPath, "C:\\vst\\Mine.dll");
        CopyText(record.DosName, dosName);
        rememberedRow = 0;

        DialogScript script;
        script.on(LIST, [](HWND page) { Click(page, IDC_LIST_PROPERTIES); })
            .on(OPTIONS, [](HWND dialog) {
                SetCheck(dialog, IDC_ITEM_SYNTH, true);
                Click(dialog, IDOK);
            })
            .answerMessageBox()
            .on(LIST, [](HWND page) { Click(page, IDOK); });
        ShowDialog(IDD_LIST, DlgListProc);
        EXPECT_TRUE(script.finished());
        ASSERT_EQ(1u, script.messageBoxes().size());
        EXPECT_EQ("Couldn't save the options of this plug-in: its registry entry is missing or cannot be "
                  "opened. To rebuild it, run this Wizard again with \"Re-scan existing plug-ins\" ticked.",
                  script.messageBoxes()[0].text);
        EXPECT_TRUE(script.messageBoxes()[0].onlyOk);

        EXPECT_EQ(1u, record.registerAsSynth);
        EXPECT_EQ(1, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
        EXPECT_EQ(0, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\OTHER"));
        EXPECT_EQ("Other", TextAt(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\OTHER", "FullName"));
        EXPECT_EQ("<missing>", TextAt(HKEY_LOCAL_MACHINE, PLUGINS_KEY, "FullName"));
        PluginList.remove(entry);
    }
}
