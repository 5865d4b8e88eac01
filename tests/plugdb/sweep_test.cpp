// The sweep of "Plug-Ins" entries and the deletion of key trees.
#include <gtest/gtest.h>
#include "base/state.h"
#include "plugdb/sweep.h"
#include "support/registry.h"

using Names = std::vector<std::string>;

namespace {

const std::string PLUGINS = PLUGINS_KEY;

void Entry(const std::string& name)
{
    SetText(HKEY_LOCAL_MACHINE, PLUGINS + "\\" + name, "DosName", name);
}

void TouchedEntry(const std::string& name, DWORD touch)
{
    Entry(name);
    SetDword(HKEY_LOCAL_MACHINE, PLUGINS + "\\" + name, "touch", touch);
}

} // namespace

TEST(Sweep, DeleteUntouchedRemovesEveryUnmarkedEntryWhereverItStands)
{
    ClearProgramKeys();
    Entry("A1");                 // two untouched before the first touched one
    Entry("A2");
    TouchedEntry("B", 1);
    TouchedEntry("C", 0);        // a mark of 0 is no mark
    Entry("D");
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\D\\x\\y\\z");
    TouchedEntry("E", 1);
    Entry("F");                  // a mark that is not a 32-bit number cannot be read
    SetText(HKEY_LOCAL_MACHINE, PLUGINS + "\\F", "touch", "1");
    Entry("G");

    DeleteUntouched();

    EXPECT_EQ((Names{"B", "E"}), Subkeys(HKEY_LOCAL_MACHINE, PLUGINS));
    EXPECT_EQ("B", TextAt(HKEY_LOCAL_MACHINE, PLUGINS + "\\B", "DosName"));
    EXPECT_STREQ("Eliminate subkey", FailureTrace.traceOperation);
    EXPECT_STREQ("init", FailureTrace.traceFailurePoint);
}

TEST(Sweep, ClearingTheMarksLeavesTheValuesAndLetsTheSweepTakeEverything)
{
    ClearProgramKeys();
    ClearTouchFlags();      // no "Plug-Ins" yet: nothing to do, nothing made
    DeleteUntouched();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PRODUCT_KEY));

    TouchedEntry("A", 1);
    TouchedEntry("B", 1);
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\B\\deeper");

    ClearTouchFlags();
    EXPECT_STREQ("Clear Touch flag", FailureTrace.traceOperation);
    EXPECT_EQ(-1, DwordAt(HKEY_LOCAL_MACHINE, PLUGINS + "\\A", "touch"));
    EXPECT_EQ(-1, DwordAt(HKEY_LOCAL_MACHINE, PLUGINS + "\\B", "touch"));
    EXPECT_EQ("A", TextAt(HKEY_LOCAL_MACHINE, PLUGINS + "\\A", "DosName"));

    DeleteUntouched();
    EXPECT_EQ(0, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS));
}

TEST(Sweep, EliminateSubkeyRemovesAWholeTreeAndAnswersForOddNames)
{
    ClearProgramKeys();
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\Tree\\a\\b\\c\\d");
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\Tree\\a\\b2");
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\Tree\\e");
    SetText(HKEY_LOCAL_MACHINE, PLUGINS + "\\Tree\\a\\b", "value", "gone with its key");
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\Treetop");
    HKEY plugins;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, PLUGINS.c_str(), 0, KEY_ALL_ACCESS, &plugins));

    strcpy(FailureTrace.traceOperation, "before");
    EXPECT_EQ(E_FAIL, EliminateSubkey(plugins, ""));
    EXPECT_STREQ("Eliminate subkey", FailureTrace.traceOperation);
    EXPECT_EQ(0, EliminateSubkey(plugins, "Missing"));
    EXPECT_EQ(0, EliminateSubkey(nullptr, "Tree"));
    EXPECT_EQ((Names{"Tree", "Treetop"}), Subkeys(HKEY_LOCAL_MACHINE, PLUGINS));

    EXPECT_EQ(0, EliminateSubkey(plugins, "Tree"));
    EXPECT_EQ((Names{"Treetop"}), Subkeys(HKEY_LOCAL_MACHINE, PLUGINS));
    RegCloseKey(plugins);
}

// Such a key would be met again and again by a sweep that starts over after
// every deletion; it is stepped past, and everything around it still goes.
TEST(Sweep, KeysThatCannotBeDeletedAreSteppedPast)
{
    ClearProgramKeys();
    Entry("A");
    TouchedEntry("B", 1);
    UndeletableKey stuck(HKEY_LOCAL_MACHINE, PLUGINS + "\\C");
    Entry("D");
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\E\\sub1");
    MakeKey(HKEY_LOCAL_MACHINE, PLUGINS + "\\E\\sub3");
    UndeletableKey stuckBelow(HKEY_LOCAL_MACHINE, PLUGINS + "\\E\\sub2");

    DeleteUntouched();
    EXPECT_EQ((Names{"B", "C", "E"}), Subkeys(HKEY_LOCAL_MACHINE, PLUGINS));
    EXPECT_EQ((Names{"sub2"}), Subkeys(HKEY_LOCAL_MACHINE, PLUGINS + "\\E"));

    HKEY plugins;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, PLUGINS.c_str(), 0, KEY_ALL_ACCESS, &plugins));
    EXPECT_EQ(ERROR_ACCESS_DENIED, EliminateSubkey(plugins, "C"));
    EXPECT_EQ(0, EliminateSubkey(plugins, "E"));   // its own deletion fails unseen
    RegCloseKey(plugins);
}
