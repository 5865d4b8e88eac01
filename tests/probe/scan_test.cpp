// The folder scan over real folders: what it lists, in which order, and what
// the status line shows while it walks.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "base/state.h"
#include "base/trap.h"
#include "probe/scan.h"
#include "resource.h"
#include "support/files.h"
#include "support/state.h"

using Lines = std::vector<std::string>;

namespace {

// A stand-in for the progress page: its status line records every text it is
// given and every paint request.
struct StatusLine {
    Lines texts;
    int paints = 0;
};
StatusLine status;
WNDPROC editProc;

LRESULT CALLBACK RecordingEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        status.texts.push_back(reinterpret_cast<const char*>(lParam));
    if (message == WM_PAINT)
        ++status.paints;
    return CallWindowProcA(editProc, window, message, wParam, lParam);
}

void OpenStatusLine()
{
    progressWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_READONLY, 0, 0, 300, 20, progressWindow,
                                reinterpret_cast<HMENU>(IDC_PROGRESS_STATUS), nullptr, nullptr);
    editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingEdit)));
    status = StatusLine();
}

void MakeDir(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }
void MakeFile(const std::string& path) { WriteBytes(path, "x"); }

bool Contains(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t Position(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
}

} // namespace

TEST(Scan, DllsBelowASubfolderComeBeforeTheFoldersOwnAndEveryFolderIsShown)
{
    std::string r = FreshDir("scan_order");
    MakeDir(r + "\\A");
    MakeDir(r + "\\A\\B");
    MakeFile(r + "\\r.dll");
    MakeFile(r + "\\readme.txt");
    MakeFile(r + "\\A\\a.dll");
    MakeFile(r + "\\A\\a.dll.txt");
    MakeFile(r + "\\A\\B\\b.DLL");
    OpenStatusLine();

    Lines found = ScanFolder(r);

    EXPECT_EQ((Lines{r + "\\A\\B\\b.DLL", r + "\\A\\a.dll", r + "\\r.dll"}), found);
    EXPECT_EQ((Lines{r, r + "\\A", r + "\\A\\B"}), status.texts);
    EXPECT_EQ(3, status.paints);
    EXPECT_STREQ("Get VST Paths", FailureTrace.traceOperation);
    EXPECT_STREQ("end scan", FailureTrace.traceFailurePoint);
}

TEST(Scan, OneTrailingBackslashIsRemovedFromTheSearchFolderItself)
{
    std::string r = FreshDir("scan_backslash");
    MakeFile(r + "\\r.dll");
    OpenStatusLine();

    char* folder = NewPathText((r + "\\").c_str());
    GetVstPaths(folder);
    EXPECT_EQ(r, std::string(folder));
    FreePathText(folder);

    EXPECT_EQ(Lines{r + "\\r.dll"}, TakeFound());
    EXPECT_EQ(Lines{r + "\\"}, status.texts);
}

