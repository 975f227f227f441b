// limits_test.cpp - the fixed buffers, met on purpose at their edges where
// the programs meet them: the command-line tail at the entry points, value
// buffers one byte either side of their size, class INF lines cut into
// 254-character pieces by the remover's check, and folders too long for the
// paths composed from them. (The tokenizer's command-line limits, the key
// name limits of the walks and the patcher's long lines have tests of their
// own.)
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cleanup.h"
#include "record.h"
#include "remove.h"
#include "setup.h"
#include "sim.h"
#include "text.h"

namespace {

const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
const std::string kChild0 = "Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_07&FUNC_01";
const std::string kClass = "System\\CurrentControlSet\\Services\\Class";
const std::string kDriverKey = kClass + "\\hdc\\0001";
const char kPrimary[] = "%MF\\MASTERPRIMARY.DeviecDesc% = MASTER_IDE\r\n";

// text, then NULs up to size bytes: a value that the registry hands over
// only to a buffer of at least size bytes, and that still reads as text.
sim::Value Padded(const std::string &text, size_t size)
{
    return sim::Binary(text + std::string(size - text.size(), '\0'));
}

void InProgram(sim::Pc &pc, int program, const std::function<void()> &body,
               sim::RunResult *run = nullptr)
{
    sim::RunResult r = pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Program = program;
        ProgramState.Variant = K6417;
        body();
    });
    if (run)
        *run = r;
}

// --- The command-line tail at both entry points ---

TEST(Limits, EntryPointsTakeA259CharacterTailAndRefuseA260CharacterOne)
{
    const char kFormat[] = "message-box caption=\"SET UP ERROR!\" text=\"Command line parameter "
                           "format error! \" buttons=ok answer=ok";
    for (const sim::Program *program : {&sim::IdeSetup(), &sim::IdeRemove()}) {
        for (size_t length : {259u, 260u}) {
            SCOPED_TRACE(std::string(program->name) + " " + std::to_string(length));
            const std::string tail = "/D:K6417 /" + std::string(length - 10, 'X');
            ASSERT_EQ(tail.size(), length);
            sim::Pc pc;
            const bool fits = length == 259;
            if (fits)
                pc.SetAnswers({"no"}); // stop at the confirmation
            sim::RunResult run = pc.Run(*program, tail);
            std::vector<std::string> boxes = run.Lines("message-box");
            ASSERT_EQ(boxes.size(), 1u);
            if (fits)
                EXPECT_NE(boxes[0].find("Are you sure"), std::string::npos) << boxes[0];
            else
                EXPECT_EQ(boxes[0], kFormat);
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_TRUE(run.changes.empty());
        }
    }
}

// --- Values one byte within and one byte beyond their buffers ---

struct ValueEdge {
    const char *name;
    size_t size;  // bytes of the value
    bool taken;   // read and used
};

TEST(Limits, DriverValueOf128BytesIsReadAnd129AreNot)
{
    for (const ValueEdge &c : {ValueEdge{"128 bytes", 128, true}, ValueEdge{"129 bytes", 129, false}}) {
        SCOPED_TRACE(c.name);
        sim::Pc pc;
        pc.SetValue(kHklm + kChild0, "Driver", Padded("hdc\\0001", c.size));
        DeviceSlot slot{};
        InProgram(pc, PROGRAM_SETUP, [&] { ReadDriverKey(&slot, kChild0.c_str()); });
        EXPECT_EQ(std::string(slot.DriverKey), c.taken ? kDriverKey : "");
    }
}

TEST(Limits, ClassValueOf128BytesMatchesAnd129DoNot)
{
    for (const ValueEdge &c : {ValueEdge{"128 bytes", 128, true}, ValueEdge{"129 bytes", 129, false}}) {
        SCOPED_TRACE(c.name);
        sim::Pc pc;
        const std::string device = kHklm + "Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01";
        pc.SetValue(device + "\\BUS_00&DEV_07&FUNC_01", "Class", Padded("hdc", c.size));
        pc.Invoke([] { ClearPciHdcDevices(); });
        EXPECT_EQ(pc.HasKey(device), !c.taken);
    }
}

