// Why a DLL the system would not load cannot be loaded, read from its file:
// a folder, not a program image, an image for another processor, or a
// library it imports that is nowhere to be found.
#pragma once
#include <windows.h>
#include <cstddef>

enum ImageFinding : unsigned char {
    IMAGE_NOTHING_FOUND,    // the file says nothing more than the system did
    IMAGE_PATH_TOO_LONG,    // detail: the path's length
    IMAGE_FOLDER,           // a folder named like a DLL
    IMAGE_NOT_A_LIBRARY,    // no program image at all (text, empty, truncated...)
    IMAGE_64_BIT,           // detail: the machine field (x64, ARM64, Itanium)
    IMAGE_OTHER_MACHINE,    // detail: the machine field
    IMAGE_MISSING_LIBRARY,  // the library's name goes to missing
};

// Looks at the DLL at path. A library it imports counts as found when it is
// loaded already, lies on the process's search path or beside the DLL.
ImageFinding InspectImage(const char* path, DWORD* detail, char* missing, size_t missingSize);
