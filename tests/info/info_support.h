// What the information-page tests share: the help double in place of the
// HTML Help control, and real key presses.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "help_double.h"

// Every library name the help launcher asked for, in order.
extern std::vector<std::string> helpLoads;

// The double's record of the calls its export 14 got.
const HelpCall* HelpDoubleCalls();
// Makes the help launcher load the help double whatever it asks for.
const HelpCall* UseHelpDouble();

// Presses and releases a key as the keyboard does, with window in the
// foreground. The key is seen by whichever message loop runs next.
void PressKey(HWND window, BYTE key);

// Runs the actions one by one, 300 ms apart, from the thread's message loop
// (during a test, the modal loop of the dialog under test): what one action
// pressed has reached the dialog before the next one looks.
void OneByOne(std::vector<std::function<void()>> actions);

// Whether a static control's text fits inside it, word-wrapped in its font.
bool TextFits(HWND control);

// The double's file, beside the test program.
std::string HelpDoublePath();
