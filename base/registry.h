// Registry handles and value access shared by the settings, the record
// writer, the sweeps and the pages.
#pragma once
#include <windows.h>

// Owns an open registry key and closes it when it goes.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : key_(key) {}
    ~RegKey() { close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : key_(other.release()) {}
    RegKey& operator=(RegKey&& other) noexcept
    {
        HKEY key = other.release();
        close();
        key_ = key;
        return *this;
    }

    // For the calls that hand back a new key through a pointer.
    HKEY* receive() { close(); return &key_; }
    operator HKEY() const { return key_; }
    bool isOpen() const { return key_ != nullptr; }
    void close()
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }
    // Hands the key out, to be closed by whoever takes it.
    HKEY release()
    {
        HKEY key = key_;
        key_ = nullptr;
        return key;
    }

private:
    HKEY key_ = nullptr;
};

// Creates or opens a key: non-volatile, no class, all access.
LONG CreateKey(HKEY parent, const char* path, HKEY* key, DWORD* disposition = nullptr);

// Reads a value of exactly 4 bytes, whatever its stored type. A missing value,
// or one of any other size, leaves the target as it was.
bool ReadDwordValue(HKEY key, const char* name, DWORD* target);

// Reads a text value into buffer[size], whatever its stored type, and always
// terminates it inside the buffer: a text that exactly fills the buffer loses
// its last character. A missing value, or a longer one, leaves the buffer
// empty and gives false.
bool ReadTextValue(HKEY key, const char* name, char* buffer, DWORD size);

// Expands the environment variables of a REG_EXPAND_SZ text in its own
// buffer, text[size]. False when the expansion fails or does not fit; the
// text is then as it was.
bool ExpandText(char* text, DWORD size);

LONG WriteDwordValue(HKEY key, const char* name, DWORD value);
LONG WriteTextValue(HKEY key, const char* name, const char* text);   // REG_SZ, length + 1 bytes
