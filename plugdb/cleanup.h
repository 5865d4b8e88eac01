// Removal of the adapter's class keys and the hosts' plug-in caches.
#pragma once

void RegistryCleanup();
