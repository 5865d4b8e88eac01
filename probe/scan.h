// The recursive search of one plug-in folder for DLL files.
#pragma once

// Appends every "*.dll" below folder to FoundDllList, depth first, post-order.
// folder is a path text; one trailing backslash is removed in place. A name
// the ANSI code page cannot write is walked through by its short name.
void GetVstPaths(char* folder);

// Why the scan can neither search nor list a folder or DLL.
enum LostEntry {
    LOST_DLL_NAME,        // its name cannot be written in the code page, and
    LOST_FOLDER_NAME,     // its volume keeps no short name to reach it by
    LOST_SEARCH_FOLDER,   // the same, for a search folder that several folders answer to
    LOST_LONG_FOLDER,     // its path is too long to search, and no short name shortens it
};

// Told of each folder or DLL the scan can neither search nor list. path is
// its path as the code page writes it. The run sets it.
extern void (*tellLostName)(const char* path, LostEntry why);
