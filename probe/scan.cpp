#include "probe/scan.h"
#include <cstring>
#include "resource.h"
#include "wizard/handles.h"
#include "wizard/state.h"
#include "wizard/text.h"

namespace {

// The status line shows at most this much of a folder's path.
const size_t DISPLAY_LENGTH = 128;

// Composes folder + parts into text. False when the result would not fit:
// a cut pattern or path would name another file, so it is not used at all.
bool Compose(char (&text)[PATH_TEXT_SIZE], const char* folder, const char* part, const char* name = "")
{
    return CopyText(text, folder) && AppendText(text, part) && AppendText(text, name);
}

// Nothing is pumped while the scan runs, so the status line is painted at once.
void ShowFolder(const char* folder)
{
    if (!progressWindow)
        return;
    char display[DISPLAY_LENGTH + 1];
    CopyText(display, folder);
    HWND status = GetDlgItem(progressWindow, IDC_PROGRESS_STATUS);
    SendMessageA(status, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(display));
    SendMessageA(status, WM_PAINT, 0, 0);
}

// The file system's own answer, not the enumeration record's.
DWORD FolderAttributes(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? attributes : 0;
}

// A folder the walk is inside of, and where it is on disk once asked.
struct Visit {
    Visit* above;
    const char* path;
    bool identified;
    BY_HANDLE_FILE_INFORMATION where;
};

bool Identify(const char* path, BY_HANDLE_FILE_INFORMATION& where)
{
    KernelHandle folder(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return folder.isOpen() && GetFileInformationByHandle(folder, &where) != 0;
}

// A link (symbolic link or junction) to a folder the walk is already inside
// of would be walked round until the paths grow too long, and twice as often
// for every second such link: it is not followed. Only links can make a
// loop, so only they are looked at.
bool LeadsBack(const char* link, Visit* visit)
{
    BY_HANDLE_FILE_INFORMATION target;
    if (!Identify(link, target))
        return true;
    for (; visit; visit = visit->above) {
        if (!visit->identified)
            visit->identified = Identify(visit->path, visit->where);
        if (visit->identified && visit->where.dwVolumeSerialNumber == target.dwVolumeSerialNumber
            && visit->where.nFileIndexHigh == target.nFileIndexHigh
            && visit->where.nFileIndexLow == target.nFileIndexLow)
            return true;
    }
    return false;
}

void ScanFolder(char* folder, Visit* above);

// Every subfolder first, each scanned whole before the next. One buffer
// serves for the pattern and then for each entry's path, to keep the
// recursion's frames small.
void ScanSubfolders(const char* folder, Visit* visit)
{
    char path[PATH_TEXT_SIZE];
    if (!Compose(path, folder, "\\*"))
        return;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(path, &entry));
    if (!find.isOpen())
        return;
    do {
        if (!Compose(path, folder, "\\", entry.cFileName))
            continue;
        DWORD attributes = FolderAttributes(path);
        if (!attributes)
            continue;
        TraceOperation("Get VST Paths (inner scan)");
        if (strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0
            && !((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && LeadsBack(path, visit)))
            ScanFolder(path, visit);
        TraceOperation("Get VST Paths (dir)");
    } while (FindNextFileA(find, &entry));
}

// Every match of "*.dll" is a candidate; the probe decides what it is.
void CollectDlls(const char* folder)
{
    char path[PATH_TEXT_SIZE];
    if (!Compose(path, folder, "\\*.dll"))
        return;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(path, &entry));
    if (!find.isOpen())
        return;
    do {
        if (Compose(path, folder, "\\", entry.cFileName))
            FoundDllList.append(NewPathText(path));
    } while (FindNextFileA(find, &entry));
}

void ScanFolder(char* folder, Visit* above)
{
    TraceOperation("Get VST Paths");
    TraceFailurePoint("init");
    ShowFolder(folder);

    size_t length = strnlen(folder, PATH_TEXT_SIZE);
    if (length > 0 && folder[length - 1] == '\\')
        folder[length - 1] = 0;

    Visit visit = {above, folder, false, {}};
    ScanSubfolders(folder, &visit);

    TraceOperation("Get VST Paths");
    TraceFailurePoint("scan dlls");
    CollectDlls(folder);
    TraceFailurePoint("end scan");
}

} // namespace

void GetVstPaths(char* folder)
{
    ScanFolder(folder, nullptr);
}
