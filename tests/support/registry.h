// Registry set-up for tests: every test starts from a registry without the
// keys the program owns or reads.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

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
void DeleteValue(HKEY root, const std::string& path, const char* name);
int SubkeyCount(HKEY root, const std::string& path);
// The names of the subkeys of root\path, in enumeration order.
std::vector<std::string> Subkeys(HKEY root, const std::string& path);
// A key and everything below it as stored, one line a key and one a value
// (its path, name, type and data bytes in hex, as the wide calls give them,
// which is the stored form), sorted: two trees are equal byte for byte when
// their lines are.
std::vector<std::string> StoredTree(HKEY root, const std::string& path);
// The Plug-Ins entries and the adapter's class keys under CLSID, as stored.
std::vector<std::string> StoredEntriesAndClasses();
void MakeKey(HKEY root, const std::string& path);

// The key under "Plug-Ins" that a run keeps for the DLL: its short name
// without the extension, found here through the whole path's short form; a
// file that is not there goes by its long name.
std::string EntryKeyOf(const std::string& dllPath);

// A key that cannot be deleted: it has a subkey, and nobody may list its
// subkeys. Removed again, subkey first, when it goes.
class UndeletableKey {
public:
    UndeletableKey(HKEY root, const std::string& path);
    ~UndeletableKey();
    UndeletableKey(const UndeletableKey&) = delete;
    UndeletableKey& operator=(const UndeletableKey&) = delete;

private:
    HKEY root_;
    std::string path_;
};
