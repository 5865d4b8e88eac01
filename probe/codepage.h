// Names outside the ANSI code page. The ANSI calls write each character the
// code page lacks as "?", or as a look-alike ("ō" as "o", a full-width quote
// as '"'), and a path built from such a name opens nothing. The entry's short
// (8.3) name, which the same calls give beside it, opens it instead, unless
// its volume keeps no short names.
#pragma once
#include "base/text.h"

// A name of a directory entry that the ANSI calls could not write whole: it
// holds a character no file name can, as "?" and some look-alikes are.
bool NameLost(const char* name);

enum FolderReach {
    FOLDER_REACHED,
    FOLDER_MISSING,         // no folder gives that name
    FOLDER_NO_SHORT_NAME,   // the one that does has no short name
    FOLDER_SEVERAL,         // several give it: which one is meant cannot be told
};

// The search folder itself in a form the ANSI calls open, where a name on
// its way does not open as it is ("Paths" keeps what the folder browser
// gave, "?" and all): that name is looked up among its folder's entries,
// which the calls write the same way, and its short name taken instead.
FolderReach ReachFolder(const char* folder, char (&reached)[PATH_TEXT_SIZE]);
