#include "support/registry.h"
#include <sddl.h>
#include <algorithm>
#include <cstdio>
#include <vector>
#include "base/state.h"
#include "plugdb/record.h"

namespace {

void DeletePrefixedClasses(const char* area)
{
    for (const std::string& name : Subkeys(HKEY_CLASSES_ROOT, area))
        if (IsAdapterClassName(name.c_str()))
            RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string(area) + "\\" + name).c_str());
}

} // namespace

void ClearProgramKeys()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Ostrel Music Software");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Ostrel Music Software");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Vst");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vst");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Sonic Foundry");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Sonic Foundry");
    DeletePrefixedClasses("CLSID");
    DeletePrefixedClasses("TilvSoftSynths");
    DeletePrefixedClasses("Filter");
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

long long DwordAt(HKEY root, const std::string& path, const char* name)
{
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_ANY, nullptr, &value, &size) != ERROR_SUCCESS
        || size != 4)
        return -1;
    return value;
}

std::string TextAt(HKEY root, const std::string& path, const char* name)
{
    char text[4096];
    DWORD size = sizeof text;
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return "<missing>";
    return text;
}

void SetRaw(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void DeleteValue(HKEY root, const std::string& path, const char* name)
{
    RegDeleteKeyValueA(root, path.c_str(), name);
}

void SetDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    SetRaw(root, path, name, REG_DWORD, &value, sizeof value);
}

void SetText(HKEY root, const std::string& path, const char* name, const std::string& text)
{
    SetRaw(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

int SubkeyCount(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(count);
}

std::vector<std::string> Subkeys(HKEY root, const std::string& path)
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

void MakeKey(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

std::string EntryKeyOf(const std::string& dllPath)
{
    char shortPath[MAX_PATH];
    if (!GetShortPathNameA(dllPath.c_str(), shortPath, sizeof shortPath))
        lstrcpynA(shortPath, dllPath.c_str(), sizeof shortPath);
    std::string base = strrchr(shortPath, '\\') + 1;
    return std::string(PLUGINS_KEY "\\") + base.substr(0, base.rfind('.'));
}

UndeletableKey::UndeletableKey(HKEY root, const std::string& path) : root_(root), path_(path)
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

UndeletableKey::~UndeletableKey()
{
    RegDeleteKeyA(root_, (path_ + "\\inner").c_str());
    RegDeleteKeyA(root_, path_.c_str());
}

namespace {

void AddStoredTree(HKEY root, const std::string& path, std::vector<std::string>& lines)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    lines.push_back(path);
    for (DWORD index = 0;; ++index) {
        WCHAR name[300];
        DWORD nameSize = 300, type = 0;
        std::vector<BYTE> data(65536);
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, index, name, &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        char narrow[600] = "";
        WideCharToMultiByte(CP_UTF8, 0, name, -1, narrow, sizeof narrow, nullptr, nullptr);
        std::string line = path + " | " + narrow + " | type " + std::to_string(type) + " |";
        char hex[4];
        for (DWORD i = 0; i < size; ++i) {
            snprintf(hex, sizeof hex, " %02X", data[i]);
            line += hex;
        }
        lines.push_back(line);
    }
    RegCloseKey(key);
    for (const std::string& sub : Subkeys(root, path))
        AddStoredTree(root, path + "\\" + sub, lines);
}

} // namespace

std::vector<std::string> StoredTree(HKEY root, const std::string& path)
{
    std::vector<std::string> lines;
    AddStoredTree(root, path, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> StoredEntriesAndClasses()
{
    std::vector<std::string> lines = StoredTree(HKEY_LOCAL_MACHINE, PLUGINS_KEY);
    for (const std::string& name : Subkeys(HKEY_CLASSES_ROOT, "CLSID"))
        if (IsAdapterClassName(name.c_str()))
            for (const std::string& line : StoredTree(HKEY_CLASSES_ROOT, "CLSID\\" + name))
                lines.push_back("HKCR\\" + line);
    std::sort(lines.begin(), lines.end());
    return lines;
}
