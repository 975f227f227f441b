// classinf_test.cpp - the class INF patch and its commit: golden files per
// variant, the patcher's paths, the already-installed stop, the failures
// that must keep the class INF as it was, and whole runs of the installer.
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "classinf.h"
#include "inftexts.h"
#include "sim.h"
#include "testsupport.h"

namespace {

const std::string kInf = "C:\\WINDOWS\\INF\\";
const std::string kClassInf = kInf + "MSHDC.INF";
const std::string kWork = kInf + "MSHDC.1";
const std::string kBackup = kInf + "MSHDC.ING";
const std::string kVendor = "A:\\ORVHDD.INF";
const char kAlreadyInstalled[] =
    "message-box caption=\"SET UP ERROR!\" text=\"Driver already has been installed! Setup fail! \" "
    "buttons=ok answer=ok";

using testsupport::Crlf;

std::string Replace(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string ReadData(const std::string &relative)
{
    std::ifstream in(std::string(IDE_SOURCE_DIR) + "/tests/data/classinf/" + relative,
                     std::ios::binary);
    EXPECT_TRUE(in.good()) << relative;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Run PatchClassInf for a variant, as the installer's step does.
int Patch(sim::Pc &pc, DriverVariant variant, sim::RunResult *run = nullptr,
          std::string *driverFile = nullptr)
{
    int result = -1;
    sim::RunResult r = pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Program = PROGRAM_SETUP;
        ProgramState.Variant = variant;
        result = PatchClassInf();
        if (driverFile)
            *driverFile = ProgramState.DriverFile;
    });
    if (run)
        *run = r;
    return result;
}

int Commit(sim::Pc &pc)
{
    int result = -1;
    pc.Invoke([&] { result = CommitClassInf(); });
    return result;
}

// What WriteDriverSections writes for a variant over the vendor INFs of from.
std::string DriverSections(const sim::Pc &from, DriverVariant variant)
{
    sim::Pc pc;
    for (const char *vendorInf : {"A:\\ORVHDD.INF", "A:\\KQHDD.INF"})
        if (auto bytes = from.File(vendorInf))
            pc.AddFile(vendorInf, *bytes);
    pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Variant = variant;
        TextFile out;
        TextOpenWrite(&out, "C:\\SECTIONS.INF");
        WriteDriverSections(&out);
        TextClose(&out);
    });
    return pc.File("C:\\SECTIONS.INF").value_or("");
}

const char kSmallVendorInf[] = "[DUAL_MASTER_IDE.RegHW]\nHKR,,A,,1\n[DrvArg.Reg]\nHKR,,B,,2\n";

// The three model lines that an installation of a variant left behind.
std::string ModelLines(DriverVariant variant)
{
    const DriverInfTexts *t = InfTextsFor(variant);
    return std::string(t->PciModelLine) + t->PrimaryModelLine + t->SecondaryModelLine;
}

// --- Golden files: a class INF and a vendor INF per variant ---

struct GoldenCase {
    const char *folder;
    DriverVariant variant;
    const char *vendorInf;
};

const GoldenCase kGoldenCases[] = {
    {"k6407", K6407, "orvhdd.inf"},
    {"k6417", K6417, "orvhdd.inf"},
    {"kqneo", KQNEO, "kqhdd.inf"},
};

void PrintTo(const GoldenCase &c, std::ostream *os) { *os << c.folder; }

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, PatchWritesTheExpectedWorkFileAndCommitPutsItInPlace)
{
    const GoldenCase &c = GetParam();
    const std::string folder = std::string(c.folder) + "/";
    const std::string classInf = ReadData(folder + "mshdc.inf");
    const std::string expected = ReadData(folder + "mshdc.1");
    sim::Pc pc;
    pc.AddFile(kClassInf, classInf);
    pc.AddFile(std::string("A:\\") + c.vendorInf, ReadData(folder + c.vendorInf));

    ASSERT_EQ(Patch(pc, c.variant), 1);
    EXPECT_EQ(pc.File(kWork), expected);
    EXPECT_EQ(pc.File(kClassInf), classInf);

    EXPECT_EQ(Commit(pc), 1);
    EXPECT_EQ(pc.File(kClassInf), expected);
    EXPECT_EQ(pc.File(kBackup), classInf);
    EXPECT_FALSE(pc.File(kWork).has_value());
}

INSTANTIATE_TEST_SUITE_P(Variants, Golden, ::testing::ValuesIn(kGoldenCases),
                         [](const ::testing::TestParamInfo<GoldenCase> &i) {
                             return std::string(i.param.folder);
                         });

