#include "e2e/driver.h"
#include <commctrl.h>
#include <psapi.h>
#include <algorithm>
#include "resource.h"

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
    std::string caption = TextOf(window);
    if (std::find(search->captions->begin(), search->captions->end(), caption) == search->captions->end())
        return TRUE;
    search->found = window;
    search->caption = caption;
    return FALSE;
}

bool IsMessageBox(HWND window)
{
    char cls[32] = "";
    GetClassNameA(window, cls, sizeof cls);
    return strcmp(cls, "#32770") == 0 && (GetDlgItem(window, 0xFFFF) || GetDlgItem(window, 100))
           && !GetDlgItem(window, 1001) && !GetDlgItem(window, 1002);
}

// Memory in the driven process for a list-view request and its answer.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, SIZE_T size) : process_(process)
    {
        address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    char* at(SIZE_T offset) const { return static_cast<char*>(address_) + offset; }
    void write(SIZE_T offset, const void* data, SIZE_T size) { WriteProcessMemory(process_, at(offset), data, size, nullptr); }
    void read(SIZE_T offset, void* data, SIZE_T size) { ReadProcessMemory(process_, at(offset), data, size, nullptr); }

private:
    HANDLE process_;
    void* address_;
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
            seen_.push_back(search.caption);
            if (IsMessageBox(search.found))
                seen_.push_back("  " + MessageBoxText(search.found));
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

std::string TextOf(HWND window)
{
    char text[2048] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return text;
}

std::string ItemTextOf(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? TextOf(item) : "<no control " + std::to_string(id) + ">";
}

std::string MessageBoxText(HWND box)
{
    HWND text = GetDlgItem(box, 0xFFFF);
    if (!text)
        text = GetDlgItem(box, 100);
    return text ? TextOf(text) : "";
}

void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Tick(HWND dialog, int id, bool checked)
{
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0,
                        SMTO_ABORTIFHUNG, 5000, nullptr);
}

int ListBoxLines(HWND dialog, int id)
{
    DWORD_PTR count = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    return static_cast<int>(count);
}

int ListViewRows(HWND dialog, int id)
{
    DWORD_PTR count = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    return static_cast<int>(count);
}

std::string ListViewCell(HANDLE process, HWND dialog, int id, int row, int column)
{
    RemoteBuffer remote(process, 4096);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = remote.at(sizeof item);
    item.cchTextMax = 1024;
    remote.write(0, &item, sizeof item);
    DWORD_PTR ignored;
    SendMessageTimeoutA(GetDlgItem(dialog, id), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.at(0)),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    char text[1025] = "";
    remote.read(sizeof item, text, 1024);
    return text;
}

void SelectListViewRow(HANDLE process, HWND dialog, int id, int row)
{
    RemoteBuffer remote(process, sizeof(LVITEMA));
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    remote.write(0, &item, sizeof item);
    HWND list = GetDlgItem(dialog, id);
    DWORD_PTR ignored;
    SendMessageTimeoutA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.at(0)), SMTO_ABORTIFHUNG,
                        5000, &ignored);
    SendMessageTimeoutA(list, LVM_SETSELECTIONMARK, 0, row, SMTO_ABORTIFHUNG, 5000, &ignored);
}

HWND OpenReport(WizardDriver& driver, HWND listPage)
{
    Press(listPage, IDC_LIST_REPORT);
    return driver.waitFor("Other Files");
}

std::vector<std::string> ReportRows(WizardDriver& driver, HWND report)
{
    std::vector<std::string> rows;
    for (int row = 0; row < ListViewRows(report, IDC_REPORT_LIST); ++row)
        rows.push_back(ListViewCell(driver.process(), report, IDC_REPORT_LIST, row, 0) + "\t" +
                       ListViewCell(driver.process(), report, IDC_REPORT_LIST, row, 1) + "\t" +
                       ListViewCell(driver.process(), report, IDC_REPORT_LIST, row, 2));
    return rows;
}

void CloseReport(HWND report)
{
    Press(report, IDOK);
    for (int i = 0; i < 100 && IsWindow(report); ++i)
        Sleep(50);
}

RunSeen DriveWizard(const std::string& program, const Hooks& hooks, DWORD exitTimeoutMs)
{
    RunSeen run;
    WizardDriver driver;
    if (!driver.start(program, hooks.environment))
        return run;
    HWND welcome = driver.waitFor(WELCOME);
    if (!welcome) {
        run.exitCode = driver.waitForExit(exitTimeoutMs);
        return run;
    }
    run.welcomed = true;
    Press(welcome, IDOK);

    std::string which;
    bool listDone = false;
    while (HWND window = driver.waitForAny({PATHS, LOAD_ERROR, LIST, MESSAGE, FINISHED, EXCEPTION}, &which)) {
        if (which == PATHS) {
            if (hooks.paths)
                hooks.paths(driver, window);
            Press(window, IDOK);
        } else if (which == LOAD_ERROR) {
            run.loadErrors.push_back({ItemTextOf(window, IDC_LOAD_ERROR_NAME), ItemTextOf(window, IDC_LOAD_ERROR_STEP)});
            Press(window, IDOK);
        } else if (which == MESSAGE) {
            run.messages.push_back(MessageBoxText(window));
            Press(window, IDOK);
        } else if (which == LIST && !listDone) {
            listDone = true;
            for (int row = 0; row < ListViewRows(window, IDC_LIST_PLUGINS); ++row) {
                run.rows.push_back(ListViewCell(driver.process(), window, IDC_LIST_PLUGINS, row, 0));
                run.newMarks.push_back(ListViewCell(driver.process(), window, IDC_LIST_PLUGINS, row, 3));
            }
            if (hooks.list)
                hooks.list(driver, window);
            Press(window, IDOK);
        } else if (which == FINISHED) {
            run.finished = true;
            run.finishedText = ItemTextOf(window, IDC_FINISHED_TEXT);
            Press(window, IDOK);
        } else if (which == EXCEPTION) {
            run.exceptionOperation = ItemTextOf(window, IDC_EXCEPTION_OPERATION);
            run.exceptionPoint = ItemTextOf(window, IDC_EXCEPTION_POINT);
            Press(window, IDOK);
        }
    }
    run.exitCode = driver.waitForExit(exitTimeoutMs);
    return run;
}
