// The simulated PC's own semantics, through the Win32 calls the programs make.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>

#include "sim.h"

namespace {

// A run of body on pc that must not end through ExitProcess.
void On(sim::Pc &pc, const std::function<void()> &body) { pc.Invoke(body); }

TEST(SimPc, SubkeysEnumerateInCreationOrderAndNamesMustFitTheCallersSize)
{
    sim::Pc pc;
    const std::string branch = "HKEY_LOCAL_MACHINE\\Enum\\PCI";
    const std::string fits(127, 'f'), tooLong(128, 'x');
    for (const std::string &name : {std::string("Zeta"), std::string("alpha"), fits, tooLong, std::string("Beta")})
        pc.AddKey(branch + "\\" + name);

    struct Row {
        DWORD index;
        LONG result;
        std::string name;
    };
    const Row rows[] = {{0, ERROR_SUCCESS, "Zeta"}, {1, ERROR_SUCCESS, "alpha"}, {2, ERROR_SUCCESS, fits},
                        {3, ERROR_MORE_DATA, ""},  {4, ERROR_SUCCESS, "Beta"},  {5, ERROR_NO_MORE_ITEMS, ""}};
    On(pc, [&] {
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "enum\\pci", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        for (const Row &r : rows) {
            char name[128] = "";
            DWORD size = sizeof name;
            EXPECT_EQ(RegEnumKeyExA(key, r.index, name, &size, nullptr, nullptr, nullptr, nullptr), r.result)
                << "index " << r.index;
            if (r.result == ERROR_SUCCESS) {
                EXPECT_EQ(std::string(name), r.name);
                EXPECT_EQ(size, r.name.size());
            }
        }
        RegCloseKey(key);
    });
}

TEST(SimPc, QueryValueReportsTypeAndSizeAndRefusesShortBuffers)
{
    sim::Pc pc;
    const std::string key = "HKEY_LOCAL_MACHINE\\Enum\\PCI\\DEV\\INST";
    pc.SetValue(key, "Class", sim::Sz("hdc")); // 4 bytes with the NUL

    struct Row {
        const char *value;
        DWORD buffer; // 0: no buffer, ask for the size
        LONG result;
        DWORD size;
    };
    const Row rows[] = {{"Class", 4, ERROR_SUCCESS, 4}, {"CLASS", 128, ERROR_SUCCESS, 4},
                        {"Class", 3, ERROR_MORE_DATA, 4}, {"Class", 0, ERROR_SUCCESS, 4},
                        {"Driver", 128, ERROR_FILE_NOT_FOUND, 128}};
    On(pc, [&] {
        HKEY h;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\DEV\\INST", 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
        for (const Row &r : rows) {
            BYTE data[128];
            std::memset(data, '?', sizeof data);
            DWORD size = r.buffer, type = 99;
            LONG got = RegQueryValueExA(h, r.value, nullptr, &type, r.buffer ? data : nullptr, &size);
            EXPECT_EQ(got, r.result) << r.value << " into " << r.buffer;
            EXPECT_EQ(size, r.size) << r.value << " into " << r.buffer;
            if (got == ERROR_SUCCESS) {
                EXPECT_EQ(type, DWORD(REG_SZ));
                if (r.buffer)
                    EXPECT_STREQ(reinterpret_cast<char *>(data), "hdc");
            }
        }
        RegCloseKey(h);
    });
}

TEST(SimPc, DeletingAKeyTakesItsTreeAndItsOpenHandlesFailSafely)
{
    sim::Pc pc;
    pc.AddKey("HKEY_LOCAL_MACHINE\\Enum\\SCSI\\DISK\\0000");
    pc.AddKey("HKEY_LOCAL_MACHINE\\Enum\\PCI");
    sim::RunResult r = pc.Invoke([] {
        HKEY disk, enumKey;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\SCSI\\DISK", 0, KEY_ALL_ACCESS, &disk);
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum", 0, KEY_ALL_ACCESS, &enumKey);
        EXPECT_EQ(RegDeleteKeyA(enumKey, "scsi"), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteKeyA(enumKey, "SCSI"), ERROR_FILE_NOT_FOUND);
        char name[128];
        DWORD size = sizeof name;
        EXPECT_NE(RegEnumKeyExA(disk, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        HKEY missing = HKEY_LOCAL_MACHINE;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\SCSI", 0, KEY_ALL_ACCESS, &missing),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(missing, nullptr);
        RegCloseKey(disk);
        RegCloseKey(enumKey);
    });
    EXPECT_FALSE(pc.HasKey("HKEY_LOCAL_MACHINE\\Enum\\SCSI"));
    EXPECT_TRUE(pc.HasKey("HKEY_LOCAL_MACHINE\\Enum\\PCI"));
    EXPECT_EQ(r.changes, std::vector<std::string>{"change deleted key HKEY_LOCAL_MACHINE\\Enum\\SCSI"});
}

TEST(SimPc, PathsIgnoreCaseAndNewFilesKeepTheCaseWritten)
{
    sim::Pc pc;
    pc.AddFile("C:\\WINDOWS\\INF\\MSHDC.INF", "old contents");
    sim::RunResult r = pc.Invoke([] {
        HANDLE h = CreateFileA("c:\\windows\\inf\\mshdc.inf", GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        // CREATE_ALWAYS empties an existing file and keeps its name.
        h = CreateFileA("C:\\Windows\\Inf\\mshdc.inf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(h);
        h = CreateFileA("C:\\windows\\inf\\New.Inf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD n = 0;
        WriteFile(h, "x", 1, &n, nullptr);
        CloseHandle(h);
        // No file in a missing folder.
        EXPECT_EQ(CreateFileA("C:\\WINDOWS\\NOWHERE\\A.TXT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
        OFSTRUCT of;
        EXPECT_EQ(OpenFile("C:\\WINDOWS\\INF\\GONE.INF", &of, OF_EXIST), HFILE_ERROR);
        HFILE f = OpenFile("C:\\WINDOWS\\INF\\NEW.INF", &of, OF_EXIST);
        EXPECT_NE(f, HFILE_ERROR);
        _lclose(f);
    });
    EXPECT_EQ(pc.File("C:\\WINDOWS\\INF\\MSHDC.INF"), "");
    EXPECT_EQ(pc.Files(), (std::vector<std::string>{"C:\\WINDOWS\\INF\\MSHDC.INF", "C:\\WINDOWS\\INF\\New.Inf"}));
    EXPECT_EQ(r.changes, (std::vector<std::string>{"change modified file C:\\WINDOWS\\INF\\MSHDC.INF",
                                                   "change created file C:\\windows\\inf\\New.Inf"}));
}

TEST(SimPc, CopyFileOverwritesAndRefusesWhatWindowsRefuses)
{
    struct Row {
        const char *from, *to;
        BOOL ok;
        DWORD error;
    };
    const Row rows[] = {
        {"A:\\k6417.mpd", "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\K6417.MPD", TRUE, 0}, // overwrites the old one
        {"A:\\k6417.mpd", "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\idevsd.vxd", TRUE, 0},
        {"A:\\missing.mpd", "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\missing.mpd", FALSE, ERROR_FILE_NOT_FOUND},
        {"A:\\k6417.mpd", "C:\\WINDOWS\\SYSTEM\\NOSUCH\\k6417.mpd", FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\x", FALSE, ERROR_ACCESS_DENIED},
    };
    for (const Row &r : rows) {
        sim::Pc pc;
        pc.AddFile("A:\\k6417.mpd", "new driver");
        pc.AddFile("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\k6417.mpd", "old driver");
        BOOL ok = FALSE;
        DWORD error = 0;
        pc.Invoke([&] {
            ok = CopyFileA(r.from, r.to, FALSE);
            error = ok ? 0 : GetLastError();
        });
        EXPECT_EQ(ok, r.ok) << r.from << " -> " << r.to;
        EXPECT_EQ(error, r.error) << r.from << " -> " << r.to;
        if (r.ok)
            EXPECT_EQ(pc.File(r.to), "new driver");
        else
            EXPECT_EQ(pc.File("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\k6417.mpd"), "old driver");
    }
}

TEST(SimPc, FoldersFollowTheWin32SizeRule)
{
    sim::Pc pc;
    pc.SetWindowsFolder("C:\\WIN98");
    pc.Invoke([] {
        char small[8] = "unset";
        EXPECT_EQ(GetWindowsDirectoryA(small, 8), 9u); // needs 9 with the NUL
        EXPECT_STREQ(small, "unset");
        char fits[9];
        EXPECT_EQ(GetWindowsDirectoryA(fits, 9), 8u);
        EXPECT_STREQ(fits, "C:\\WIN98");
        char system[260];
        GetSystemDirectoryA(system, sizeof system);
        EXPECT_STREQ(system, "C:\\WIN98\\SYSTEM");
    });
}

TEST(SimPc, MessageBoxesTakeTheScriptThenTheirFirstButton)
{
    sim::Pc pc;
    pc.SetAnswers({"no"});
    sim::RunResult r = pc.Invoke([] {
        EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Title", MB_YESNO), IDNO);
        EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Title", MB_YESNO), IDYES);
        EXPECT_EQ(MessageBoxA(nullptr, "q\"b\\s\tt\r\n\x01", nullptr, MB_OK), IDOK);
    });
    EXPECT_EQ(r.Transcript(),
              "message-box caption=\"Title\" text=\"Go on?\" buttons=yes-no answer=no\n"
              "message-box caption=\"Title\" text=\"Go on?\" buttons=yes-no answer=yes\n"
              "message-box caption=null text=\"q\\\"b\\\\s\\tt\\r\\n\\x01\" buttons=ok answer=ok\n"
              "exit code=0\n");

    // At a terminal the person answers once the script has run out.
    std::istringstream typed("maybe\nn\n");
    std::ostringstream screen;
    pc.SetInteractive(true);
    pc.SetTerminal(typed, screen);
    pc.SetAnswers({});
    pc.Invoke([] { EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Title", MB_YESNO), IDNO); });
    EXPECT_NE(screen.str().find("Go on?"), std::string::npos);
    EXPECT_NE(screen.str().find("[ Yes ]"), std::string::npos);

    pc.SetAnswers({"ok"}); // a yes/no box has no OK button
    EXPECT_THROW(pc.Invoke([] { MessageBoxA(nullptr, "Go on?", "Title", MB_YESNO); }), sim::MachineError);
}

TEST(SimPc, ExitProcessFromInsideTheProgramReturnsToRun)
{
    sim::Pc pc;
    // No driver switch: the command-line parser shows its message and ends
    // the process from deep inside the system's code.
    sim::RunResult r = pc.Run(sim::IdeSetup(), "");
    EXPECT_TRUE(r.exitedViaExitProcess);
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.Lines("message-box").size(), 1u);
    EXPECT_EQ(r.Lines("exit"), std::vector<std::string>{"exit code=0"});
}

TEST(SimPc, RestartAndTheSimulatedClock)
{
    sim::Pc pc;
    pc.SetVersion(sim::Version::NT);
    pc.Fail({"ExitWindowsEx", 2, 5});
    sim::RunResult r = pc.Invoke([] {
        EXPECT_EQ(GetVersion() & 0x80000000u, 0u);
        OutputDebugStringA("Setting token");
        Sleep(30000);
        HANDLE token = nullptr;
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
        TOKEN_PRIVILEGES tp = {};
        tp.PrivilegeCount = 1;
        EXPECT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
        EXPECT_FALSE(AdjustTokenPrivileges(nullptr, FALSE, &tp, 0, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
        EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
        EXPECT_EQ(GetLastError(), 5u);
    });
    EXPECT_EQ(r.Transcript(), "debug-output text=\"Setting token\"\n"
                              "sleep ms=30000\n"
                              "restart flags=2 result=1\n"
                              "restart flags=2 result=0\n"
                              "exit code=0\n");
}

TEST(SimPc, FormatsLikeWsprintf)
{
    struct Row {
        const char *expected;
        std::function<int(char *)> format;
    };
    const Row rows[] = {
        {"Error ExitWindows Error #5", [](char *b) { return wsprintfA(b, "Error ExitWindows Error #%d", 5); }},
        {"-12|  7|007|4294967295", [](char *b) { return wsprintfA(b, "%i|%3d|%03u|%u", -12, 7, 7u, 0xFFFFFFFFu); }},
        {"1e6b 3C91 x % ab  ", [](char *b) { return wsprintfA(b, "%x %X %c %% %-4s", 0x1e6b, 0x3c91, 'x', "ab"); }},
    };
    sim::Pc pc;
    pc.Invoke([&] {
        for (const Row &r : rows) {
            char buffer[100];
            EXPECT_EQ(r.format(buffer), int(std::strlen(r.expected)));
            EXPECT_STREQ(buffer, r.expected);
        }
    });
}

TEST(SimPc, PciReadsAnswerTheLatchedRegisterZeroOnly)
{
    sim::Pc pc;
    pc.AddPciDevice(0, 7, 0, 0x1E6B, 0x3C91);
    struct Row {
        DWORD address, value;
    };
    const Row rows[] = {{0x80003800, 0x3C911E6B},  // bus 0, device 7, function 0, register 0
                        {0x00003800, 0xFFFFFFFF},  // enable bit clear
                        {0x80003804, 0xFFFFFFFF},  // another register
                        {0x80003900, 0xFFFFFFFF},  // function 1
                        {0x80013800, 0xFFFFFFFF}}; // bus 1
    pc.Invoke([&] {
        for (const Row &r : rows) {
            PciWriteAddress(r.address);
            EXPECT_EQ(PciReadData(), r.value) << std::hex << r.address;
        }
    });
    EXPECT_EQ(pc.PciAddressWrites(), 5);
    EXPECT_EQ(pc.PciDataReads(), 5);
    EXPECT_EQ(pc.LastPciAddress(), 0x80013800u);
}

TEST(SimPc, TheNthFileOrRegistryCallFails)
{
    sim::Pc pc;
    pc.AddFile("A:\\idevsd.vxd", "vxd");
    pc.FailNthIoCall(2, ERROR_WRITE_FAULT);
    pc.Invoke([] {
        HKEY key;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum", 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
        EXPECT_FALSE(CopyFileA("A:\\idevsd.vxd", "C:\\WINDOWS\\SYSTEM\\idevsd.vxd", FALSE));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_WRITE_FAULT));
        EXPECT_TRUE(CopyFileA("A:\\idevsd.vxd", "C:\\WINDOWS\\SYSTEM\\idevsd.vxd", FALSE));
    });
    EXPECT_EQ(pc.IoCallCount(), 3);
}

} // namespace
