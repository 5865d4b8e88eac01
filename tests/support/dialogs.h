// Driving real dialogs and message boxes from inside the test process.
//
// A DialogScript answers the windows that the thread under test opens while
// it sits in a modal loop (DialogBoxParam, MessageBox): a thread timer looks
// for the next expected window by its caption and, once it is visible and
// enabled, runs that step's action on it. Steps run in order, each once.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

struct MessageBoxSeen {
    std::string caption;
    std::string text;
    bool onlyOk = false;    // one button, and it is OK
    bool hasIcon = false;
    bool hasOwner = false;
};

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
    DialogScript& answerMessageBox(const std::string& caption = "Ostrel VST Adapter Error");

    bool finished() const { return next_ == steps_.size(); }
    size_t stepsDone() const { return next_; }
    const std::vector<MessageBoxSeen>& messageBoxes() const { return boxes_; }

private:
    struct Step {
        std::string caption;
        std::function<void(HWND)> action;
        bool sameWindow = false;
    };
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void tick();

    std::vector<Step> steps_;
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

// Presses a button as a click does: the dialog receives WM_COMMAND/BN_CLICKED.
void Click(HWND dialog, int id);
void SetCheck(HWND dialog, int id, bool checked);
// Asks a dialog to go away the ways a person can: the Escape key, the close
// command and WM_CLOSE. Pair it with thenSame() to see that it stayed.
void TryToDismiss(HWND dialog);
bool IsChecked(HWND dialog, int id);
std::string ItemText(HWND dialog, int id);
std::string WindowText(HWND window);
MessageBoxSeen ReadMessageBox(HWND box);

// The top-level windows of this thread that are visible, with their captions.
std::vector<std::string> VisibleCaptions();

// Runs the thread's message loop for a while, so posted messages arrive.
void PumpMessages(DWORD milliseconds);
