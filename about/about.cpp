// The About box and the version strings it shows.
#include "about/about.h"
#include <cstring>
#include <vector>
#include "about/help.h"
#include "about/picture.h"
#include "base/state.h"
#include "base/text.h"
#include "base/trap.h"
#include "resource.h"

namespace {

void ShowProduct(HWND box)
{
    char name[256], version[64], comments[1024];
    GetVersionString(moduleInstance, "ProductName", name, sizeof name);
    GetVersionString(moduleInstance, "ProductVersion", version, sizeof version);
    GetVersionString(moduleInstance, "Comments", comments, sizeof comments);

    char product[sizeof name + sizeof version];
    CopyText(product, name);
    AppendText(product, " ");
    AppendText(product, version);
    SetDlgItemTextA(box, IDC_ABOUT_PRODUCT, product);
    SetDlgItemTextA(box, IDC_ABOUT_COMMENTS, comments);
}

// Escape sends IDCANCEL, which is left alone: only OK (or Enter) closes the box.
INT_PTR AboutMessage(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    TraceProc("DlgAboutProc");
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        FitPictures(box);
        ShowProduct(box);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(box, 0);
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgAboutProc = GuardedDialogProc<AboutMessage>;

bool GetVersionString(HMODULE module, const char* key, char* out, size_t size)
{
    if (size)
        out[0] = 0;
    char path[260];
    if (!ModuleFilePath(module, path, sizeof path))
        return false;

    DWORD unused = 0;
    DWORD infoSize = GetFileVersionInfoSizeA(path, &unused);
    if (infoSize == 0)
        return false;
    std::vector<char> info((infoSize + 3) & ~3u);
    if (!GetFileVersionInfoA(path, 0, infoSize, info.data()))
        return false;

    // The string table for U.S. English, Unicode; the resource's translation
    // table is not consulted.
    char query[256];
    CopyText(query, "\\StringFileInfo\\040904b0\\");
    if (!AppendText(query, key))
        return false;
    void* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueA(info.data(), query, &value, &valueLength) || !value)
        return false;

    // Up to the value's terminator, and never past the end of the block.
    const char* text = static_cast<const char*>(value);
    const char* end = info.data() + info.size();
    if (text < info.data() || text >= end)
        return false;
    size_t textLength = strnlen(text, end - text);
    if (size) {
        size_t copied = textLength < size ? textLength : size - 1;
        memcpy(out, text, copied);
        out[copied] = 0;
    }
    return true;
}
