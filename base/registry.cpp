#include "base/registry.h"
#include <cstring>
#include <vector>

LONG CreateKey(HKEY parent, const char* path, HKEY* key, DWORD* disposition)
{
    return RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key, disposition);
}

bool ReadDwordValue(HKEY key, const char* name, DWORD* target)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS
        || size != sizeof value)
        return false;
    *target = value;
    return true;
}

bool ReadTextValue(HKEY key, const char* name, char* buffer, DWORD size)
{
    if (size == 0)
        return false;
    buffer[0] = 0;
    // One byte to spare: Wine counts the terminator it appends to a text
    // stored without one, so text that exactly fills the field still reads.
    std::vector<char> data(size + 1);
    DWORD got = size + 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &got) != ERROR_SUCCESS)
        return false;
    size_t length = strnlen(data.data(), got);
    if (length > size)
        return false;
    if (length == size)
        --length;
    memcpy(buffer, data.data(), length);
    buffer[length] = 0;
    return true;
}

bool ExpandText(char* text, DWORD size)
{
    std::vector<char> expanded(size);
    DWORD needed = ExpandEnvironmentStringsA(text, expanded.data(), size);
    if (needed == 0 || needed > size)
        return false;
    memcpy(text, expanded.data(), needed);
    return true;
}

LONG WriteDwordValue(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG WriteTextValue(HKEY key, const char* name, const char* text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text) + 1));
}
