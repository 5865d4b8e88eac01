// Files, folders and processes for tests.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The folder of the running test program (the build's bin folder, where the
// program, the fixture plug-ins and the doubles are built).
std::string ExeDir();
// The folder <build>\testdata\<name>; when tests run side by side, the
// same below the folder of the test's slot (TANDREL_TEST_DATA, set by
// scripts/wine-env.sh), so that two tests never share a folder.
std::string TestDataDir(const std::string& name);
// A new, empty folder TestDataDir(name) (what was there is removed).
std::string FreshDir(const std::string& name);
void RemoveTree(const std::string& path);
bool CopyInto(const std::string& from, const std::string& to);
void WriteBytes(const std::string& path, const std::string& bytes);
// The file's text, read in text mode; "" when it cannot be read.
std::string ReadText(const std::string& path);
// Copies the built fixture plug-in (its file name, with ".dll") to path,
// making the folders on the way.
bool PlantFixture(const std::string& fixture, const std::string& path);
// The same to folder\below, where below may hold names the code page cannot
// write: made with the wide calls, as an installer would.
bool PlantFixture(const std::string& fixture, const std::string& folder, const std::wstring& below);
// Copies the program and its help file into a new folder, so that it runs
// there as it does in the adapter's folder; false when the program is not
// there after.
bool InstallWizard(const std::string& folder);
// Removes the import name tables of the library at path, as Borland's and
// Delphi's linkers leave them out: its imports are then known only by the
// addresses the loader puts in their slots.
bool DropImportNameTables(const std::string& path);
bool FileExists(const std::string& path);
// Every DLL below folder, found by a bare recursive FindFirstFileA walk:
// the floor the benchmarks hold the scan against.
std::vector<std::string> BareWalk(const std::string& folder);
// Starts a command line and waits for it. The exit code, or -1 when it did
// not end within the timeout (it is then killed).
long RunProcess(const std::string& commandLine, DWORD timeoutMs = 60000);
