#include "probe/codepage.h"
#include <windows.h>
#include <cstring>
#include "base/handles.h"

namespace {

// The short name of the one folder in parent (which ends in a backslash)
// that the calls write as name, appended to parent.
FolderReach TakeShortName(char (&parent)[PATH_TEXT_SIZE], const char* name)
{
    char pattern[PATH_TEXT_SIZE];
    if (!CopyText(pattern, parent) || !AppendText(pattern, "*"))
        return FOLDER_MISSING;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(pattern, &entry));
    if (!find.isOpen())
        return FOLDER_MISSING;
    int matches = 0;
    char shortName[sizeof entry.cAlternateFileName] = "";
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && _stricmp(entry.cFileName, name) == 0) {
            ++matches;
            CopyText(shortName, entry.cAlternateFileName);
        }
    } while (FindNextFileA(find, &entry));
    if (matches == 0)
        return FOLDER_MISSING;
    if (matches > 1)
        return FOLDER_SEVERAL;
    if (!shortName[0])
        return FOLDER_NO_SHORT_NAME;
    return AppendText(parent, shortName) ? FOLDER_REACHED : FOLDER_MISSING;
}

} // namespace

bool NameLost(const char* name)
{
    return strpbrk(name, "?*\"<>|:/\\") != nullptr;
}

FolderReach ReachFolder(const char* folder, char (&reached)[PATH_TEXT_SIZE])
{
    reached[0] = 0;
    for (const char* part = folder;;) {
        const char* end = strchr(part, '\\');
        size_t length = end ? static_cast<size_t>(end - part) : strlen(part);
        char name[MAX_PATH];
        if (length >= sizeof name)
            return FOLDER_MISSING;
        memcpy(name, part, length);
        name[length] = 0;
        // The drive, and every name that opens as it is, stay as they are.
        size_t at = strlen(reached);
        if (!AppendText(reached, name))
            return FOLDER_MISSING;
        if (at > 0 && name[0] && GetFileAttributesA(reached) == INVALID_FILE_ATTRIBUTES) {
            reached[at] = 0;
            FolderReach found = TakeShortName(reached, name);
            if (found != FOLDER_REACHED)
                return found;
        }
        if (!end)
            return FOLDER_REACHED;
        if (!AppendText(reached, "\\"))
            return FOLDER_MISSING;
        part = end + 1;
    }
}
