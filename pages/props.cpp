// The properties dialog: what the wizard knows about one plug-in, read-only.
// It is handed the record the options dialog is editing.
#include <objbase.h>
#include <cstdio>
#include "about/help.h"
#include "base/state.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "plugdb/record.h"
#include "resource.h"

namespace {

void ShowClassId(HWND dialog, int id, const GUID& classId)
{
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromCLSID(classId, &wide)))
        return;
    char text[64];
    snprintf(text, sizeof text, "%S", wide);
    CoTaskMemFree(wide);
    SetDlgItemTextA(dialog, id, text);
}

// The version and process-replacing lines keep their "...": the record
// holds neither.
void ShowProperties(HWND dialog, const PluginRecord& record)
{
    SetDlgItemTextA(dialog, IDC_PROPS_NAME, record.FullName);
    SetDlgItemTextA(dialog, IDC_PROPS_PATH, record.FullPath);
    ShowClassId(dialog, IDC_PROPS_CLSID, record.clsidPlug);
    ShowClassId(dialog, IDC_PROPS_CLSID_PROPS, record.clsidProps);
    SetDlgItemInt(dialog, IDC_PROPS_UNIQUE_ID, record.uniqueId, TRUE);
    SetDlgItemInt(dialog, IDC_PROPS_EVENTS, record.wantEvents, TRUE);
    SetDlgItemInt(dialog, IDC_PROPS_SYNTH, record.isSynth, TRUE);
}

// Escape and close requests arrive as IDCANCEL and are ignored.
INT_PTR PropsMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    TraceProc("DlgPropsProc");
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        if (lParam)
            ShowProperties(dialog, *reinterpret_cast<const PluginRecord*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgPropsProc = GuardedDialogProc<PropsMessage>;