// --- The patcher's paths (variant 1 over a small vendor INF) ---
//
// In the texts: @M a model line of the K6417, @D what WriteDriverSections
// writes, @F and @S the driver's [ControlFlags] and [Strings] lines. The
// class INF is written with CR LF unless bareLf is set; the work file is
// always expected with CR LF.

struct PathCase {
    const char *name;
    std::string classInf;
    std::string workFile;
    int result;
    bool bareLf = false;
};

const std::string kModel = "%PCI\\VEN_1E6B&DEV_6417.DeviceDesc% = ESDI_PCI_IDE, PCI\\VEN_1E6B&DEV_6417";
const std::string kA252 = "A=" + std::string(252, 'a');         // 254 characters
const std::string kComment254 = "; " + std::string(252, 'x');  // 254 characters
const std::string kComment300 = "; " + std::string(298, 'x');

const std::vector<PathCase> kPathCases = {
    {"the model line is dropped, the empty line written after the driver's text",
     "[ORV_HDC]\n@M\n\n[Next]\n", "[ORV_HDC]\n@D\n[Next]\n", 1},
    {"insertion at the first line without a token, which is not written",
     "[ORV_HDC]\nA=a\nB=b\n\nC=c\n", "[ORV_HDC]\nA=a\nB=b\n@DC=c\n", 1},
    {"a line of delimiters counts as a line without a token",
     "[ORV_HDC]\nA=a\n ,=\t\nB=b\n", "[ORV_HDC]\nA=a\n@DB=b\n", 1},
    {"the model line followed by another line: dropped, the other written",
     "[ORV_HDC]\n@M\nA=a\n\n", "[ORV_HDC]\nA=a\n@D", 1},
    {"a model line right after the model line is written unjudged",
     "[ORV_HDC]\n@M\n@M\n\n", "[ORV_HDC]\n@M\n@D", 1},
    {"header and key in other case, with comments behind them",
     "[orv_hdc] ; ours\n%pci\\ven_1e6b&dev_6417.devicedesc% ; old\n\n", "[orv_hdc] ; ours\n@D\n", 1},
    {"headers inside the section are ordinary lines",
     "[ORV_HDC]\n[ControlFlags]\n[Strings]\n[Other]\n\n", "[ORV_HDC]\n[ControlFlags]\n[Strings]\n[Other]\n@D", 1},
    {"[ControlFlags] and [Strings] twice in copy mode",
     "[ControlFlags]\n[Strings] ; c\n[ORV_HDC]\n\n[controlflags]\n[STRINGS]\n",
     "[ControlFlags]\n@F[Strings] ; c\n@S[ORV_HDC]\n@D[controlflags]\n@F[STRINGS]\n@S", 1},
    {"a second [ORV_HDC] section is copied unchanged",
     "[ORV_HDC]\n\n[ORV_HDC]\n@M\n\n", "[ORV_HDC]\n@D[ORV_HDC]\n@M\n\n", 1},
    {"the class INF ends right after the model line",
     "[ORV_HDC]\nA=a\n@M\n", "[ORV_HDC]\nA=a\n@M\n", 0},
    {"... after a model line without a line end", "[ORV_HDC]\n@M", "[ORV_HDC]\n@M", 0},
    {"no [ORV_HDC] header", "[Version]\nClass=hdc\n[Strings]\nA=b\n",
     "[Version]\nClass=hdc\n[Strings]\n@SA=b\n", 0},
    {"[ORV_HDC] as the last line", "[Version]\n[ORV_HDC]", "[Version]\n[ORV_HDC]", 0},
    {"the section runs to the end without an empty line", "[ORV_HDC]\nA=a\n", "[ORV_HDC]\nA=a\n", 0},
    {"bare line feeds come out as CR LF, a last line without its line end stays so",
     "[Version]\nA=b\n[ORV_HDC]\n@M\n\nZ=z", "[Version]\nA=b\n[ORV_HDC]\n@D\nZ=z", 1, true},
    {"a line longer than 254 characters is copied whole",
     kComment300 + "\n[ORV_HDC]\n\n", kComment300 + "\n[ORV_HDC]\n@D", 1},
    {"a piece of a long line is judged as a line: a header",
     kComment254 + "[ORV_HDC]\n\n", kComment254 + "[ORV_HDC]\n@D", 1},
    {"a piece of a long line is judged as a line: a newline alone",
     "[ORV_HDC]\n" + kA252 + "\nB=b\n", "[ORV_HDC]\n" + kA252 + "@DB=b\n", 1},
};

