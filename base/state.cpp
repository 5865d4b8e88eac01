#include "base/state.h"
#include "base/text.h"

FailureTraceTexts FailureTrace;

void TraceOperation(const char* text) { CopyText(FailureTrace.traceOperation, text); }
void TraceFailurePoint(const char* text) { CopyText(FailureTrace.traceFailurePoint, text); }
void TraceProbeStep(const char* text) { CopyText(FailureTrace.traceProbeStep, text); }

void TraceProc(const char* procName)
{
    TraceOperation(procName);
    TraceFailurePoint("Proc");
}

char* NewPathText(const char* text)
{
    char* buffer = new char[PATH_TEXT_SIZE]();
    CopyText(buffer, PATH_TEXT_SIZE, text);
    return buffer;
}

void FreePathText(char* text) { delete[] text; }

WizardList<char*> SearchPathList;
WizardList<char*> FoundDllList;

WizardOptionFlags WizardOptions;

HINSTANCE moduleInstance;
HKEY pathsKey;
HWND progressWindow;
DWORD editSelectedPlugin;
HWND pluginListView;
int rememberedRow = -1;

bool ModuleFilePath(HMODULE module, char* path, DWORD size, const char* name)
{
    DWORD length = GetModuleFileNameA(module, path, size);
    if (length == 0 || length >= size)
        return false;
    if (!name)
        return true;
    char* slash = strrchr(path, '\\');
    if (!slash)
        return false;
    slash[1] = 0;
    return AppendText(path, size, name);
}

INT_PTR ShowModalDialog(int id, DLGPROC proc, LPARAM parameter)
{
    return DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(id), nullptr, proc, parameter);
}
