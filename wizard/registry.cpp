#include "wizard/registry.h"
#include <cstring>

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
    DWORD got = size;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &got) != ERROR_SUCCESS) {
        buffer[0] = 0;
        return false;
    }
    buffer[got < size ? got : size - 1] = 0;
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
