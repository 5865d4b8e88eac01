// The recursive search of one plug-in folder for DLL files.
#pragma once

// Appends every "*.dll" below folder to FoundDllList, depth first, post-order.
// folder is a path text; one trailing backslash is removed in place.
void GetVstPaths(char* folder);
