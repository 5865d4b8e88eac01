#include "plugdb/adapter.h"
#include <objbase.h>
#include "base/state.h"
#include "plugdb/cleanup.h"
#include "plugdb/sweep.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* SelfRegistration)();

void ShowError(const char* text)
{
    MessageBoxA(nullptr, text, ERROR_CAPTION, MB_OK);
}

} // namespace

bool RegisterAdapter()
{
    TraceOperation("Register VST-DX DLL");
    TraceFailurePoint("init");
    TraceFailurePoint("Registry cleanup");
    RegistryCleanup();

    TraceFailurePoint("LoadLib");
    HMODULE library = LoadLibraryA(ADAPTER_LIBRARY_NAME);
    if (!library) {
        ShowError("Couldn't find OLVST.DLL or file corrupt. LoadLibrary failed during registration.");
        return false;
    }
    TraceFailurePoint("get routine");
    auto registerServer = reinterpret_cast<SelfRegistration>(GetProcAddress(library, "DllRegisterServer"));
    bool registered = false;
    if (!registerServer) {
        ShowError("Couldn't get DLL entry point during registration.");
    } else {
        TraceFailurePoint("calling reg routine");
        registered = registerServer() == S_OK;
        if (!registered)
            ShowError("An error occured while registering VST plug-ins.");
    }
    TraceFailurePoint("cleanup");
    return registered;
}

void UnregisterAdapter()
{
    TraceOperation("Unregister VST-DX DLL");
    TraceFailurePoint("init");
    TraceFailurePoint("loadlib");
    HMODULE library = LoadLibraryA(ADAPTER_LIBRARY_NAME);
    if (!library) {
        ShowError("Couldn't find OLVST.DLL or file corrupt. LoadLibrary failed during unregistration.");
        return;
    }
    TraceFailurePoint("get proc");
    auto unregisterServer = reinterpret_cast<SelfRegistration>(GetProcAddress(library, "DllUnregisterServer"));
    if (!unregisterServer) {
        ShowError("Couldn't find OLVST.DLL or file is corrupt. GetProcAddress failed during unregistration.");
    } else {
        TraceFailurePoint("Calling unreg routine");
        if (unregisterServer() != S_OK)
            ShowError("An error occured while unregistering VST plug-ins.");
    }
    TraceFailurePoint("Cleaning up");
    CoFreeUnusedLibraries();
}

void ResetConfiguration()
{
    UnregisterAdapter();
    ClearTouchFlags();
    DeleteUntouched();
    RegistryCleanup();
}