// The remover reads "PortDriver" and "InfPath" into 260 bytes, the
// installer "InfPath" into 128.
TEST(Limits, PortDriverAndInfPathBuffersOfEachProgram)
{
    struct Case {
        const char *name;
        int program;
        const char *value;
        size_t size;
        bool taken;
    };
    const Case cases[] = {
        {"remover: PortDriver of 260 bytes passes the gate", PROGRAM_REMOVE, "PortDriver", 260, true},
        {"remover: PortDriver of 261 bytes ends the remover", PROGRAM_REMOVE, "PortDriver", 261, false},
        {"remover: InfPath of 260 bytes", PROGRAM_REMOVE, "InfPath", 260, true},
        {"remover: InfPath of 261 bytes", PROGRAM_REMOVE, "InfPath", 261, false},
        {"installer: InfPath of 128 bytes", PROGRAM_SETUP, "InfPath", 128, true},
        {"installer: InfPath of 129 bytes", PROGRAM_SETUP, "InfPath", 129, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Pc pc;
        pc.AddFile("C:\\WINDOWS\\INF\\OTHER\\oem1.inf", "[Version]\r\n");
        const bool port = std::string(c.value) == "PortDriver";
        pc.SetValue(kHklm + kDriverKey, "PortDriver", port ? Padded("k6417.mpd", c.size) : sim::Sz("k6417.mpd"));
        pc.SetValue(kHklm + kDriverKey, "InfPath", port ? sim::Sz("oem1.inf") : Padded("oem1.inf", c.size));
        InstalledDriverRecord record{};
        CopyText(record.Slots[1].DriverKey, REG_PATH_SIZE, kDriverKey.c_str());
        sim::RunResult run;
        InProgram(pc, c.program, [&] { FindDriverInf(&record); }, &run);
        if (port) {
            EXPECT_EQ(run.exitedViaExitProcess, !c.taken);
            EXPECT_EQ(run.Lines("message-box").size(), c.taken ? 0u : 1u);
        } else {
            EXPECT_EQ(std::string(record.InfFile), c.taken ? "C:\\WINDOWS\\inf\\other\\oem1.inf" : "");
        }
    }
}

// --- Class INF lines in 254-character pieces: the remover's check ---

TEST(Limits, DriverCheckJudgesEachPieceOfALongLine)
{
    struct Case {
        const char *name;
        std::string classInf;
        int installed;
    };
    const std::string comment254 = "; " + std::string(252, 'c');
    const Case cases[] = {
        {"a header in the second piece of a long line opens the section",
         comment254 + "[ORV_HDC]\r\n" + kPrimary, 1},
        {"a model key in the second piece counts", "[ORV_HDC]\r\n" + comment254 + kPrimary, 1},
        {"a line of 253 characters is one piece", "[ORV_HDC]\r\nA=" + std::string(251, 'a') + "\r\n" + kPrimary, 1},
        {"after 254 characters the newline arrives alone and ends the section",
         "[ORV_HDC]\r\nA=" + std::string(252, 'a') + "\r\n" + kPrimary, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Pc pc;
        pc.AddFile("C:\\WINDOWS\\INF\\MSHDC.INF", c.classInf);
        int installed = -1;
        InProgram(pc, PROGRAM_REMOVE, [&] { installed = IsDriverInstalled(); });
        EXPECT_EQ(installed, c.installed);
    }
}

// --- Folders too long for the compositions ---

// "C:\" and n characters: a folder of n + 3 characters.
std::string Folder(size_t n, char fill) { return "C:\\" + std::string(n, fill); }

TEST(Limits, DriverCopiesNeedPathsOfAt259Characters)
{
    struct Case {
        const char *name;
        size_t current, system; // folder lengths
        bool copied;
    };
    // Source: current + "\k6417.mpd" (10); destination: system + "\iosubsys\k6417.mpd" (19).
    const Case cases[] = {
        {"source of 259 characters", 249, 10, true},
        {"source of 260 characters", 250, 10, false},
        {"destination of 259 characters", 10, 240, true},
        {"destination of 260 characters", 10, 241, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Pc pc;
        const std::string current = Folder(c.current - 3, 'D'), system = Folder(c.system - 3, 'S');
        pc.SetCurrentFolder(current);
        pc.SetSystemFolder(system);
        pc.AddFile(current + "\\k6417.mpd", "DRIVER");
        pc.AddFolder(system + "\\IOSUBSYS");
        pc.Invoke([] {
            ProgramState = ProgramStateData{};
            CopyText(ProgramState.DriverFile, sizeof ProgramState.DriverFile, "k6417.mpd");
            CopyDriverFiles();
        });
        EXPECT_EQ(pc.File(system + "\\IOSUBSYS\\k6417.mpd").has_value(), c.copied);
    }
}

TEST(Limits, RemoverDeletesOnlyThroughPathsThatFit)
{
    // system + "\iosubsys\k6417.mpd" (19): 259 characters with a folder of 240.
    for (size_t length : {240u, 241u}) {
        SCOPED_TRACE(length);
        sim::Pc pc;
        const std::string system = Folder(length - 3, 'S');
        pc.SetSystemFolder(system);
        pc.AddFile(system + "\\IOSUBSYS\\k6417.mpd", "DRIVER");
        InstalledDriverRecord record{};
        InProgram(pc, PROGRAM_REMOVE, [&] { DeleteInstalledDriver(&record, 1); });
        EXPECT_EQ(pc.File(system + "\\IOSUBSYS\\k6417.mpd").has_value(), length == 241);
    }
}

TEST(Limits, DriverCheckNeedsAClassInfPathOfAt259Characters)
{
    // windows + "\inf\mshdc.inf" (14): 259 characters with a folder of 245.
    for (size_t length : {245u, 246u}) {
        SCOPED_TRACE(length);
        sim::Pc pc;
        const std::string windows = Folder(length - 3, 'W');
        pc.SetWindowsFolder(windows);
        pc.AddFile(windows + "\\INF\\MSHDC.INF", std::string("[ORV_HDC]\r\n") + kPrimary);
        int installed = -1;
        InProgram(pc, PROGRAM_REMOVE, [&] { installed = IsDriverInstalled(); });
        EXPECT_EQ(installed, length == 245 ? 1 : 0);
    }
}

// Both programs on the K6417 sample with Windows and system folders of 250
// characters: every file operation under them is skipped, the run still
// ends in the restart with exit code 0, and only registry keys change.
TEST(Limits, WholeRunsWithFoldersTooLongForEveryPath)
{
    for (const sim::Program *program : {&sim::IdeSetup(), &sim::IdeRemove()}) {
        SCOPED_TRACE(program->name);
        sim::Pc pc;
        pc.LoadFolder(std::string(IDE_SOURCE_DIR) + "/samples/win98-k6417");
        const std::string windows = Folder(247, 'W');
        const std::string classInf = *pc.File("C:\\WINDOWS\\INF\\MSHDC.INF");
        pc.SetWindowsFolder(windows);
        pc.SetSystemFolder(windows + "\\SYSTEM");
        pc.AddFile(windows + "\\INF\\MSHDC.INF", classInf);
        pc.AddFile(windows + "\\INF\\MSHDC.ING", classInf);
        pc.AddFile(windows + "\\SYSTEM\\IOSUBSYS\\k6417.mpd", "DRIVER");
        pc.SetAnswers({"yes"});
        sim::RunResult run = pc.Run(*program, "/D:K6417");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.Lines("restart").size(), 1u) << run.Transcript();
        for (const std::string &change : run.changes)
            EXPECT_EQ(change.find("change deleted key "), 0u) << change;
    }
}

} // namespace
