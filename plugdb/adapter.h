// Self-registration of the adapter library, OLVST.DLL, and the reset of the
// whole adapter configuration.
#pragma once

// The adapter library's file, in two spellings that are both seen outside:
// the class keys name the file as it was registered; the registration loads
// it by its name alone, as the messages spell it, so the usual search finds
// the copy beside the program first. Once loaded it stays until the process
// ends.
const char ADAPTER_LIBRARY_FILE[] = "OlVst.dll";
const char ADAPTER_LIBRARY_NAME[] = "OLVST.DLL";

// Clears the old class keys and host caches, then asks the adapter library
// to register itself. True when it reported success.
bool RegisterAdapter();
void UnregisterAdapter();
// Unregistration, then every plug-in entry and class key removed; the
// settings stay.
void ResetConfiguration();
