// copyfiles_test.cpp - copying the driver file and idevsd.vxd from the
// driver disk into iosubsys.
#include <gtest/gtest.h>

#include <string>

#include "setup.h"
#include "sim.h"
#include "text.h"

namespace {

const std::string kIosubsys = "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\";

struct CopyCase {
    const char *name;
    const char *current;    // the folder the installer was started in
    const char *driverFile; // ProgramState.DriverFile
    bool withDriverSource, withIosubsys;
    bool driverCopied, vxdCopied;
};

const CopyCase kCases[] = {
    {"drive root", "A:\\", "k6417.mpd", true, true, true, true},
    {"sub folder", "A:\\WIN98", "k6417.mpd", true, true, true, true},
    {"missing driver source", "A:\\", "k6417.mpd", false, true, false, true},
    {"no driver file named", "A:\\", "", true, true, false, true},
    {"no iosubsys folder", "A:\\", "k6417.mpd", true, false, false, false},
};

TEST(CopyDriverFiles, CopiesFromTheCurrentFolderAndOverwrites)
{
    for (const CopyCase &c : kCases) {
        SCOPED_TRACE(c.name);
        sim::Pc pc;
        const std::string disk = std::string(c.current) + (c.current[3] ? "\\" : "");
        pc.SetCurrentFolder(c.current);
        pc.AddFolder(disk);
        if (c.withDriverSource)
            pc.AddFile(disk + "k6417.mpd", "NEW DRIVER");
        pc.AddFile(disk + "idevsd.vxd", "NEW VXD");
        if (c.withIosubsys) {
            pc.AddFile(kIosubsys + "K6417.MPD", "OLD DRIVER");
            pc.AddFile(kIosubsys + "IDEVSD.VXD", "OLD VXD");
        }
        int result = 0;
        pc.Invoke([&] {
            ProgramState = ProgramStateData{};
            CopyText(ProgramState.DriverFile, sizeof ProgramState.DriverFile, c.driverFile);
            result = CopyDriverFiles();
        });
        EXPECT_EQ(result, 1);
        if (!c.withIosubsys) {
            EXPECT_FALSE(pc.HasFolder(kIosubsys));
            continue;
        }
        EXPECT_EQ(*pc.File(kIosubsys + "k6417.mpd"), c.driverCopied ? "NEW DRIVER" : "OLD DRIVER");
        EXPECT_EQ(*pc.File(kIosubsys + "idevsd.vxd"), c.vxdCopied ? "NEW VXD" : "OLD VXD");
    }
}

TEST(Text, JoinPathNeverDoublesABackslashAndRefusesWhatDoesNotFit)
{
    struct Row {
        const char *folder, *name;
        int size;
        const char *expected; // nullptr: refused
    } rows[] = {
        {"A:\\", "k6417.mpd", 260, "A:\\k6417.mpd"},
        {"A:\\DISK", "k6417.mpd", 260, "A:\\DISK\\k6417.mpd"},
        {"C:\\WINDOWS", "", 260, "C:\\WINDOWS\\"},
        {"C:\\W", "abc", 10, "C:\\W\\abc"},
        {"C:\\W", "abcd", 10, "C:\\W\\abcd"},
        {"C:\\W", "abcde", 10, nullptr},
    };
    for (const Row &r : rows) {
        char out[260] = "garbage";
        int ok = JoinPath(out, r.size, r.folder, r.name);
        EXPECT_EQ(ok, r.expected != nullptr) << r.folder << " + " << r.name;
        EXPECT_STREQ(out, r.expected ? r.expected : "");
    }
}

} // namespace
