// The help double in place of the HTML Help control, for the tests of the
// help launcher and of the pages that answer F1.
#pragma once
#include <string>
#include <vector>
#include "doubles/help_double.h"

// Every library name the help launcher asked for, in order.
extern std::vector<std::string> helpLoads;

// The double's record of the calls its export 14 got.
const HelpCall* HelpDoubleCalls();
// Makes the help launcher load the help double whatever it asks for.
const HelpCall* UseHelpDouble();
// The double's file, beside the test program.
std::string HelpDoublePath();
