// A registry key that resists deletion, for the sweep, clean-up and adapter tests.
#pragma once
#include <windows.h>
#include <sddl.h>
#include <string>
#include "support/registry.h"

// A key that cannot be deleted: it has a subkey, and nobody may list its
// subkeys. Removed again, subkey first, when the test ends.
class UndeletableKey {
public:
    UndeletableKey(HKEY root, const std::string& path) : root_(root), path_(path)
    {
        MakeKey(root, path + "\\inner");
        HKEY key;
        PSECURITY_DESCRIPTOR denyListing;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x8;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                     &denyListing, nullptr)) {
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, denyListing);
                LocalFree(denyListing);
            }
            RegCloseKey(key);
        }
    }
    ~UndeletableKey()
    {
        RegDeleteKeyA(root_, (path_ + "\\inner").c_str());
        RegDeleteKeyA(root_, path_.c_str());
    }
    UndeletableKey(const UndeletableKey&) = delete;
    UndeletableKey& operator=(const UndeletableKey&) = delete;

private:
    HKEY root_;
    std::string path_;
};
