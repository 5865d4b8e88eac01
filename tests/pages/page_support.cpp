#include "page_support.h"
#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include "pages/pages.h"
#include "support/state.h"
#include "wizard/registry.h"
#include "wizard/state.h"
#include "wizard/text.h"

void PreparePages()
{
    StartFreshRun();
    EmptyPathList(SearchPathList);
    editSelectedPlugin = 0;
    rememberedRow = -1;
    InitCommonControls();
    CoInitialize(nullptr);
}

void Press(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ExpectIgnoresEscapeAndClose(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages(150);
    EXPECT_TRUE(IsWindowVisible(dialog)) << WindowText(dialog) << " closed on Escape or close";
}

std::vector<std::string> ListBoxLines(HWND dialog, int id)
{
    std::vector<std::string> lines;
    LRESULT count = SendDlgItemMessageA(dialog, id, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char line[1024] = "";
        SendDlgItemMessageA(dialog, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    return lines;
}

std::string Cell(HWND list, int row, int column)
{
    char text[1024] = "";
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

int ColumnCount(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

PluginRecord& AddPlugin(const char* name, const char* dosName, const char* path,
                        const std::function<void(PluginRecord&)>& setup)
{
    PluginRecord record{};
    CopyText(record.FullName, name);
    CopyText(record.DosName, dosName);
    CopyText(record.FullPath, path);
    record.isVst = 1;
    record.registerAsPlug = 1;
    if (setup)
        setup(record);
    std::string key = std::string(PLUGINS_KEY "\\") + dosName;
    RegKey entry;
    if (*dosName && CreateKey(HKEY_LOCAL_MACHINE, key.c_str(), entry.receive()) == ERROR_SUCCESS)
        WriteVstData(entry, &record);
    return PluginList.append(record)->element;
}

namespace {

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

void AnswerBrowserWith(std::vector<std::string> folders)
{
    browserAnswers = std::move(folders);
    BrowseForFolder = AnswerBrowser;
}