void PrintTo(const PathCase &c, std::ostream *os) { *os << c.name; }

class PatchPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(PatchPaths, WorkFileAndResult)
{
    const PathCase &c = GetParam();
    const DriverInfTexts *t = InfTextsFor(K6417);
    sim::Pc pc;
    std::string classInf = Replace(c.classInf, "@M", kModel);
    classInf = c.bareLf ? classInf : Crlf(classInf);
    pc.AddFile(kClassInf, classInf);
    pc.AddFile(kVendor, Crlf(kSmallVendorInf));

    std::string expected = Crlf(Replace(c.workFile, "@M", kModel));
    expected = Replace(expected, "@D", DriverSections(pc, K6417));
    expected = Replace(expected, "@F", Crlf(t->ControlFlagsText));
    expected = Replace(expected, "@S", Crlf(t->StringsText));

    EXPECT_EQ(Patch(pc, K6417), c.result);
    EXPECT_EQ(pc.File(kWork), expected);
    EXPECT_EQ(pc.File(kClassInf), classInf);
}

INSTANTIATE_TEST_SUITE_P(Cases, PatchPaths, ::testing::ValuesIn(kPathCases),
                         [](const ::testing::TestParamInfo<PathCase> &i) {
                             return "case" + std::to_string(i.index);
                         });

// --- One driver over another ---

struct OverCase {
    DriverVariant installed, installing;
};

const OverCase kStops[] = {{K6417, K6417}, {KQNEO, K6417}, {K6417, KQNEO}, {KQNEO, KQNEO}, {K6407, K6407}};
const OverCase kAdds[] = {{K6417, K6407}, {K6407, K6417}, {KQNEO, K6407}, {K6407, KQNEO}};

void PrintTo(const OverCase &c, std::ostream *os)
{
    *os << "variant " << c.installing << " over variant " << c.installed;
}

class AlreadyInstalled : public ::testing::TestWithParam<OverCase> {};

TEST_P(AlreadyInstalled, StopsTheProcessWithTheClassInfAndBackupUnchanged)
{
    const OverCase &c = GetParam();
    sim::Pc pc;
    const std::string classInf = Crlf("[Version]\n[ORV_HDC]\n" + ModelLines(c.installed) + "[Strings]\n");
    pc.AddFile(kClassInf, classInf);
    pc.AddFile(kBackup, "the class INF before the first installation");
    pc.AddFile(kVendor, Crlf(kSmallVendorInf));
    pc.AddFile("A:\\KQHDD.INF", Crlf(kSmallVendorInf));

    sim::RunResult run;
    std::string driverFile = "unset";
    Patch(pc, c.installing, &run, &driverFile);

    EXPECT_TRUE(run.exitedViaExitProcess);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Lines("message-box"), std::vector<std::string>{kAlreadyInstalled});
    EXPECT_EQ(driverFile, "unset"); // PatchClassInf did not return
    EXPECT_EQ(pc.File(kClassInf), classInf);
    EXPECT_EQ(pc.File(kBackup), "the class INF before the first installation");
    EXPECT_EQ(pc.File(kWork), Crlf("[Version]\n[ORV_HDC]\n"));
}

INSTANTIATE_TEST_SUITE_P(Variants, AlreadyInstalled, ::testing::ValuesIn(kStops));

class OverAnotherVariant : public ::testing::TestWithParam<OverCase> {};

TEST_P(OverAnotherVariant, AddsTheDriverAfterTheEarlierModelLines)
{
    const OverCase &c = GetParam();
    sim::Pc pc;
    const std::string models = ModelLines(c.installed); // ends with an empty line
    pc.AddFile(kClassInf, Crlf("[ORV_HDC]\n" + models + "[Next]\n"));
    pc.AddFile(kVendor, Crlf(kSmallVendorInf));
    pc.AddFile("A:\\KQHDD.INF", Crlf(kSmallVendorInf));

    EXPECT_EQ(Patch(pc, c.installing), 1);
    std::string earlier = Crlf("[ORV_HDC]\n" + models.substr(0, models.size() - 1));
    EXPECT_EQ(pc.File(kWork), earlier + DriverSections(pc, c.installing) + "[Next]\r\n");
}

INSTANTIATE_TEST_SUITE_P(Variants, OverAnotherVariant, ::testing::ValuesIn(kAdds));

