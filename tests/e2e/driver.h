// Drives a running Tandrel.exe from another process, as a person would: it
// waits for each page or message box by its caption, reads what the page
// shows through the ids the pages define, and presses buttons.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// The captions of the program's pages and message boxes.
const char WELCOME[] = "Welcome!";
const char PATHS[] = "VST Plug-In Search Paths";
const char LOAD_ERROR[] = "VST Plug-in Load Error";
const char LIST[] = "VST Plug-In Configuration";
const char MESSAGE[] = "Ostrel VST Adapter Error";
const char FINISHED[] = "Finished";
const char EXCEPTION[] = "Tandrel - Exception";
const char RESET[] = "Reset VST Adapter Configuration";

class WizardDriver {
public:
    WizardDriver() = default;
    ~WizardDriver();
    WizardDriver(const WizardDriver&) = delete;
    WizardDriver& operator=(const WizardDriver&) = delete;

    // Starts the program; extraEnvironment holds "NAME=value" lines to add.
    bool start(const std::string& program, const std::vector<std::string>& extraEnvironment = {});

    // The next visible, enabled top-level window of the program with this
    // caption; null when the program ended or the time ran out first. A
    // window returned once is not returned again.
    HWND waitFor(const std::string& caption, DWORD timeoutMs = 60000);
    // The same for whichever of the captions comes first; which one it was
    // goes to *which.
    HWND waitForAny(const std::vector<std::string>& captions, std::string* which, DWORD timeoutMs = 60000);
    // Waits for the program to end; its exit code, or -1 on time-out (the
    // program is then killed).
    long waitForExit(DWORD timeoutMs = 60000);

    // Everything the program showed, in order: captions of the windows that
    // waitFor met, and the text of every message box.
    const std::vector<std::string>& seen() const { return seen_; }
    void note(const std::string& line) { seen_.push_back(line); }

    HANDLE process() const { return process_.hProcess; }
    DWORD processId() const { return process_.dwProcessId; }

    // Peak working set of the program so far, in bytes.
    SIZE_T peakWorkingSet() const;

private:
    PROCESS_INFORMATION process_{};
    std::vector<HWND> met_;
    std::vector<std::string> seen_;
};

// Reading and pressing, across processes.
std::string TextOf(HWND window);
std::string ItemTextOf(HWND dialog, int id);
std::string MessageBoxText(HWND box);
void Press(HWND dialog, int id);
void Tick(HWND dialog, int id, bool checked);
int ListBoxLines(HWND dialog, int id);
int ListViewRows(HWND dialog, int id);
// A list-view cell of another process, read through memory allocated in it.
std::string ListViewCell(HANDLE process, HWND dialog, int id, int row, int column);
// Selects a list-view row as a click would (selection mark, selected, focused).
void SelectListViewRow(HANDLE process, HWND dialog, int id, int row);

// The list page's "Other files..." report: opened from the list page, its
// rows read (file, folder and result, joined by tabs), and closed again.
HWND OpenReport(WizardDriver& driver, HWND listPage);
std::vector<std::string> ReportRows(WizardDriver& driver, HWND report);
void CloseReport(HWND report);

// A whole run, every page answered with its default button, and what it showed.
struct LoadError {
    std::string name, step;
};

struct RunSeen {
    bool welcomed = false;
    long exitCode = -9;
    std::vector<LoadError> loadErrors;
    std::vector<std::string> messages;
    std::string finishedText;
    bool finished = false;
    std::vector<std::string> rows;       // names on the list page, top to bottom
    std::vector<std::string> newMarks;   // their "New!" cells
    std::string exceptionOperation, exceptionPoint;
};

using PageHook = std::function<void(WizardDriver&, HWND)>;

struct Hooks {
    PageHook paths;   // on the search-path page, before "&Next >"
    PageHook list;    // on the list page, before "&Next >"
    std::vector<std::string> environment;
};

// Starts the program and drives it to its end; exitTimeoutMs bounds the wait
// for the process to end after its last window.
RunSeen DriveWizard(const std::string& program, const Hooks& hooks = {}, DWORD exitTimeoutMs = 60000);
