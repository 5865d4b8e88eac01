// Shared set-up for driving the wizard's pages from their real templates.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "plugdb/record.h"
#include "support/dialogs.h"

// The program's resources are linked into the test program. Starts from
// empty lists and options, as a run does.
void PreparePages();

// A click answered before it returns (for commands that open no window).
void Press(HWND dialog, int id);
// Sends what Escape, Alt+F4 and the close command turn into, then checks
// the window is still up.
void ExpectIgnoresEscapeAndClose(HWND dialog);

std::vector<std::string> ListBoxLines(HWND dialog, int id);
std::string Cell(HWND list, int row, int column);
int ColumnCount(HWND list);

// A plug-in as the run leaves it: written into its entry and kept in
// PluginList, with what setup changes before it is written. Returns the
// record inside the list.
PluginRecord& AddPlugin(const char* name, const char* dosName, const char* path,
                        const std::function<void(PluginRecord&)>& setup = {});

// The folder browser's answers, in order; "" answers Cancel.
void AnswerBrowserWith(std::vector<std::string> folders);
