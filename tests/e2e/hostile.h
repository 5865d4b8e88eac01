// What both hostile-plug-in programs check of the good plug-in planted beside
// the hostile ones.
#pragma once
#include <string>

// The good plug-in's entry holds what its probe learnt, and it is not bad.
void ExpectGoodPluginKept(const std::string& dllPath);
