// The clean-up of the adapter's class keys and of the hosts' plug-in cache.
#include <gtest/gtest.h>
#include <algorithm>
#include "base/state.h"
#include "plugdb/cleanup.h"
#include "support/registry.h"

using Names = std::vector<std::string>;

namespace {

const char SONIC_FOUNDRY[] = "Software\\Sonic Foundry";

void ClassKey(const std::string& area, const std::string& name)
{
    SetText(HKEY_CLASSES_ROOT, area + "\\" + name, "", "VST Something");
    SetText(HKEY_CLASSES_ROOT, area + "\\" + name + "\\InprocServer32", "", "C:\\OlVst.dll");
}

void RemoveArea(const char* area)
{
    RegDeleteTreeA(HKEY_CLASSES_ROOT, area);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, area);
}

// The keys under CLSID that look like adapter classes, in either case.
Names AdapterClasses(const char* area)
{
    Names found;
    for (const std::string& name : Subkeys(HKEY_CLASSES_ROOT, area))
        if (_strnicmp(name.c_str(), "{141AC90", 8) == 0)
            found.push_back(name);
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

// Every test starts and ends without any key these tests make, the ones the
// clean-up must keep included.
class Cleanup : public testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramKeys();
        TearDown();
    }
    void TearDown() override
    {
        for (const std::string& name : AdapterClasses("CLSID")) {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + name).c_str());
            RegDeleteKeyA(HKEY_CLASSES_ROOT, ("CLSID\\" + name).c_str());
        }
        RemoveArea("TilvSoftSynths");
        RemoveArea("Filter");
    }
};

TEST_F(Cleanup, RemovesExactlyTheAdapterClassesAndTheHostCache)
{
    size_t systemClasses = Subkeys(HKEY_CLASSES_ROOT, "CLSID").size();

    ClassKey("CLSID", "{141AC902-4162-4364-5245-564552420000}");
    ClassKey("CLSID", "{141AC902-4162-4364-5245-564552420001}");
    ClassKey("CLSID", "{141AC903-4162-4364-5245-564552420000}");
    // More below a class key than the record writer puts there.
    ClassKey("CLSID", "{141AC903-4162-4364-5245-564552420001}");
    MakeKey(HKEY_CLASSES_ROOT, "CLSID\\{141AC903-4162-4364-5245-564552420001}\\InprocServer32\\Deeper");
    MakeKey(HKEY_CLASSES_ROOT, "CLSID\\{141AC903-4162-4364-5245-564552420001}\\ProgID");
    MakeKey(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-4162-4364-5245-564552420003}\\ProgID");
    MakeKey(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-");
    MakeKey(HKEY_CLASSES_ROOT, "CLSID\\{141ac902-4162-4364-5245-564552420002}");  // between matches
    ClassKey("CLSID", "{141AC904-4162-4364-5245-564552420000}");
    MakeKey(HKEY_CLASSES_ROOT, "CLSID\\{141AC90");
    // Matches at the head of the enumeration, one after the other.
    ClassKey("TilvSoftSynths", "{141AC902-0000-0000-0000-000000000000}");
    ClassKey("TilvSoftSynths", "{141AC903-0000-0000-0000-000000000000}");
    MakeKey(HKEY_CLASSES_ROOT, "TilvSoftSynths\\Other");
    MakeKey(HKEY_CLASSES_ROOT, "Filter\\{141AC901-0000-0000-0000-000000000000}");
    ClassKey("Filter", "{141AC903-0000-0000-0000-000000000000}");
    MakeKey(HKEY_LOCAL_MACHINE, std::string(SONIC_FOUNDRY) + "\\DxCache\\Plug-Ins\\Effects");
    SetText(HKEY_LOCAL_MACHINE, std::string(SONIC_FOUNDRY) + "\\DxCache", "Version", "4");
    MakeKey(HKEY_LOCAL_MACHINE, std::string(SONIC_FOUNDRY) + "\\Vegas");

    RegistryCleanup();

    EXPECT_EQ((Names{"{141AC90", "{141AC904-4162-4364-5245-564552420000}",
                     "{141ac902-4162-4364-5245-564552420002}"}),
              AdapterClasses("CLSID"));
    EXPECT_EQ(systemClasses + 3, Subkeys(HKEY_CLASSES_ROOT, "CLSID").size());
    EXPECT_EQ((Names{"Other"}), Subkeys(HKEY_CLASSES_ROOT, "TilvSoftSynths"));
    EXPECT_EQ((Names{"{141AC901-0000-0000-0000-000000000000}"}), Subkeys(HKEY_CLASSES_ROOT, "Filter"));
    EXPECT_EQ((Names{"Vegas"}), Subkeys(HKEY_LOCAL_MACHINE, SONIC_FOUNDRY));
    EXPECT_STREQ("Eliminate subkey", FailureTrace.traceOperation);
    EXPECT_STREQ("init", FailureTrace.traceFailurePoint);
}

TEST_F(Cleanup, MissingAreasAreSkippedAndNotCreated)
{
    ClassKey("CLSID", "{141AC902-4162-4364-5245-564552420000}");

    RegistryCleanup();

    EXPECT_EQ(Names{}, AdapterClasses("CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "TilvSoftSynths"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Filter"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SONIC_FOUNDRY));
    EXPECT_STREQ("DxCache", FailureTrace.traceOperation);
}

TEST_F(Cleanup, AClassKeyThatCannotBeDeletedIsSteppedPast)
{
    ClassKey("CLSID", "{141AC902-0000-0000-0000-000000000001}");
    UndeletableKey stuck(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-0000-0000-0000-000000000002}");
    ClassKey("CLSID", "{141AC902-0000-0000-0000-000000000003}");

    RegistryCleanup();

    EXPECT_EQ((Names{"{141AC902-0000-0000-0000-000000000002}"}), AdapterClasses("CLSID"));
}
