// Registry set-up for tests: every test starts from a registry without the
// keys the program owns or reads.
#pragma once
#include <windows.h>
#include <string>

// Deletes the product key, "Software\Vst", "Software\Sonic Foundry" and every
// adapter class key ("{141AC902-"/"{141AC903-") under CLSID, TilvSoftSynths
// and Filter.
void ClearProgramKeys();

bool KeyExists(HKEY root, const std::string& path);
// The value as a number; -1 when it is missing or not 4 bytes.
long long DwordAt(HKEY root, const std::string& path, const char* name);
// The value as text; "<missing>" when it cannot be read.
std::string TextAt(HKEY root, const std::string& path, const char* name);
void SetDword(HKEY root, const std::string& path, const char* name, DWORD value);
void SetText(HKEY root, const std::string& path, const char* name, const std::string& text);
void SetRaw(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size);
int SubkeyCount(HKEY root, const std::string& path);
