#include "probe/scan.h"
#include <cstring>
#include "base/handles.h"
#include "base/state.h"
#include "base/text.h"
#include "probe/codepage.h"
#include "resource.h"

void (*tellLostName)(const char* path, LostEntry why);

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

// The longest pattern a folder is searched with.
const char DLL_PATTERN[] = "\\*.dll";

// The file system's own answer, not the enumeration record's.
DWORD FolderAttributes(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? attributes : 0;
}

// A path a few characters short of the ANSI calls' limit still opens, but
// the patterns made from it do not.
bool TooLongToSearch(const char* path)
{
    return strlen(path) + strlen(DLL_PATTERN) >= MAX_PATH;
}

DWORD SearchableFolder(const char* path)
{
    return TooLongToSearch(path) ? 0 : FolderAttributes(path);
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

// An entry the scan can neither search nor list, to whoever listens.
void TellLost(char (&path)[PATH_TEXT_SIZE], const char* folder, const char* name, LostEntry why)
{
    if (tellLostName && Compose(path, folder, "\\", name))
        tellLostName(path, why);
}

void ScanFolder(char* folder, Visit* above);

bool IsDots(const char* name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

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
        DWORD attributes = Compose(path, folder, "\\", entry.cFileName) ? SearchableFolder(path) : 0;
        // A name lost to the code page, or a path too long for the system:
        // the short name may still reach the folder.
        if (!attributes && entry.cAlternateFileName[0] && Compose(path, folder, "\\", entry.cAlternateFileName))
            attributes = SearchableFolder(path);
        if (!attributes) {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDots(entry.cFileName))
                continue;
            if (NameLost(entry.cFileName))
                TellLost(path, folder, entry.cFileName, LOST_FOLDER_NAME);
            else if (Compose(path, folder, "\\", entry.cFileName) && TooLongToSearch(path))
                TellLost(path, folder, entry.cFileName, LOST_LONG_FOLDER);
            continue;
        }
        TraceOperation("Get VST Paths (inner scan)");
        if (!IsDots(entry.cFileName) && !((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && LeadsBack(path, visit)))
            ScanFolder(path, visit);
        TraceOperation("Get VST Paths (dir)");
    } while (FindNextFileA(find, &entry));
}

// The long name where the calls wrote it whole and the path is one the
// system loads. Only the file system tells a name lost in look-alike letters
// ("o" for "ō"), and only a name with a short one beside it can be.
bool LongNameServes(const char* path, const WIN32_FIND_DATAA& entry)
{
    return !NameLost(entry.cFileName) && strlen(path) < MAX_PATH
           && (!entry.cAlternateFileName[0] || GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES);
}

// Every match of "*.dll" is a candidate; the probe decides what it is. The
// short name stands in where the long one does not serve.
void CollectDlls(const char* folder)
{
    char path[PATH_TEXT_SIZE];
    if (!Compose(path, folder, DLL_PATTERN))
        return;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(path, &entry));
    if (!find.isOpen())
        return;
    do {
        bool lost = NameLost(entry.cFileName);
        bool composed = Compose(path, folder, "\\", entry.cFileName);
        if ((!composed || !LongNameServes(path, entry)) && entry.cAlternateFileName[0]
            && Compose(path, folder, "\\", entry.cAlternateFileName)) {
            FoundDllList.append(NewPathText(path));
        } else if (lost) {
            TellLost(path, folder, entry.cFileName, LOST_DLL_NAME);
        } else if (composed) {
            FoundDllList.append(NewPathText(path));
        }
    } while (FindNextFileA(find, &entry));
}

// Shows the folder and takes one trailing backslash off it.
void EnterFolder(char* folder)
{
    TraceOperation("Get VST Paths");
    TraceFailurePoint("init");
    ShowFolder(folder);

    size_t length = strnlen(folder, PATH_TEXT_SIZE);
    if (length > 0 && folder[length - 1] == '\\')
        folder[length - 1] = 0;
}

void WalkFolder(const char* folder, Visit* above)
{
    Visit visit = {above, folder, false, {}};
    ScanSubfolders(folder, &visit);

    TraceOperation("Get VST Paths");
    TraceFailurePoint("scan dlls");
    CollectDlls(folder);
    TraceFailurePoint("end scan");
}

void ScanFolder(char* folder, Visit* above)
{
    EnterFolder(folder);
    WalkFolder(folder, above);
}

} // namespace

void GetVstPaths(char* folder)
{
    EnterFolder(folder);
    // A search folder that does not open as it is may have a name on its
    // way that the code page lost.
    if (strnlen(folder, PATH_TEXT_SIZE) < PATH_TEXT_SIZE && !FolderAttributes(folder)) {
        char reached[PATH_TEXT_SIZE];
        FolderReach reach = ReachFolder(folder, reached);
        if (reach == FOLDER_REACHED)
            return WalkFolder(reached, nullptr);
        if (tellLostName && reach != FOLDER_MISSING)
            tellLostName(folder, reach == FOLDER_SEVERAL ? LOST_SEARCH_FOLDER : LOST_FOLDER_NAME);
    }
    WalkFolder(folder, nullptr);
}
