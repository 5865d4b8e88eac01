// The built program itself: a 32-bit GUI program that needs no runtime DLL
// beyond the system's own.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "support/files.h"

namespace {

struct Image {
    std::vector<char> bytes;
    const IMAGE_NT_HEADERS32* headers = nullptr;

    template <class T> const T* at(DWORD offset) const
    {
        return offset + sizeof(T) <= bytes.size() ? reinterpret_cast<const T*>(&bytes[offset]) : nullptr;
    }
    DWORD fileOffset(DWORD rva) const
    {
        auto* section = IMAGE_FIRST_SECTION(headers);
        for (int i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
                return rva - section->VirtualAddress + section->PointerToRawData;
        return 0;
    }
};

Image Load(const std::string& path)
{
    Image image;
    std::ifstream file(path, std::ios::binary);
    image.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (auto* dos = image.at<IMAGE_DOS_HEADER>(0))
        image.headers = image.at<IMAGE_NT_HEADERS32>(dos->e_lfanew);
    return image;
}

std::vector<std::string> ImportedDlls(const Image& image)
{
    std::vector<std::string> names;
    const auto& directory = image.headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    DWORD offset = image.fileOffset(directory.VirtualAddress);
    for (auto* entry = image.at<IMAGE_IMPORT_DESCRIPTOR>(offset); entry && entry->Name; ++entry) {
        std::string name = &image.bytes[image.fileOffset(entry->Name)];
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        names.push_back(name);
    }
    return names;
}

} // namespace

TEST(Program, IsA32BitGuiProgramThatImportsOnlySystemLibraries)
{
    Image image = Load(ExeDir() + "\\Tandrel.exe");
    ASSERT_TRUE(image.headers);
    EXPECT_EQ(IMAGE_NT_SIGNATURE, image.headers->Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, image.headers->FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, image.headers->OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, image.headers->OptionalHeader.Subsystem);
    // Frame-based exception handlers must stay allowed in this image.
    EXPECT_FALSE(image.headers->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NO_SEH);

    std::vector<std::string> dlls = ImportedDlls(image);
    EXPECT_FALSE(dlls.empty());
    const std::vector<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                             "comctl32.dll", "ole32.dll",  "shell32.dll", "version.dll",
                                             "imm32.dll", "msvcrt.dll"};
    for (const std::string& dll : dlls)
        EXPECT_NE(system.end(), std::find(system.begin(), system.end(), dll)) << dll << " is not a system library";
}
