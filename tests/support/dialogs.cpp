#include "support/dialogs.h"
#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include "pages/pages.h"
#include "resource.h"

namespace {

const UINT ANSWER_WAIT = 5000;

LRESULT SendWaiting(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, ANSWER_WAIT, &result);
    return static_cast<LRESULT>(result);
}

// Memory in the process of a window, for a request that carries a pointer.
class WindowsMemory {
public:
    WindowsMemory(HWND window, SIZE_T size)
    {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner);
        address_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~WindowsMemory()
    {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    WindowsMemory(const WindowsMemory&) = delete;
    WindowsMemory& operator=(const WindowsMemory&) = delete;

    char* at(SIZE_T offset) const { return address_ + offset; }
    void write(SIZE_T offset, const void* data, SIZE_T size) { WriteProcessMemory(process_, at(offset), data, size, nullptr); }
    void read(SIZE_T offset, void* data, SIZE_T size) { ReadProcessMemory(process_, at(offset), data, size, nullptr); }

private:
    HANDLE process_;
    char* address_;
};

DialogScript* activeScript;

// The next visible, enabled window of this thread with the caption, other
// than skip.
struct Search {
    const std::string* caption;
    HWND skip;
    HWND found;
};

BOOL CALLBACK FindCaption(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    if (window == search->skip || !IsWindowVisible(window) || !IsWindowEnabled(window))
        return TRUE;
    if (WindowText(window) != *search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindWindowOfThread(const std::string& caption, HWND skip)
{
    Search search{&caption, skip, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectCaption(HWND window, LPARAM parameter)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<std::string>*>(parameter)->push_back(WindowText(window));
    return TRUE;
}

std::vector<std::function<void()>> pending;

void CALLBACK RunNext(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (pending.empty()) {
        KillTimer(nullptr, timer);
        return;
    }
    auto action = pending.front();
    pending.erase(pending.begin());
    action();
}

std::vector<std::string> browserAnswers;

PIDLIST_ABSOLUTE WINAPI AnswerBrowser(LPBROWSEINFOA)
{
    if (browserAnswers.empty())
        return nullptr;
    std::string folder = browserAnswers.front();
    browserAnswers.erase(browserAnswers.begin());
    return folder.empty() ? nullptr : ILCreateFromPathA(folder.c_str());
}

} // namespace

std::string WindowText(HWND window)
{
    char text[4096] = "";
    SendWaiting(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string Caption(HWND window)
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? WindowText(item) : "<no control " + std::to_string(id) + ">";
}

MessageBoxSeen ReadMessageBox(HWND box)
{
    MessageBoxSeen seen;
    seen.caption = WindowText(box);
    seen.text = ItemText(box, 0xFFFF);
    if (seen.text.empty() || !GetDlgItem(box, 0xFFFF))
        seen.text = ItemText(box, 100);   // Wine's id for the text
    seen.hasOwner = GetWindow(box, GW_OWNER) != nullptr;
    int buttons = 0;
    bool ok = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[64];
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(child)) {
            ++buttons;
            ok = ok || GetDlgCtrlID(child) == IDOK;
        }
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)
            && SendWaiting(child, STM_GETICON, 0, 0))
            seen.hasIcon = true;
    }
    seen.onlyOk = buttons == 1 && ok;
    return seen;
}

PluginStep ReadLoadError(HWND page)
{
    return {ItemText(page, IDC_LOAD_ERROR_NAME), ItemText(page, IDC_LOAD_ERROR_STEP)};
}

