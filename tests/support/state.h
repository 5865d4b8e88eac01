// The program's process-wide state, set up and taken apart between tests.
#pragma once
#include <functional>
#include <string>
#include <vector>
#include "base/state.h"
#include "plugdb/record.h"

// What a run starts from: this program as the module, the options and the
// defaults record all zero, no list holding anything, nothing remembered by
// the pages, and the common controls and COM ready.
void StartFreshRun();

// A plug-in as the run leaves it: written into its entry and kept in
// PluginList, with what setup changes before it is written. Returns the
// record inside the list.
PluginRecord& AddPlugin(const char* name, const char* dosName, const char* path,
                        const std::function<void(PluginRecord&)>& setup = {});

// The DLLs the scan has listed so far, taken out of FoundDllList.
std::vector<std::string> TakeFound();
// One folder scanned as a search folder is (in a 1024-byte text): the DLLs
// it lists.
std::vector<std::string> ScanFolder(const std::string& folder);
