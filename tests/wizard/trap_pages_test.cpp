// The load-error and exception pages, and what the outer region does with a
// fault inside a dialog procedure or while the exception page is up. Cases
// that end the process run in a child copy of this program.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <new>
#include "base/state.h"
#include "base/trap.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/screenshot.h"
#include "wizard/trappages.h"

namespace {

int* volatile nowhere = nullptr;
void Fault() { *nowhere = 0; }

// A window of no dialog at all whose procedure faults on WM_USER (timer
// callbacks are no use for this: the system swallows their faults).
LRESULT CALLBACK FaultingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER)
        Fault();
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND FaultingWindow()
{
    WNDCLASSA cls{};
    cls.lpfnWndProc = FaultingWindowProc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "TandrelTestFaulting";
    RegisterClassA(&cls);
    return CreateWindowA(cls.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
}

INT_PTR FaultyMessage(HWND, UINT message, WPARAM wParam, LPARAM)
{
    TraceProc("DlgFaultyProc");
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK)
        Fault();
    return FALSE;
}

// The same with a throw of the program's own, which must not unwind
// through the dialog manager.
INT_PTR ThrowingMessage(HWND, UINT message, WPARAM wParam, LPARAM)
{
    TraceProc("DlgThrowingProc");
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK)
        throw std::bad_alloc();
    return FALSE;
}

// Records what the exception page shows into the file, then presses OK.
std::function<void(HWND)> RecordExceptionPage(const std::string& file)
{
    return [file](HWND page) {
        WriteBytes(file, ItemText(page, IDC_EXCEPTION_OPERATION) + "|" + ItemText(page, IDC_EXCEPTION_POINT));
        Click(page, IDOK);
    };
}

int RunChild(const std::string& scenario, const std::string& file)
{
    moduleInstance = GetModuleHandleA(nullptr);
    answerTrap = ShowExceptionPage;
    DialogScript script;
    if (scenario == "fault-in-dialog" || scenario == "throw-in-dialog") {
        // A page whose procedure faults (or throws) when OK is pressed.
        static DLGPROC proc = scenario == "fault-in-dialog" ? GuardedDialogProc<FaultyMessage>
                                                             : GuardedDialogProc<ThrowingMessage>;
        script.on(LOAD_ERROR, [](HWND page) { Click(page, IDOK); })
            .on(EXCEPTION, RecordExceptionPage(file));
        if (!Trapped([] { ShowDialog(IDD_LOAD_ERROR, proc); }))
            ShowExceptionPage();
        return 3;   // the guard ends the process before this
    }
    if (scenario == "fault-on-exception-page") {
        HWND faulting = FaultingWindow();
        script.on(EXCEPTION, [file, faulting](HWND) {
            WriteBytes(file, "page shown");
            PostMessageA(faulting, WM_USER, 0, 0);
        });
        ShowExceptionPage();
        return 4;
    }
    return 5;
}

std::string ChildRun(const std::string& scenario, long* exitCode)
{
    std::string file = FreshDir("trap_" + scenario) + "\\seen.txt";
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    *exitCode = RunProcess(std::string("\"") + self + "\" --child " + scenario + " \"" + file + "\"", 30000);
    return ReadText(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2], argv[3]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST(LoadErrorPage, ShowsThePluginAndTheProbeStepAndClosesOnlyThroughOk)
{
    moduleInstance = GetModuleHandleA(nullptr);
    const char* name = "Broken Reverb";
    TraceProbeStep("Main Call");
    std::string shownName, shownStep, traceWhileOpen;
    DialogScript script;
    script.on(LOAD_ERROR, [&](HWND page) {
              shownName = ItemText(page, IDC_LOAD_ERROR_NAME);
              shownStep = ItemText(page, IDC_LOAD_ERROR_STEP);
              SaveScreenshot(page, "load_error_page");
              TryToDismiss(page);
          })
        .thenSame([&](HWND page) {
            traceWhileOpen = std::string(FailureTrace.traceOperation) + "/" + FailureTrace.traceFailurePoint;
            Click(page, IDOK);
        });
    INT_PTR result = ShowDialog(IDD_LOAD_ERROR, DlgErrProc, reinterpret_cast<LPARAM>(name));
    EXPECT_TRUE(script.finished()) << "Escape or close ended the page";
    EXPECT_EQ(0, result);
    EXPECT_EQ("Broken Reverb", shownName);
    EXPECT_EQ("Main Call", shownStep);
    EXPECT_EQ("DlgErrProc/Proc", traceWhileOpen);
}

TEST(ExceptionPage, ShowsTheTraceAsTheTrapLeftItAndWritesNoTraceOfItsOwn)
{
    moduleInstance = GetModuleHandleA(nullptr);
    std::string operation, point;
    DialogScript script;
    script.on(EXCEPTION, [&](HWND page) {
              operation = ItemText(page, IDC_EXCEPTION_OPERATION);
              point = ItemText(page, IDC_EXCEPTION_POINT);
              SaveScreenshot(page, "exception_page");
              SendMessageA(page, WM_HELP, 0, 0);
              TryToDismiss(page);
          })
        .thenSame([&](HWND page) { Click(page, IDOK); });
    EXPECT_FALSE(Trapped([] {
        TraceOperation("WRITE VST DATA");
        TraceFailurePoint("Writing VST data");
        Fault();
    }));
    ShowExceptionPage();
    EXPECT_TRUE(script.finished()) << "Escape or close ended the page";
    EXPECT_EQ("WRITE VST DATA", operation);
    EXPECT_EQ("Writing VST data", point);
    EXPECT_STREQ("WRITE VST DATA", FailureTrace.traceOperation);
    EXPECT_STREQ("Writing VST data", FailureTrace.traceFailurePoint);
}

TEST(OuterRegion, AFaultInsideADialogProcedureEndsOnTheExceptionPageWithExitCodeZero)
{
    long exitCode = -9;
    std::string seen = ChildRun("fault-in-dialog", &exitCode);
    EXPECT_EQ(0, exitCode);
    EXPECT_EQ("DlgFaultyProc|Proc", seen);
}

TEST(OuterRegion, AThrowInsideADialogProcedureEndsTheSameWay)
{
    long exitCode = -9;
    std::string seen = ChildRun("throw-in-dialog", &exitCode);
    EXPECT_EQ(0, exitCode);
    EXPECT_EQ("DlgThrowingProc|Proc", seen);
}

TEST(OuterRegion, AFaultWhileTheExceptionPageIsUpEndsTheProcessWithExitCodeZero)
{
    long exitCode = -9;
    std::string seen = ChildRun("fault-on-exception-page", &exitCode);
    EXPECT_EQ(0, exitCode);   // not -1: it neither hung nor waited for a person
    EXPECT_EQ("page shown", seen);
}