TEST(Scan, EverythingNamedLikeADllIsListedAndFoldersAmongThemAreSearched)
{
    std::string r = FreshDir("scan_names");
    MakeDir(r + "\\x.dll");
    MakeFile(r + "\\x.dll\\inner.dll");
    WriteBytes(r + "\\.dll", "");
    WriteBytes(r + "\\empty.dll", "");
    WriteBytes(r + "\\notes.dll", "not a program");
    MakeDir(r + "\\.hidden");
    SetFileAttributesA((r + "\\.hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    MakeFile(r + "\\.hidden\\h.dll");

    Lines found = ScanFolder(r);

    ASSERT_EQ(6u, found.size());
    for (const char* name : {"\\x.dll", "\\x.dll\\inner.dll", "\\.dll", "\\empty.dll", "\\notes.dll", "\\.hidden\\h.dll"})
        EXPECT_TRUE(Contains(found, r + name)) << name;
    EXPECT_LT(Position(found, r + "\\x.dll\\inner.dll"), Position(found, r + "\\x.dll"));
}

TEST(Scan, FoldersThatAreScannedTwiceListTheirDllsTwice)
{
    std::string r = FreshDir("scan_twice");
    MakeDir(r + "\\A");
    MakeFile(r + "\\A\\a.dll");

    Lines found = ScanFolder(r);
    Lines again = ScanFolder(r);
    Lines inner = ScanFolder(r + "\\A");
    EXPECT_EQ(Lines{r + "\\A\\a.dll"}, found);
    EXPECT_EQ(found, again);
    EXPECT_EQ(found, inner);
}

TEST(Scan, FolderThatCannotBeSearchedIsShownAndAddsNothing)
{
    std::string r = FreshDir("scan_missing");
    MakeFile(r + "\\file.dll");
    OpenStatusLine();

    for (const std::string& folder : {r + "\\missing", r + "\\file.dll", std::string("Q:\\nowhere")}) {
        SCOPED_TRACE(folder);
        status = StatusLine();
        EXPECT_TRUE(ScanFolder(folder).empty());
        EXPECT_EQ(Lines{folder}, status.texts);
    }
}

// Texts composed from a long folder would not fit the 1024-byte buffers:
// such a folder is shown (cut to 128 characters) and searched no further,
// and nothing is read or written outside the folder's own buffer.
TEST(Scan, LongFolderTextsAreShownCutAndNeverOverrun)
{
    OpenStatusLine();
    std::string r = FreshDir("scan_long");
    std::string folder200 = r + "\\" + std::string(200 - r.size() - 1, 'a');
    EXPECT_TRUE(ScanFolder(folder200).empty());
    EXPECT_EQ(Lines{folder200.substr(0, 128)}, status.texts);

    // The folder's buffer ends right before a page that cannot be touched.
    const DWORD page = 4096;
    char* block = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(block + page, page, PAGE_NOACCESS, &old);
    char* folder = block + page - PATH_TEXT_SIZE;

    struct Case {
        size_t length;      // characters before the terminator; 1024 = none
        char last;
        size_t after;       // its length afterwards
    } cases[] = {
        {1017, 'a', 1017},  // "\*" fits, "\*.dll" does not
        {1021, 'a', 1021},  // neither fits
        {1023, 'a', 1023},
        {1023, '\\', 1022},
        {1024, 'a', 1024},  // fills its buffer without a terminator
        {1024, '\\', 1023},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        memcpy(folder, "C:\\", 3);
        memset(folder + 3, 'b', PATH_TEXT_SIZE - 3);
        folder[c.length - 1] = c.last;
        if (c.length < PATH_TEXT_SIZE)
            folder[c.length] = 0;
        status = StatusLine();
        EXPECT_TRUE(Trapped([&] { GetVstPaths(folder); }));
        EXPECT_EQ(c.after, strnlen(folder, PATH_TEXT_SIZE));
        EXPECT_EQ(Lines{std::string(folder, 128)}, status.texts);
        EXPECT_TRUE(TakeFound().empty());
    }
    VirtualFree(block, 0, MEM_RELEASE);
}

// The Unix path of an existing Windows path.
std::string UnixPath(const std::string& path)
{
    using UnixName = char*(CDECL*)(const WCHAR*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* name = unixName ? unixName(wide) : nullptr;
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// A symbolic link made by the host system (the file system Wine shows
// follows it, and reports it as a reparse point).
bool MakeLink(const std::string& folder, const std::string& name, const std::string& target)
{
    std::string line = "Z:\\bin\\ln -sn " + UnixPath(target) + " " + UnixPath(folder) + "/" + name;
    RunProcess(line, 10000);
    for (int wait = 0; wait < 100 && !FileExists(folder + "\\" + name); ++wait)
        Sleep(50);
    return FileExists(folder + "\\" + name);
}

// Links are removed by the host system too: Windows calls would follow them.
std::string FreshDirWithoutLinks(const std::string& name)
{
    std::string dir = TestDataDir(name);
    if (FileExists(dir)) {
        RunProcess("Z:\\bin\\rm -rf " + UnixPath(dir), 10000);
        for (int wait = 0; wait < 100 && FileExists(dir); ++wait)
            Sleep(50);
    }
    return FreshDir(name);
}

TEST(Scan, LinksThatLeadBackIntoTheWalkAreNotFollowed)
{
    std::string r = FreshDirWithoutLinks("scan_links");
    MakeFile(r + "\\r.dll");
    MakeDir(r + "\\sub");
    MakeFile(r + "\\sub\\s.dll");
    ASSERT_TRUE(MakeLink(r, "loop", r));
    ASSERT_TRUE(MakeLink(r, "again", r));
    ASSERT_TRUE(MakeLink(r + "\\sub", "up", r));
    ASSERT_TRUE(MakeLink(r + "\\sub", "self", r + "\\sub"));
    ASSERT_TRUE(MakeLink(r, "side", r + "\\sub"));   // no loop: walked like any folder

    Lines found = ScanFolder(r);

    std::sort(found.begin(), found.end());
    EXPECT_EQ((Lines{r + "\\r.dll", r + "\\side\\s.dll", r + "\\sub\\s.dll"}), found);
}

TEST(Scan, DriveRootIsSearchedWithoutADoubledBackslash)
{
    std::string r = FreshDir("scan_drive");
    MakeFile(r + "\\r.dll");
    MakeDir(r + "\\A");
    MakeFile(r + "\\A\\a.dll");
    // Drive T: of this Wine prefix, for the length of the test.
    char prefix[MAX_PATH] = "";
    ASSERT_NE(0u, GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix));
    std::string drive = std::string(prefix) + "/dosdevices/t:";
    RunProcess("Z:\\bin\\ln -sfn " + UnixPath(r) + " " + drive, 10000);
    for (int wait = 0; wait < 100 && !FileExists("T:\\r.dll"); ++wait)
        Sleep(50);
    OpenStatusLine();

    char* root = NewPathText("T:\\");
    GetVstPaths(root);
    EXPECT_STREQ("T:", root);
    FreePathText(root);
    RunProcess("Z:\\bin\\rm -f " + drive, 10000);

    EXPECT_EQ((Lines{"T:\\A\\a.dll", "T:\\r.dll"}), TakeFound());
    EXPECT_EQ((Lines{"T:\\", "T:\\A"}), status.texts);
}
