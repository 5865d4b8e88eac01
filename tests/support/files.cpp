#include "support/files.h"
#include <fstream>
#include <iterator>
#include <sstream>
#include "plugins/fixtures.h"

std::string ExeDir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *strrchr(path, '\\') = 0;
    return path;
}

// A name the code page cannot write opens by its short name only.
void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cAlternateFileName[0] ? data.cAlternateFileName : data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (!DeleteFileA(child.c_str()))
                RemoveDirectoryA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

namespace {

std::string TestDataRoot()
{
    char root[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("TANDREL_TEST_DATA", root, sizeof root);
    return length > 0 && length < sizeof root ? root : ExeDir() + "\\..\\testdata";
}

} // namespace

std::string TestDataDir(const std::string& name)
{
    return TestDataRoot() + "\\" + name;
}

std::string FreshDir(const std::string& name)
{
    CreateDirectoryA(TestDataRoot().c_str(), nullptr);
    std::string dir = TestDataDir(name);
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    char full[MAX_PATH];
    GetFullPathNameA(dir.c_str(), sizeof full, full, nullptr);
    return full;
}

bool CopyInto(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool PlantFixture(const std::string& fixture, const std::string& path)
{
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    return CopyInto(fixtures::Built(fixture), path);
}

bool PlantFixture(const std::string& fixture, const std::string& folder, const std::wstring& below)
{
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH))
        return false;
    std::wstring path = std::wstring(wide) + L"\\" + below;
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    if (!MultiByteToWideChar(CP_ACP, 0, fixtures::Built(fixture).c_str(), -1, wide, MAX_PATH))
        return false;
    return CopyFileW(wide, path.c_str(), FALSE) != 0;
}

bool InstallWizard(const std::string& folder)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyInto(ExeDir() + "\\olvst.chm", folder + "\\olvst.chm");
    return CopyInto(ExeDir() + "\\Tandrel.exe", folder + "\\Tandrel.exe");
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

void WalkInto(const std::string& folder, std::vector<std::string>& found)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != "." && name != "..")
                WalkInto(folder + "\\" + name, found);
        } else if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".dll") == 0) {
            found.push_back(folder + "\\" + name);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

} // namespace

std::vector<std::string> BareWalk(const std::string& folder)
{
    std::vector<std::string> found;
    WalkInto(folder, found);
    return found;
}

long RunProcess(const std::string& commandLine, DWORD timeoutMs)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -2;
    long code = -1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        code = static_cast<long>(exitCode);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

bool DropImportNameTables(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    auto at = [&](size_t offset, size_t size) { return offset + size <= image.size() ? &image[offset] : nullptr; };
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    auto* nt = dos ? reinterpret_cast<IMAGE_NT_HEADERS32*>(at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS32))) : nullptr;
    if (!nt)
        return false;
    DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    size_t table = reinterpret_cast<char*>(&nt->OptionalHeader) - image.data() + nt->FileHeader.SizeOfOptionalHeader;
    auto* sections = reinterpret_cast<IMAGE_SECTION_HEADER*>(
        at(table, nt->FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER)));
    for (WORD i = 0; sections && i < nt->FileHeader.NumberOfSections; ++i) {
        const IMAGE_SECTION_HEADER& section = sections[i];
        if (imports < section.VirtualAddress || imports >= section.VirtualAddress + section.SizeOfRawData)
            continue;
        size_t offset = section.PointerToRawData + (imports - section.VirtualAddress);
        int dropped = 0;
        for (IMAGE_IMPORT_DESCRIPTOR* import; (import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
                                                   at(offset, sizeof *import))) && import->Name;
             offset += sizeof *import, ++dropped)
            import->OriginalFirstThunk = 0;
        if (!dropped)
            return false;
        WriteBytes(path, image);
        return true;
    }
    return false;
}
