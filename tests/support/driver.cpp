#include "support/driver.h"
#include <psapi.h>
#include <algorithm>
#include "resource.h"
#include "support/clock.h"

namespace {

struct Search {
    DWORD processId;
    const std::vector<std::string>* captions;
    const std::vector<HWND>* met;
    HWND found;
    std::string caption;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || !IsWindowEnabled(window))
        return TRUE;
    if (std::find(search->met->begin(), search->met->end(), window) != search->met->end())
        return TRUE;
    std::string caption = Caption(window);
    if (std::find(search->captions->begin(), search->captions->end(), caption) == search->captions->end())
        return TRUE;
    search->found = window;
    search->caption = caption;
    return FALSE;
}

// Every page and message box that comes by itself in a run, what the run
// reads of it, and the button a person presses there. A new page is taught
// here, and every test, the tour and the benchmarks know it, whether they
// drive the program or run it inside the test program.
struct Page {
    const char* caption;
    void (*read)(HWND window, RunSeen& seen);
    int button;
};

const Page PAGES[] = {
    {WELCOME, [](HWND, RunSeen& seen) { seen.welcomed = true; }, IDOK},
    {PATHS, nullptr, IDOK},
    {LOAD_ERROR, [](HWND page, RunSeen& seen) { seen.loadErrors.push_back(ReadLoadError(page)); }, IDOK},
    {HANG,
     [](HWND window, RunSeen& seen) {
         seen.hangs.push_back({ItemText(window, IDC_HANG_NAME), ItemText(window, IDC_HANG_STEP)});
     },
     NO_BUTTON},
    {LIST,
     [](HWND page, RunSeen& seen) {
         HWND list = GetDlgItem(page, IDC_LIST_PLUGINS);
         for (int row = 0; row < ListViewRows(list); ++row) {
             seen.rows.push_back(ListViewCell(list, row, 0));
             seen.newMarks.push_back(ListViewCell(list, row, 3));
         }
     },
     IDOK},
    {MESSAGE, [](HWND box, RunSeen& seen) { seen.messages.push_back(ReadMessageBox(box).text); }, IDOK},
    {FINISHED,
     [](HWND page, RunSeen& seen) {
         seen.finished = true;
         seen.finishedText = ItemText(page, IDC_FINISHED_TEXT);
     },
     IDOK},
    {EXCEPTION,
     [](HWND page, RunSeen& seen) {
         seen.exceptionOperation = ItemText(page, IDC_EXCEPTION_OPERATION);
         seen.exceptionPoint = ItemText(page, IDC_EXCEPTION_POINT);
     },
     IDOK},
};

} // namespace

WizardDriver::~WizardDriver()
{
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

bool WizardDriver::start(const std::string& program, const std::vector<std::string>& extraEnvironment)
{
    std::string environment;
    char* block = GetEnvironmentStringsA();
    for (const char* line = block; *line; line += strlen(line) + 1)
        environment.append(line).push_back('\0');
    FreeEnvironmentStringsA(block);
    for (const std::string& line : extraEnvironment)
        environment.append(line).push_back('\0');
    environment.push_back('\0');

    std::string commandLine = "\"" + program + "\"";
    std::string folder = program.substr(0, program.rfind('\\'));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, &environment[0],
                          folder.c_str(), &startup, &process_) != 0;
}

HWND WizardDriver::waitFor(const std::string& caption, DWORD timeoutMs)
{
    std::string which;
    return waitForAny({caption}, &which, timeoutMs);
}

HWND WizardDriver::waitForAny(const std::vector<std::string>& captions, std::string* which, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search search{process_.dwProcessId, &captions, &met_, nullptr, ""};
        EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            met_.push_back(search.found);
            *which = search.caption;
            return search.found;
        }
        // Waiting on the process: returns at once when it ends.
        if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0)
            return nullptr;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
    }
}

long WizardDriver::waitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 99);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
}

SIZE_T WizardDriver::peakWorkingSet() const
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process_.hProcess, &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

bool WizardDriver::hasLoaded(const char* fileName) const
{
    HMODULE modules[512];
    DWORD size = 0;
    if (!EnumProcessModules(process_.hProcess, modules, sizeof modules, &size))
        return false;
    for (DWORD i = 0; i < std::min<DWORD>(size, sizeof modules) / sizeof modules[0]; ++i) {
        char path[MAX_PATH] = "";
        GetModuleFileNameExA(process_.hProcess, modules[i], path, sizeof path);
        const char* name = strrchr(path, '\\');
        if (name && lstrcmpiA(name + 1, fileName) == 0)
            return true;
    }
    return false;
}

HWND OpenReport(WizardDriver& driver, HWND listPage)
{
    Click(listPage, IDC_LIST_REPORT);
    return driver.waitFor(REPORT);
}

void CloseReport(HWND report)
{
    Click(report, IDOK);
    for (int i = 0; i < 100 && IsWindow(report); ++i)
        Sleep(50);
}

RunSeen DriveWizard(const std::string& program, const RunPlan& plan)
{
    RunSeen seen;
    WizardDriver driver;
    double start = Milliseconds();
    if (!driver.start(program, plan.environment))
        return seen;
    std::vector<std::string> captions;
    for (const Page& page : PAGES)
        captions.push_back(page.caption);
    std::string which;
    while (HWND window = driver.waitForAny(captions, &which, plan.pageTimeoutMs)) {
        if (which == FINISHED) {
            seen.secondsToFinished = (Milliseconds() - start) / 1000;
            seen.peakWorkingSet = driver.peakWorkingSet();
        }
        const Page& page = *std::find_if(std::begin(PAGES), std::end(PAGES),
                                         [&](const Page& p) { return which == p.caption; });
        seen.windows.push_back(which);
        double reading = Milliseconds();
        if (page.read)
            page.read(window, seen);
        if (!seen.finished)
            seen.secondsReading += (Milliseconds() - reading) / 1000;
        auto answer = plan.answers.find(which);
        int button = answer == plan.answers.end() ? page.button : answer->second(driver, window);
        if (button != NO_BUTTON)
            Click(window, button);
    }
    seen.exitCode = driver.waitForExit(plan.exitTimeoutMs);
    return seen;
}

void AnswerEveryPage(DialogScript& script, std::vector<std::string>* answered)
{
    for (const Page& page : PAGES)
        if (page.button != NO_BUTTON)
            script.every(page.caption, [page, answered](HWND window) {
                if (answered)
                    answered->push_back(page.caption);
                Click(window, page.button);
            });
}
