// Self-registration of the adapter library, OLVST.DLL, and the reset of the
// whole adapter configuration.
#pragma once

// Clears the old class keys and host caches, then asks the adapter library
// to register itself. True when it reported success.
bool RegisterAdapter();
void UnregisterAdapter();
// Unregistration, then every plug-in entry and class key removed; the
// settings stay.
void ResetConfiguration();
