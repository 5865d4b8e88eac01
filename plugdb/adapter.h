// Self-registration of the adapter library, OLVST.DLL.
#pragma once

// Clears the old class keys and host caches, then asks the adapter library
// to register itself. True when it reported success.
bool RegisterAdapter();
void UnregisterAdapter();
