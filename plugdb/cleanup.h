// Removal of the adapter's class keys and the hosts' plug-in caches, and the
// reset of the whole adapter configuration.
#pragma once

void RegistryCleanup();
// Unregistration, then every plug-in entry and class key removed; the
// settings stay.
void ResetConfiguration();
