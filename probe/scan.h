// The recursive search of one plug-in folder for DLL files.
#pragma once

// Appends every "*.dll" below folder to FoundDllList, depth first, post-order.
// folder is a path text; one trailing backslash is removed in place. A name
// the ANSI code page cannot write is walked through by its short name.
void GetVstPaths(char* folder);

// Told of each folder or DLL that the scan can neither search nor list: its
// name cannot be written in the code page and no short name reaches it (its
// volume keeps none, or, for a search folder, several folders give its name).
// path is that name in the code page's writing. The run sets it.
extern void (*tellLostName)(const char* path, bool folder, bool several);
