#include "probe/image.h"
#include "base/handles.h"
#include "base/text.h"

namespace {

// Reads size bytes at offset; false when the file is shorter.
bool ReadAt(HANDLE file, DWORD offset, void* buffer, DWORD size)
{
    DWORD got = 0;
    return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
           ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

const WORD MAX_SECTIONS = 96;
const int MAX_IMPORTS = 512;

struct Sections {
    IMAGE_SECTION_HEADER table[MAX_SECTIONS];
    WORD count;

    // The file offset of an address of the loaded image; 0 when no section holds it.
    DWORD offsetOf(DWORD rva) const
    {
        for (WORD i = 0; i < count; ++i) {
            const IMAGE_SECTION_HEADER& s = table[i];
            DWORD size = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size && rva - s.VirtualAddress < s.SizeOfRawData)
                return s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return 0;
    }
};

bool Findable(const char* name, const char* folder)
{
    char found[MAX_PATH];
    if (GetModuleHandleA(name) || SearchPathA(nullptr, name, nullptr, sizeof found, found, nullptr))
        return true;
    char beside[MAX_PATH];
    return CopyText(beside, folder) && AppendText(beside, name) &&
           GetFileAttributesA(beside) != INVALID_FILE_ATTRIBUTES;
}

// The first imported library that cannot be found, into missing.
bool FindMissingImport(HANDLE file, const IMAGE_DATA_DIRECTORY& imports, const Sections& sections,
                       const char* folder, char* missing, size_t missingSize)
{
    DWORD offset = imports.VirtualAddress ? sections.offsetOf(imports.VirtualAddress) : 0;
    for (int i = 0; offset && i < MAX_IMPORTS; ++i, offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!ReadAt(file, offset, &descriptor, sizeof descriptor) || !descriptor.Name)
            return false;
        DWORD nameOffset = sections.offsetOf(descriptor.Name);
        char name[MAX_PATH] = "";
        DWORD got = 0;
        if (!nameOffset || SetFilePointer(file, nameOffset, nullptr, FILE_BEGIN) != nameOffset ||
            !ReadFile(file, name, sizeof name - 1, &got, nullptr))
            continue;
        name[got] = 0;
        if (name[0] && !Findable(name, folder)) {
            CopyText(missing, missingSize, name);
            return true;
        }
    }
    return false;
}

} // namespace

ImageFinding InspectImage(const char* path, DWORD* detail, char* missing, size_t missingSize)
{
    *detail = 0;
    size_t length = strlen(path);
    if (length >= MAX_PATH) {
        *detail = static_cast<DWORD>(length);
        return IMAGE_PATH_TOO_LONG;
    }
    // The system answers a folder with "Access denied", which says nothing useful.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return IMAGE_FOLDER;
    KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file.isOpen())
        return IMAGE_NOTHING_FOUND;

    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header;
    if (!ReadAt(file, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !ReadAt(file, static_cast<DWORD>(dos.e_lfanew), &signature, sizeof signature) ||
        signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(file, static_cast<DWORD>(dos.e_lfanew) + sizeof signature, &header, sizeof header))
        return IMAGE_NOT_A_LIBRARY;

    *detail = header.Machine;
    switch (header.Machine) {
    case IMAGE_FILE_MACHINE_I386:
        break;
    case IMAGE_FILE_MACHINE_AMD64:
    case IMAGE_FILE_MACHINE_IA64:
    case 0xAA64:   // ARM64
        return IMAGE_64_BIT;
    default:
        return IMAGE_OTHER_MACHINE;
    }
    *detail = 0;

    DWORD optionalAt = static_cast<DWORD>(dos.e_lfanew) + sizeof signature + sizeof header;
    IMAGE_OPTIONAL_HEADER32 optional{};
    DWORD optionalSize = header.SizeOfOptionalHeader < sizeof optional ? header.SizeOfOptionalHeader : sizeof optional;
    if (!ReadAt(file, optionalAt, &optional, optionalSize) || optional.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC ||
        optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
        return IMAGE_NOTHING_FOUND;

    static Sections sections;   // 3.8 KB: kept off the stack
    sections.count = header.NumberOfSections < MAX_SECTIONS ? header.NumberOfSections : MAX_SECTIONS;
    if (!ReadAt(file, optionalAt + header.SizeOfOptionalHeader, sections.table,
                sections.count * sizeof(IMAGE_SECTION_HEADER)))
        return IMAGE_NOTHING_FOUND;

    char folder[MAX_PATH];
    CopyText(folder, path);
    if (char* slash = strrchr(folder, '\\'))
        slash[1] = 0;
    else
        folder[0] = 0;
    if (FindMissingImport(file, optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT], sections, folder, missing,
                          missingSize))
        return IMAGE_MISSING_LIBRARY;
    return IMAGE_NOTHING_FOUND;
}
