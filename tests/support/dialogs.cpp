#include "support/dialogs.h"

namespace {

DialogScript* activeScript;

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

BOOL CALLBACK CollectCaption(HWND window, LPARAM parameter)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<std::string>*>(parameter)->push_back(WindowText(window));
    return TRUE;
}

} // namespace

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
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (activeScript)
        activeScript->tick();
}

void DialogScript::tick()
{
    if (busy_ || finished())
        return;
    if (lastHandled_ && !IsWindow(lastHandled_))
        lastHandled_ = nullptr;
    Search search{&steps_[next_].caption, lastHandled_, nullptr};
    if (steps_[next_].sameWindow)
        search.found = lastHandled_;   // WM_TIMER comes only once the queue is empty
    else
        EnumThreadWindows(GetCurrentThreadId(), FindCaption, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return;
    busy_ = true;   // an action may open a modal loop of its own
    Step step = steps_[next_++];
    lastHandled_ = search.found;
    step.action(search.found);
    busy_ = false;
}

void Click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void TryToDismiss(HWND dialog)
{
    HWND focus = GetFocus();
    PostMessageA(focus && IsChild(dialog, focus) ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void SetCheck(HWND dialog, int id, bool checked)
{
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string ItemText(HWND dialog, int id)
{
    char text[4096] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

MessageBoxSeen ReadMessageBox(HWND box)
{
    MessageBoxSeen seen;
    seen.caption = WindowText(box);
    seen.text = ItemText(box, 0xFFFF);
    if (seen.text.empty())
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
            && SendMessageA(child, STM_GETICON, 0, 0))
            seen.hasIcon = true;
    }
    seen.onlyOk = buttons == 1 && ok;
    return seen;
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

INT_PTR ShowDialog(int id, DLGPROC proc, LPARAM parameter)
{
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, proc, parameter);
}

HWND OpenDialog(int id, DLGPROC proc)
{
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, proc, 0);
}
