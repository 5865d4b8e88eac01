// Reading and pressing the program's dialogs and message boxes, in the test
// program's own process or in the program's, and showing the program's
// dialogs inside the test program with a script that answers them.
#pragma once
#include <windows.h>
#include <functional>
#include <ostream>
#include <string>
#include <vector>
#include "support/captions.h"

// ---- Any window, in this process or another ------------------------------
// Nothing here waits more than a few seconds for a window that hangs.

std::string WindowText(HWND window);
// A window's title as the system keeps it. For a window of another process
// nothing is sent to it, so a program whose thread is busy (the wizard
// analysing plug-ins) is neither held up nor holds the caller up.
std::string Caption(HWND window);
// A control's text; "<no control N>" when the dialog has none with that id.
std::string ItemText(HWND dialog, int id);

struct MessageBoxSeen {
    std::string caption;
    std::string text;
    bool onlyOk = false;    // one button, and it is OK
    bool hasIcon = false;
    bool hasOwner = false;
};
MessageBoxSeen ReadMessageBox(HWND box);

// What the load-error page and the not-responding window name: the plug-in
// and the step it was at.
struct PluginStep {
    std::string name, step;
    bool operator==(const PluginStep& other) const { return name == other.name && step == other.step; }
};
inline void PrintTo(const PluginStep& seen, std::ostream* out) { *out << seen.name << " at " << seen.step; }
PluginStep ReadLoadError(HWND page);

// Presses a button as a click does: WM_COMMAND/BN_CLICKED, posted, so a
// click that opens a modal window returns at once.
void Click(HWND dialog, int id);
void SetCheck(HWND dialog, int id, bool checked);
bool IsChecked(HWND dialog, int id);
std::vector<std::string> ListBoxLines(HWND dialog, int id);

// List views, read and selected through memory in the list's own process.
int ListViewRows(HWND list);
int ListViewColumns(HWND list);
std::string ListViewCell(HWND list, int row, int column);
// The column titles that are wider, in the list's font, than their columns.
std::vector<std::string> CutColumnTitles(HWND list);
// Selects a row as a click would (selection mark, selected, focused).
void SelectListViewRow(HWND list, int row);
// The rows of the list page's "Other files..." report: file, folder and
// result, joined by tabs.
std::vector<std::string> ReportRows(HWND report);

// ---- The test program's own dialogs ---------------------------------------

// A DialogScript answers the windows that the thread under test opens while
// it sits in a modal loop (DialogBoxParam, MessageBox): a thread timer looks
// for the next expected window by its caption and, once it is visible and
// enabled, runs that step's action on it. Steps run in order, each once.
class DialogScript {
public:
    DialogScript();
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // Waits for a top-level window of this thread with this caption.
    DialogScript& on(const std::string& caption, std::function<void(HWND)> action);
    // Acts again on the window of the step before, once the messages posted
    // to it so far have been handled; never runs if that window has gone.
    DialogScript& thenSame(std::function<void(HWND)> action);
    // Waits for a message box with this caption, records it and presses OK.
    DialogScript& answerMessageBox(const std::string& caption = MESSAGE);
    // Answers every window with this caption, whenever one comes, but for
    // one that the next step waits for.
    DialogScript& every(const std::string& caption, std::function<void(HWND)> action);
    // Every load-error page: what it shows goes to *seen, and OK closes it.
    DialogScript& answerLoadErrors(std::vector<PluginStep>* seen);

    bool finished() const { return next_ == steps_.size(); }
    const std::vector<MessageBoxSeen>& messageBoxes() const { return boxes_; }

private:
    struct Step {
        std::string caption;
        std::function<void(HWND)> action;
        bool sameWindow = false;
        HWND handled = nullptr;   // for answers to every window: the last one, while it is up
    };
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void tick();

    std::vector<Step> steps_;
    std::vector<Step> standing_;
    std::vector<MessageBoxSeen> boxes_;
    size_t next_ = 0;
    HWND lastHandled_ = nullptr;
    UINT_PTR timer_ = 0;
    bool busy_ = false;
};

// A dialog of the program's resources, linked into the test program: shown
// modally (its end code) or opened modeless (its window).
INT_PTR ShowDialog(int id, DLGPROC proc, LPARAM parameter = 0);
HWND OpenDialog(int id, DLGPROC proc);

// A click handled before it returns, for commands that open no window.
void ClickNow(HWND dialog, int id);
// Asks a dialog to go away every way a person can: the Escape key, Cancel,
// the close command and WM_CLOSE. Pair it with thenSame() to see that it
// stayed; or let ExpectIgnoresEscapeAndClose handle them and check.
void TryToDismiss(HWND dialog);
void ExpectIgnoresEscapeAndClose(HWND dialog);
// Presses and releases a key as the keyboard does, with window in the
// foreground. The key is seen by whichever message loop runs next.
void PressKey(HWND window, BYTE key);
// Runs the actions one by one, 300 ms apart, from the thread's message loop
// (during a test, the modal loop of the dialog under test): what one action
// pressed has reached the dialog before the next one looks.
void OneByOne(std::vector<std::function<void()>> actions);
// Whether a static control's text fits inside it, word-wrapped in its font.
bool TextFits(HWND control);

// The top-level windows of this thread that are visible, with their captions.
std::vector<std::string> VisibleCaptions();
// Runs the thread's message loop for a while, so posted messages arrive.
void PumpMessages(DWORD milliseconds);

// The folder browser's answers to the search-path page's "Add...", in
// order; "" answers Cancel.
void AnswerBrowserWith(std::vector<std::string> folders);
