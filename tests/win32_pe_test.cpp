// win32_pe_test.cpp - the Windows executables are images that Windows 95
// loads: i386, GUI subsystem, OS and subsystem version 4.0, under 32 KiB,
// and importing only functions that Windows 95's KERNEL32, USER32 and
// ADVAPI32 export. The images come from the win32 preset's build.
#include "pe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

namespace {

const char *const kPrograms[] = {"idesetup.exe", "ideremove.exe"};

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Every function the programs may import, by DLL (names in capitals). All
// of them are exported by the first release of Windows 95; a call that is
// newer must not be imported, or the program does not start there. A new
// platform call joins this list only after checking that.
const std::map<std::string, std::set<std::string>> &Windows95Exports()
{
    static const std::map<std::string, std::set<std::string>> exports = {
        {"KERNEL32.DLL",
         {"CloseHandle", "CopyFileA", "CreateFileA", "DeleteFileA", "ExitProcess",
          "FreeLibrary", "GetCommandLineA", "GetCurrentDirectoryA", "GetCurrentProcess",
          "GetLastError", "GetModuleHandleA", "GetProcAddress", "GetSystemDirectoryA",
          "GetVersion", "GetWindowsDirectoryA", "LoadLibraryA", "OpenFile", "OutputDebugStringA",
          "ReadFile", "Sleep", "WriteFile", "_lclose", "lstrcatA", "lstrcmpA", "lstrcmpiA",
          "lstrcpyA", "lstrlenA"}},
        {"USER32.DLL",
         {"CheckRadioButton", "DialogBoxParamA", "EndDialog", "ExitWindowsEx", "MessageBoxA",
          "wsprintfA"}},
        {"ADVAPI32.DLL",
         {"AdjustTokenPrivileges", "LookupPrivilegeValueA", "OpenProcessToken", "RegCloseKey",
          "RegDeleteKeyA", "RegEnumKeyExA", "RegOpenKeyExA", "RegQueryValueExA"}},
    };
    return exports;
}

std::string ExePath(const std::string &name)
{
    return std::string(IDE_SOURCE_DIR) + "/build/win32/bin/" + name;
}

// Loads and parses one program; a missing file is a failure, not a skip:
// the check is only worth something when the executables are there.
bool LoadImage(const std::string &name, std::vector<uint8_t> *bytes, PeImage *image)
{
    std::ifstream in(ExePath(name), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << ExePath(name) << " is missing: build the win32 preset first "
                      << "(cmake --preset win32 && cmake --build --preset win32)";
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string error;
    if (!ParsePeImage(*bytes, image, &error)) {
        ADD_FAILURE() << name << " is not a readable PE32 image: " << error;
        return false;
    }
    return true;
}

TEST(Win32Executables, AreWindows95GuiImagesUnder32KiB)
{
    for (const char *name : kPrograms) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes;
        PeImage image;
        if (!LoadImage(name, &bytes, &image))
            continue;
        EXPECT_LT(bytes.size(), 32768u);
        EXPECT_EQ(image.Machine, 0x14c) << "i386";
        EXPECT_EQ(image.Subsystem, 2) << "Windows GUI";
        EXPECT_EQ(image.MajorOsVersion, 4);
        EXPECT_EQ(image.MinorOsVersion, 0);
        EXPECT_EQ(image.MajorSubsystemVersion, 4);
        EXPECT_EQ(image.MinorSubsystemVersion, 0);
    }
}

TEST(Win32Executables, ImportOnlyWhatWindows95Exports)
{
    const auto &exports = Windows95Exports();
    for (const char *name : kPrograms) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes;
        PeImage image;
        if (!LoadImage(name, &bytes, &image))
            continue;
        EXPECT_FALSE(image.HasDelayImports);
        std::set<std::string> seen;
        for (const PeImport &import : image.Imports) {
            auto dll = exports.find(Upper(import.Dll));
            if (dll == exports.end()) {
                ADD_FAILURE() << "imports from " << import.Dll;
                continue;
            }
            if (import.ByOrdinal) {
                ADD_FAILURE() << "imports ordinal " << import.Ordinal << " of " << import.Dll;
                continue;
            }
            EXPECT_TRUE(dll->second.count(import.Function))
                << import.Dll << "!" << import.Function << " is not on the Windows 95 list";
            seen.insert(import.Function);
        }
        // The start-up code's own imports: proof that the table was read
        // at all, since an empty one would pass every check above.
        for (const char *needed : {"GetCommandLineA", "GetModuleHandleA", "ExitProcess",
                                   "MessageBoxA"})
            EXPECT_TRUE(seen.count(needed)) << "no import of " << needed;
    }
}

} // namespace