void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetCheck(HWND dialog, int id, bool checked)
{
    SendWaiting(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return SendWaiting(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The system carries a list box's texts across processes itself.
std::vector<std::string> ListBoxLines(HWND dialog, int id)
{
    std::vector<std::string> lines;
    HWND list = GetDlgItem(dialog, id);
    LRESULT count = SendWaiting(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char line[1024] = "";
        SendWaiting(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    return lines;
}

int ListViewRows(HWND list)
{
    return static_cast<int>(SendWaiting(list, LVM_GETITEMCOUNT, 0, 0));
}

int ListViewColumns(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendWaiting(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendWaiting(header, HDM_GETITEMCOUNT, 0, 0));
}

std::string ListViewCell(HWND list, int row, int column)
{
    WindowsMemory remote(list, 4096);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote.at(sizeof item);
    item.cchTextMax = 1024;
    remote.write(0, &item, sizeof item);
    SendWaiting(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.at(0)));
    char text[1025] = "";
    remote.read(sizeof item, text, 1024);
    return text;
}

std::vector<std::string> CutColumnTitles(HWND list)
{
    std::vector<std::string> cut;
    WindowsMemory remote(list, 4096);
    char* title = remote.at(sizeof(LVCOLUMNA));
    for (int i = 0; i < ListViewColumns(list); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = title;
        column.cchTextMax = 1024;
        remote.write(0, &column, sizeof column);
        SendWaiting(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(remote.at(0)));
        remote.read(0, &column, sizeof column);
        char text[1025] = "";
        remote.read(sizeof column, text, 1024);
        if (SendWaiting(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(title)) > column.cx)
            cut.push_back(text);
    }
    return cut;
}

void SelectListViewRow(HWND list, int row)
{
    WindowsMemory remote(list, sizeof(LVITEMA));
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    remote.write(0, &item, sizeof item);
    SendWaiting(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.at(0)));
    SendWaiting(list, LVM_SETSELECTIONMARK, 0, row);
}

std::vector<std::string> ReportRows(HWND report)
{
    HWND list = GetDlgItem(report, IDC_REPORT_LIST);
    std::vector<std::string> rows;
    for (int row = 0; row < ListViewRows(list); ++row)
        rows.push_back(ListViewCell(list, row, 0) + "\t" + ListViewCell(list, row, 1) + "\t" +
                       ListViewCell(list, row, 2));
    return rows;
}

DialogScript::DialogScript()
{
    activeScript = this;
    timer_ = SetTimer(nullptr, 0, 15, Tick);
}

DialogScript::~DialogScript()
{
    KillTimer(nullptr, timer_);
    activeScript = nullptr;
}

DialogScript& DialogScript::on(const std::string& caption, std::function<void(HWND)> action)
{
    steps_.push_back({caption, std::move(action)});
    return *this;
}

DialogScript& DialogScript::thenSame(std::function<void(HWND)> action)
{
    steps_.push_back({"", std::move(action), true});
    return *this;
}

DialogScript& DialogScript::answerMessageBox(const std::string& caption)
{
    return on(caption, [this](HWND box) {
        boxes_.push_back(ReadMessageBox(box));
        Click(box, IDOK);
    });
}

DialogScript& DialogScript::every(const std::string& caption, std::function<void(HWND)> action)
{
    standing_.push_back({caption, std::move(action)});
    return *this;
}

DialogScript& DialogScript::answerLoadErrors(std::vector<PluginStep>* seen)
{
    return every(LOAD_ERROR, [seen](HWND page) {
        seen->push_back(ReadLoadError(page));
        Click(page, IDOK);
    });
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (activeScript)
        activeScript->tick();
}

void DialogScript::tick()
{
    if (busy_)
        return;
    busy_ = true;   // an action may open a modal loop of its own
    // A window the next step waits for is the step's.
    const std::string* waited = finished() || steps_[next_].sameWindow ? nullptr : &steps_[next_].caption;
    for (Step& answer : standing_) {
        if (waited && answer.caption == *waited)
            continue;
        if (answer.handled && !IsWindow(answer.handled))
            answer.handled = nullptr;
        if (HWND window = FindWindowOfThread(answer.caption, answer.handled)) {
            answer.handled = window;
            answer.action(window);
        }
    }
    if (!finished()) {
        if (lastHandled_ && !IsWindow(lastHandled_))
            lastHandled_ = nullptr;
        // WM_TIMER comes only once the queue is empty: what was posted to
        // the window before has been handled.
        HWND found = steps_[next_].sameWindow ? lastHandled_ : FindWindowOfThread(steps_[next_].caption, lastHandled_);
        if (found) {
            Step step = steps_[next_++];
            lastHandled_ = found;
            step.action(found);
        }
    }
    busy_ = false;
}

INT_PTR ShowDialog(int id, DLGPROC proc, LPARAM parameter)
{
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, proc, parameter);
}

HWND OpenDialog(int id, DLGPROC proc)
{
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, proc, 0);
}

void ClickNow(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void TryToDismiss(HWND dialog)
{
    HWND focus = GetFocus();
    PostMessageA(focus && IsChild(dialog, focus) ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void ExpectIgnoresEscapeAndClose(HWND dialog)
{
    TryToDismiss(dialog);
    PumpMessages(150);
    EXPECT_TRUE(IsWindowVisible(dialog)) << WindowText(dialog) << " closed on Escape or close";
}

void PressKey(HWND window, BYTE key)
{
    SetForegroundWindow(window);
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

void OneByOne(std::vector<std::function<void()>> actions)
{
    pending = std::move(actions);
    SetTimer(nullptr, 0, 300, RunNext);
}

bool TextFits(HWND control)
{
    char text[1024];
    GetWindowTextA(control, text, sizeof text);
    RECT client, needed;
    GetClientRect(control, &client);
    needed = client;
    HDC dc = GetDC(control);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(control, dc);
    return needed.right <= client.right && needed.bottom <= client.bottom;
}

std::vector<std::string> VisibleCaptions()
{
    std::vector<std::string> captions;
    EnumThreadWindows(GetCurrentThreadId(), CollectCaption, reinterpret_cast<LPARAM>(&captions));
    return captions;
}

void PumpMessages(DWORD milliseconds)
{
    DWORD end = GetTickCount() + milliseconds;
    MSG msg;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
}

void AnswerBrowserWith(std::vector<std::string> folders)
{
    browserAnswers = std::move(folders);
    BrowseForFolder = AnswerBrowser;
}
