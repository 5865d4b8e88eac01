// A file's own short (8.3) name, as its directory entry carries it.
#pragma once
#include <windows.h>

// The directory entry of the file at path. False when there is none, or when
// path has wildcards (it would match other files).
bool DirectoryEntryOf(const char* path, WIN32_FIND_DATAA& file);

// The short name of the file at path, or its long name when it has none
// (it is already a valid 8.3 name, or its volume keeps no short names).
// False when there is no such file.
bool ShortNameOf(const char* path, char (&name)[MAX_PATH]);

// While one lives, ShortNameOf answers from a listing of the file's folder,
// read once, the first time a file of that folder is asked for, instead of
// one look-up a file: the analysis asks for every DLL of a folder in turn,
// right after the scan has listed them. A file the listing lacks is looked
// up alone.
class FolderListings {
public:
    FolderListings();
    ~FolderListings();
    FolderListings(const FolderListings&) = delete;
    FolderListings& operator=(const FolderListings&) = delete;
};
