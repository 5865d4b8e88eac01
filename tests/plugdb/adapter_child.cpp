// Runs one adapter routine in a process of its own, so that the OLVST.DLL
// placed beside this program (or its absence) is what the routine meets:
//   adapter_child register|unregister|reset
// The routine runs inside a trap region as the run's own. Message boxes are
// answered with OK. What happened goes to report.txt beside the program, one
// "name=value" line each; "box=" lines hold caption, text and the flags
// only-OK, icon and owner, separated by tabs.
#include <windows.h>
#include <objbase.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "base/state.h"
#include "base/trap.h"
#include "plugdb/adapter.h"
#include "support/dialogs.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string routine = argv[1];
    CoInitialize(nullptr);

    DialogScript script;
    script.answerMessageBox();
    int registered = -1;
    bool finished = Trapped([&] {
        if (routine == "register")
            registered = RegisterAdapter() ? 1 : 0;
        else if (routine == "unregister")
            UnregisterAdapter();
        else
            ResetConfiguration();
    }).finished;

    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    strcpy(strrchr(path, '\\') + 1, "report.txt");
    FILE* report = fopen(path, "w");
    if (!report)
        return 3;
    fprintf(report, "finished=%d\nregistered=%d\noperation=%s\npoint=%s\nloaded=%d\n", finished, registered,
            FailureTrace.traceOperation, FailureTrace.traceFailurePoint, GetModuleHandleA("OLVST.DLL") != nullptr);
    for (const MessageBoxSeen& box : script.messageBoxes())
        fprintf(report, "box=%s\t%s\t%d%d%d\n", box.caption.c_str(), box.text.c_str(), box.onlyOk, box.hasIcon,
                box.hasOwner);
    fclose(report);
    return 0;
}