// --- Failures: the class INF is replaced only by a complete work file ---

const std::string kSmallClassInf = Crlf("[Version]\n[ORV_HDC]\n" + kModel + "\n\n[Strings]\nA=b\n");

TEST(PatchClassInf, WithoutAClassInfCreatesNoWorkFile)
{
    sim::Pc pc;
    pc.AddFile(kVendor, Crlf(kSmallVendorInf));
    EXPECT_EQ(Patch(pc, K6417), 0);
    EXPECT_FALSE(pc.File(kWork).has_value());
}

TEST(PatchClassInf, AWorkFileThatCannotBeCreatedTouchesNothing)
{
    sim::Pc pc;
    pc.AddFile(kClassInf, kSmallClassInf);
    pc.AddFile(kVendor, Crlf(kSmallVendorInf));
    pc.Fail({"CreateFileA", 2, ERROR_ACCESS_DENIED}); // the class INF opens, the work file not
    sim::RunResult run;
    EXPECT_EQ(Patch(pc, K6417, &run), 0);
    EXPECT_FALSE(pc.File(kWork).has_value());
    EXPECT_TRUE(run.changes.empty());
}

TEST(PatchClassInf, AWindowsFolderTooLongForThePathsTouchesNothing)
{
    sim::Pc pc;
    const std::string windows = "C:\\" + std::string(247, 'W'); // 250 characters
    pc.AddFile(windows + "\\INF\\MSHDC.INF", kSmallClassInf);  // a path of 264
    pc.SetWindowsFolder(windows);
    pc.AddFile(kVendor, Crlf(kSmallVendorInf));
    sim::RunResult run;
    EXPECT_EQ(Patch(pc, K6417, &run), 0);
    EXPECT_TRUE(run.changes.empty());
    pc.Invoke([] { EXPECT_EQ(CommitClassInf(), 0); });
}

TEST(PatchClassInf, AMissingVendorInfFailsThePatchButWritesTheFixedTexts)
{
    sim::Pc pc;
    pc.AddFile(kClassInf, kSmallClassInf);
    std::string driverFile;
    EXPECT_EQ(Patch(pc, K6417, nullptr, &driverFile), 0);
    EXPECT_EQ(driverFile, "k6417.mpd");
    const DriverInfTexts *t = InfTextsFor(K6417);
    EXPECT_EQ(pc.File(kWork), Crlf("[Version]\n[ORV_HDC]\n") + DriverSections(pc, K6417) +
                                  Crlf("\n[Strings]\n" + std::string(t->StringsText) + "A=b\n"));
    EXPECT_EQ(pc.File(kClassInf), kSmallClassInf);
}

// Every single failing file call during a patch: whenever the result is
// still 1, the work file is the complete patched class INF.
TEST(PatchClassInf, ReportsSuccessOnlyForACompleteWorkFile)
{
    sim::Pc clean;
    // A class INF and vendor INF of several buffers each.
    std::string classInf = ReadData("k6417/mshdc.inf") + ReadData("k6417/mshdc.inf");
    std::string vendor = ReadData("k6417/orvhdd.inf") + Crlf("; " + std::string(900, 'x') + "\n");
    clean.AddFile(kClassInf, classInf);
    clean.AddFile(kVendor, vendor);
    ASSERT_EQ(Patch(clean, K6417), 1);
    const std::string complete = *clean.File(kWork);
    const int calls = clean.IoCallCount();
    ASSERT_GT(calls, 10);

    int failed = 0;
    for (int nth = 1; nth <= calls; nth++) {
        sim::Pc pc;
        pc.AddFile(kClassInf, classInf);
        pc.AddFile(kVendor, vendor);
        pc.FailNthIoCall(nth);
        int result = Patch(pc, K6417);
        if (result == 1)
            EXPECT_EQ(pc.File(kWork), complete) << "failing call " << nth;
        else
            failed++;
        EXPECT_EQ(pc.File(kClassInf), classInf);
    }
    EXPECT_EQ(failed, calls) << "every file call of the patch matters";
}

TEST(CommitClassInf, KeepsEverythingWhenTheBackupCannotBeWritten)
{
    sim::Pc pc;
    pc.AddFile(kClassInf, "original");
    pc.AddFile(kWork, "patched");
    pc.AddFile(kBackup, "earlier backup");
    pc.Fail({"CopyFileA", 1, ERROR_ACCESS_DENIED});
    EXPECT_EQ(Commit(pc), 0);
    EXPECT_EQ(pc.File(kClassInf), "original");
    EXPECT_EQ(pc.File(kWork), "patched");
    EXPECT_EQ(pc.File(kBackup), "earlier backup");
}

