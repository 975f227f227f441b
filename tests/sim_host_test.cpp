// Machine folders and the host programs' command line.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "sim.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSample = fs::path(IDE_SOURCE_DIR) / "samples" / "win98-k6417";

std::string Read(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const fs::path &p, const std::string &bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

// Every entry below dir: relative path -> bytes ("<dir>" for a folder).
std::map<std::string, std::string> Tree(const fs::path &dir)
{
    std::map<std::string, std::string> t;
    for (const auto &e : fs::recursive_directory_iterator(dir))
        t[fs::relative(e.path(), dir).string()] = e.is_directory() ? "<dir>" : Read(e.path());
    return t;
}

// A copy of a sample PC in a new temporary folder, removed at the end.
class MachineFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/sim-host-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        tmp_ = pattern;
        dir_ = tmp_ / "pc";
        fs::copy(kSample, dir_, fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(tmp_); }

    int Host(const std::vector<std::string> &args)
    {
        std::ostringstream out, err;
        int status = sim::HostMain(sim::IdeSetup(), args, out, err);
        out_ = out.str();
        err_ = err.str();
        return status;
    }

    fs::path tmp_, dir_;
    std::string out_, err_;
};

TEST_F(MachineFolder, LoadedAndSavedUnchangedItIsTheSameFolder)
{
    const auto before = Tree(dir_);
    sim::Pc pc;
    pc.LoadFolder(dir_.string());
    EXPECT_EQ(pc.ExportRegistry(), Read(dir_ / "registry.reg")); // the sample is in the saved form
    EXPECT_TRUE(pc.HasFolder("C:\\WINDOWS\\OPTIONS\\CABS"));
    EXPECT_EQ(pc.Subkeys("HKEY_LOCAL_MACHINE\\Enum\\MF"), (std::vector<std::string>{"CHILD0000", "CHILD0001"}));

    sim::RunResult r = pc.Invoke([] {});
    EXPECT_TRUE(r.changes.empty());
    pc.SaveFolder(dir_.string());
    EXPECT_EQ(Tree(dir_), before);

    // Into an empty folder: the same machine.
    pc.SaveFolder((tmp_ / "again").string());
    sim::Pc again;
    again.LoadFolder((tmp_ / "again").string());
    EXPECT_EQ(again.ExportRegistry(), pc.ExportRegistry());
    EXPECT_EQ(again.Files(), pc.Files());
}

TEST_F(MachineFolder, MachineIniSetsWindowsAndPci)
{
    Write(dir_ / "machine.ini", "[Windows]\nVersion = NT ; a comment\nwindows = D:\\WIN\n[PCI]\n00:1f.0 = 1e6b:3c81\n");
    sim::Pc pc;
    pc.LoadFolder(dir_.string());
    pc.Invoke([] {
        EXPECT_EQ(GetVersion() & 0x80000000u, 0u);
        char folder[260];
        GetSystemDirectoryA(folder, sizeof folder);
        EXPECT_STREQ(folder, "D:\\WIN\\SYSTEM");
        PciWriteAddress(0x8000F800);
        EXPECT_EQ(PciReadData(), 0x3C811E6Bu);
    });
}

TEST_F(MachineFolder, TheProgramsChangesAreWrittenBack)
{
    EXPECT_EQ(Host({"--machine", dir_.string(), "--answers", "yes", "/D:K6417"}), 0);
    EXPECT_NE(out_.find("exit code=0\n"), std::string::npos);
    EXPECT_NE(out_.find("change created file C:\\WINDOWS\\SYSTEM\\iosubsys\\idevsd.vxd\n"), std::string::npos);
    EXPECT_EQ(Read(dir_ / "drive_c/WINDOWS/SYSTEM/IOSUBSYS/idevsd.vxd"), Read(kSample / "drive_a/idevsd.vxd"));

    // What the folder now holds is what the PC held at the end.
    sim::Pc pc;
    pc.LoadFolder(dir_.string());
    EXPECT_TRUE(pc.File("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\idevsd.vxd").has_value());
}

TEST_F(MachineFolder, AnswerNoChangesNothing)
{
    const auto before = Tree(dir_);
    EXPECT_EQ(Host({"--machine", dir_.string(), "--answers", "no", "--", "/D:K6417"}), 0);
    EXPECT_EQ(out_,
              "message-box caption=\"Orv IDE Driver Setup\" text=\"Are you sure to set up the BUS MASTER IDE "
              "driver?\" buttons=yes-no answer=no\nexit code=0\n");
    EXPECT_EQ(Tree(dir_), before);
}

TEST_F(MachineFolder, UsageAndMachineErrorsLeaveTheFolderAsItWas)
{
    struct Row {
        const char *what;
        std::vector<std::string> args;
        std::string registry; // replaces registry.reg when not empty
        const char *message;  // part of the message on stderr
    };
    const std::string d = dir_.string();
    const Row rows[] = {
        {"unknown answer", {"--machine", d, "--answers", "yes,maybe", "/D:K6417"}, "", "unknown answer \"maybe\""},
        {"answer the box does not offer", {"--machine", d, "--answers", "ok", "/D:K6417"}, "", "does not fit"},
        {"malformed registry line", {"--machine", d, "/D:K6417"}, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum]\r\nbroken\r\n",
         "registry.reg line 4"},
        {"missing folder", {"--machine", d + "-missing", "/D:K6417"}, "", "not found"},
        {"unknown option", {"--machine", d, "--frobnicate", "/D:K6417"}, "", "unknown option --frobnicate"},
    };
    for (const Row &r : rows) {
        if (!r.registry.empty())
            Write(dir_ / "registry.reg", r.registry);
        const auto before = Tree(dir_);
        EXPECT_EQ(Host(r.args), 2) << r.what;
        EXPECT_NE(err_.find(r.message), std::string::npos) << r.what << ": " << err_;
        EXPECT_EQ(Tree(dir_), before) << r.what;
        Write(dir_ / "registry.reg", Read(kSample / "registry.reg"));
    }
}

} // namespace
