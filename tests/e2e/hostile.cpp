#include "e2e/hostile.h"
#include <gtest/gtest.h>
#include "plugins/fixtures.h"
#include "support/registry.h"

void ExpectGoodPluginKept(const std::string& dllPath)
{
    std::string entry = EntryKeyOf(dllPath);
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, entry, "isBad"));
    EXPECT_EQ(fixtures::PLAIN_UNIQUE_ID, DwordAt(HKEY_LOCAL_MACHINE, entry, "uniqueId"));
    EXPECT_EQ(fixtures::PLAIN_PARAMS, DwordAt(HKEY_LOCAL_MACHINE, entry, "numParams"));
    EXPECT_EQ(fixtures::PLAIN_PROGRAMS, DwordAt(HKEY_LOCAL_MACHINE, entry, "numPrograms"));
    EXPECT_EQ(dllPath, TextAt(HKEY_LOCAL_MACHINE, entry, "FullPath"));
}
