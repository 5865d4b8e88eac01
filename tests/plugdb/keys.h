// Registry set-up shared by the sweep, clean-up and adapter tests.
#pragma once
#include <windows.h>
#include <sddl.h>
#include <string>
#include <vector>
#include "support/registry.h"

// The names of the subkeys of root\path, in enumeration order.
inline std::vector<std::string> Subkeys(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[300];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

inline void MakeKey(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

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
