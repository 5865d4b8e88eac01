// The program's version, its only home: the version resource is built from
// these numbers, and the build reads them for the manifest, the package
// names and the installer.
#pragma once

#define TANDREL_VERSION_MAJOR   4
#define TANDREL_VERSION_MINOR   3
#define TANDREL_VERSION_PATCH   1
#define TANDREL_VERSION_BUILD   280