TEST(CommitClassInf, KeepsTheWorkFileWhenItCannotTakeTheClassInfsPlace)
{
    sim::Pc pc;
    pc.AddFile(kClassInf, "original");
    pc.AddFile(kWork, "patched");
    pc.Fail({"CopyFileA", 2, ERROR_ACCESS_DENIED});
    EXPECT_EQ(Commit(pc), 0);
    EXPECT_EQ(pc.File(kClassInf), "original");
    EXPECT_EQ(pc.File(kBackup), "original");
    EXPECT_EQ(pc.File(kWork), "patched");
}

TEST(CommitClassInf, OverwritesAnEarlierBackup)
{
    sim::Pc pc;
    pc.AddFile(kClassInf, "original");
    pc.AddFile(kWork, "patched");
    pc.AddFile(kBackup, "earlier backup");
    EXPECT_EQ(Commit(pc), 1);
    EXPECT_EQ(pc.File(kClassInf), "patched");
    EXPECT_EQ(pc.File(kBackup), "original");
    EXPECT_FALSE(pc.File(kWork).has_value());
}

// --- The installer end to end, on the K6417 sample machine ---

struct Folders {
    std::string windows, system, current;
};

Folders FoldersOf(sim::Pc &pc)
{
    Folders f;
    pc.Invoke([&] {
        char b[MAX_PATH];
        GetWindowsDirectoryA(b, sizeof b);
        f.windows = b;
        GetSystemDirectoryA(b, sizeof b);
        f.system = b;
        GetCurrentDirectoryA(sizeof b, b);
        f.current = b;
    });
    if (!f.current.empty() && f.current.back() != '\\')
        f.current += '\\';
    return f;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string dir = std::string(IDE_SOURCE_DIR) + "/samples/win98-k6417";
        if (!std::ifstream(dir + "/machine.ini").good())
            GTEST_SKIP() << "no sample machine " << dir;
        pc.LoadFolder(dir);
        folders = FoldersOf(pc);
        classInf = folders.windows + "\\INF\\MSHDC.INF";
        work = folders.windows + "\\INF\\MSHDC.1";
        backup = folders.windows + "\\INF\\MSHDC.ING";
        ASSERT_TRUE(pc.File(classInf).has_value());
        original = *pc.File(classInf);
    }

    sim::Pc pc;
    Folders folders;
    std::string classInf, work, backup, original;
};

TEST_F(Installer, PatchesTheClassInfAndStopsOnASecondRun)
{
    sim::RunResult first = pc.Run(sim::IdeSetup(), "/D:K6417");
    ASSERT_FALSE(first.exitedViaExitProcess) << first.Transcript();
    std::string patched = pc.File(classInf).value_or("");
    EXPECT_NE(patched.find(Crlf(ModelLines(K6417))), std::string::npos);
    EXPECT_EQ(pc.File(backup), original);
    EXPECT_FALSE(pc.File(work).has_value());
    ASSERT_TRUE(pc.File(folders.current + "K6417.MPD").has_value());
    EXPECT_EQ(pc.File(folders.system + "\\IOSUBSYS\\K6417.MPD"),
              pc.File(folders.current + "K6417.MPD"));

    sim::RunResult second = pc.Run(sim::IdeSetup(), "/D:K6417");
    EXPECT_TRUE(second.exitedViaExitProcess);
    EXPECT_EQ(second.exitCode, 0);
    std::vector<std::string> boxes = second.Lines("message-box");
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), kAlreadyInstalled);
    EXPECT_TRUE(second.Lines("dialog").empty());
    EXPECT_TRUE(second.Lines("restart").empty());
    EXPECT_EQ(pc.File(classInf), patched);
    EXPECT_EQ(pc.File(backup), original);
}

TEST_F(Installer, StartedAwayFromTheDriverDiskLeavesTheClassInfAlone)
{
    pc.RemoveFile(folders.current + "ORVHDD.INF");
    sim::RunResult run = pc.Run(sim::IdeSetup(), "/D:K6417");
    EXPECT_FALSE(run.exitedViaExitProcess) << run.Transcript();
    EXPECT_EQ(pc.File(classInf), original);
    EXPECT_FALSE(pc.File(backup).has_value());
}

} // namespace
