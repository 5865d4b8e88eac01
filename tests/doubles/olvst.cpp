// A stand-in for the adapter library OLVST.DLL. Its self-registration
// functions answer as the environment variable OLVST_ANSWER says: "S_OK"
// (also when unset), "S_FALSE", "E_FAIL" or "fault" (an access violation
// inside the call). Each call appends one line to olvst.log beside the
// library: the function's name, the number of "Plug-Ins" entries and the
// number of adapter class keys under HKEY_CLASSES_ROOT\CLSID at that moment.
// The variants built from this source leave out one export or both.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include "plugdb/record.h"

namespace {

HMODULE self;
int* volatile invalidAddress = reinterpret_cast<int*>(16);

// Every subkey, or those whose names counted(name) accepts.
int CountSubkeys(HKEY root, const char* path, bool (*counted)(const char* name) = nullptr)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    int count = 0;
    char name[300];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!counted || counted(name))
            ++count;
    }
    RegCloseKey(key);
    return count;
}

[[maybe_unused]] HRESULT Answer(const char* function)
{
    char path[MAX_PATH];
    GetModuleFileNameA(self, path, sizeof path);
    strcpy(strrchr(path, '\\') + 1, "olvst.log");
    if (FILE* log = fopen(path, "a")) {
        fprintf(log, "%s entries=%d classes=%d\n", function,
                CountSubkeys(HKEY_LOCAL_MACHINE, "Software\\Ostrel Music Software\\Ostrel VST Adapter\\Plug-Ins"),
                CountSubkeys(HKEY_CLASSES_ROOT, "CLSID", IsAdapterClassName));
        fclose(log);
    }
    char answer[16] = "";
    GetEnvironmentVariableA("OLVST_ANSWER", answer, sizeof answer);
    if (strcmp(answer, "fault") == 0)
        *invalidAddress = 1;
    if (strcmp(answer, "S_FALSE") == 0)
        return S_FALSE;
    if (strcmp(answer, "E_FAIL") == 0)
        return E_FAIL;
    return S_OK;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}

#ifdef EXPORT_REGISTER
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() { return Answer("DllRegisterServer"); }
#endif
#ifdef EXPORT_UNREGISTER
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() { return Answer("DllUnregisterServer"); }
#endif
