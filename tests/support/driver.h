// Drives a running Tandrel.exe from another process, as a person would: it
// waits for each page or message box by its caption, reads what the page
// shows through the ids the pages define, and presses buttons. DriveWizard
// answers a whole run: the one place that knows every page and message box
// that comes by itself, and what a person presses there unless a test says
// otherwise.
#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "support/dialogs.h"

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

    // Peak working set of the program so far, in bytes.
    SIZE_T peakWorkingSet() const;
    // Whether the program has a DLL of this file name loaded now; nothing
    // is asked of its threads, which may be busy.
    bool hasLoaded(const char* fileName) const;

private:
    PROCESS_INFORMATION process_{};
    std::vector<HWND> met_;
};

// The list page's "Other files..." report, opened from the list page and
// closed again once it has gone.
HWND OpenReport(WizardDriver& driver, HWND listPage);
void CloseReport(HWND report);

// What a whole run showed.
struct RunSeen {
    std::vector<std::string> windows;   // the caption of each page and message box, in order
    long exitCode = -9;
    bool welcomed = false;
    std::vector<PluginStep> loadErrors;
    std::vector<PluginStep> hangs;       // the not-responding windows
    std::vector<std::string> messages;   // the message boxes' texts
    std::vector<std::string> rows;       // names on the list page, top to bottom
    std::vector<std::string> newMarks;   // their "New!" cells
    bool finished = false;
    std::string finishedText;
    double secondsToFinished = 0;        // from the program's start
    double secondsReading = 0;           // of that, the driver's own reading of the pages, which
                                         // for the list page is a message to the program a cell
    SIZE_T peakWorkingSet = 0;           // at the finished page
    std::string exceptionOperation, exceptionPoint;
};

// A test's own answer to a page or message box, after the run has read what
// it shows: it may read more, press buttons and wait for the windows they
// open. It returns the button that ends the window, or NO_BUTTON to leave it
// up (a not-responding window goes by itself once the plug-in returns).
using PageAnswer = std::function<int(WizardDriver&, HWND)>;
const int NO_BUTTON = 0;

struct RunPlan {
    std::map<std::string, PageAnswer> answers;   // by caption
    std::vector<std::string> environment;        // "NAME=value" lines for the program
    DWORD pageTimeoutMs = 60000;                 // the longest wait for the next window
    DWORD exitTimeoutMs = 60000;                 // and for the end after the last one

    RunPlan& on(const std::string& caption, PageAnswer answer)
    {
        answers[caption] = std::move(answer);
        return *this;
    }
    RunPlan& with(const std::string& variable)
    {
        environment.push_back(variable);
        return *this;
    }
};

// Starts the program and answers every window it shows until it ends.
RunSeen DriveWizard(const std::string& program, const RunPlan& plan = {});

// The same default answers for a run inside the test program's own process:
// every page and message box that the script's next step does not wait for.
// The captions of the windows answered go to *answered, if given.
void AnswerEveryPage(DialogScript& script, std::vector<std::string>* answered = nullptr);
