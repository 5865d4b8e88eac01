#include "support/registry.h"
#include <vector>
#include "plugdb/record.h"

namespace {

void DeletePrefixedClasses(const char* area)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, area, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> doomed;
    char name[300];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (IsAdapterClassName(name))
            doomed.push_back(name);
    }
    for (const std::string& n : doomed)
        RegDeleteTreeA(key, n.c_str());
    RegCloseKey(key);
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
