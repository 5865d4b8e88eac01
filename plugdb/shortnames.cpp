#include "plugdb/shortnames.h"
#include <algorithm>
#include <cstring>
#include <vector>
#include "base/handles.h"
#include "base/text.h"

namespace {

struct Listed {
    char name[MAX_PATH];        // as the folder lists it
    char shortName[MAX_PATH];   // the name to use: short, or long when it has no short one
};

bool listing;
char listedFolder[PATH_TEXT_SIZE];
std::vector<Listed> listed;     // sorted by name, without regard to case

bool Before(const Listed& entry, const char* name) { return _stricmp(entry.name, name) < 0; }

void List(const char* folder)
{
    listed.clear();
    CopyText(listedFolder, folder);
    char pattern[PATH_TEXT_SIZE];
    if (!CopyText(pattern, folder) || !AppendText(pattern, "\\*"))
        return;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(pattern, &entry));
    if (!find.isOpen())
        return;
    do {
        Listed file;
        CopyText(file.name, entry.cFileName);
        CopyText(file.shortName, entry.cAlternateFileName[0] ? entry.cAlternateFileName : entry.cFileName);
        listed.push_back(file);
    } while (FindNextFileA(find, &entry));
    std::sort(listed.begin(), listed.end(),
              [](const Listed& a, const Listed& b) { return _stricmp(a.name, b.name) < 0; });
}

bool FromListing(const char* path, char (&name)[MAX_PATH])
{
    const char* slash = strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash - path) >= sizeof listedFolder)
        return false;
    char folder[PATH_TEXT_SIZE];
    memcpy(folder, path, slash - path);
    folder[slash - path] = 0;
    if (strcmp(folder, listedFolder) != 0)
        List(folder);
    auto found = std::lower_bound(listed.begin(), listed.end(), slash + 1, Before);
    if (found == listed.end() || _stricmp(found->name, slash + 1) != 0)
        return false;
    CopyText(name, found->shortName);
    return true;
}

} // namespace

bool DirectoryEntryOf(const char* path, WIN32_FIND_DATAA& file)
{
    FindHandle find(strpbrk(path, "*?") ? INVALID_HANDLE_VALUE : FindFirstFileA(path, &file));
    return find.isOpen();
}

bool ShortNameOf(const char* path, char (&name)[MAX_PATH])
{
    if (listing && FromListing(path, name))
        return true;
    WIN32_FIND_DATAA file;
    if (!DirectoryEntryOf(path, file))
        return false;
    CopyText(name, file.cAlternateFileName[0] ? file.cAlternateFileName : file.cFileName);
    return true;
}

FolderListings::FolderListings()
{
    listing = true;
    listedFolder[0] = 0;
}

FolderListings::~FolderListings()
{
    listing = false;
    std::vector<Listed>().swap(listed);
}
