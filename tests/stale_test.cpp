// stale_test.cpp - the installer's removal of an earlier driver: unit rows
// on a small K6417 machine, and whole runs of the installer.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cmdline.h"
#include "sim.h"
#include "stale.h"
#include "testsupport.h"

namespace {

using testsupport::Exists;
using testsupport::kHklm;
const std::string kClass = kHklm + "System\\CurrentControlSet\\Services\\Class\\hdc\\";
const std::string kPciDevice = kHklm + "Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01";
const std::string kChild0 = kHklm + "Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01";
const std::string kChild1 = kHklm + "Enum\\MF\\CHILD0001\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01";
const std::string kOemInf = "C:\\WINDOWS\\INF\\OEM3.INF";
const std::string kClassInf = "C:\\WINDOWS\\INF\\MSHDC.INF";
const std::string kDriver = "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\K6417.MPD";

// A K6417 machine with an earlier driver installed from OEM3.INF.
const char kEarlierDriver[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01\\BUS_00&DEV_05&FUNC_01]\r\n"
    "\"Driver\"=\"hdc\\\\0001\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01]\r\n"
    "\"Driver\"=\"hdc\\\\0002\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\MF\\CHILD0001\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01]\r\n"
    "\"Driver\"=\"hdc\\\\0003\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\hdc\\0000]\r\n"
    "\"DriverDesc\"=\"Standard Dual PCI IDE Controller\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\hdc\\0001]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\hdc\\0002]\r\n"
    "\"InfPath\"=\"oem3.inf\"\r\n"
    "\"PortDriver\"=\"k6417.mpd\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\hdc\\0003]\r\n\r\n";

void BuildEarlierDriver(sim::Pc &pc)
{
    pc.AddPciDevice(0, 7, 0, 0x1E6B, 0x3C91);
    pc.LoadRegistry(kEarlierDriver);
    pc.AddFile(kOemInf, "[Version]\r\n\r\n[Orv.CopyFiles]\r\nk6417.mpd\r\n");
    pc.AddFile(kClassInf, "[Orv.CopyFiles]\r\nk6417.mpd\r\n");
    pc.AddFile(kDriver, "MZ");
}

// Run RemoveStaleDriver as the installer would, with the K6417 texts.
int RemoveStale(sim::Pc &pc, sim::RunResult *run = nullptr)
{
    int result = -1;
    sim::RunResult r = pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Program = PROGRAM_SETUP;
        ProgramState.Variant = K6417;
        SelectVariantTexts();
        result = RemoveStaleDriver();
    });
    if (run)
        *run = r;
    return result;
}

struct StaleCase {
    const char *name;
    std::function<void(sim::Pc &)> change; // applied to the earlier-driver machine
    std::vector<std::string> gone;
    std::vector<std::string> stay;
};

const std::vector<StaleCase> &StaleCases()
{
    const std::vector<std::string> allKeys = {kPciDevice, kChild0, kChild1,
                                              kClass + "0001", kClass + "0002", kClass + "0003"};
    static const std::vector<StaleCase> cases = {
        {"earlier driver", [](sim::Pc &) {},
         {kOemInf, kDriver, kPciDevice, kChild0, kChild1, kClass + "0001", kClass + "0002",
          kClass + "0003"},
         {kClassInf, kClass + "0000"}},
        {"InfPath names mshdc.inf",
         [](sim::Pc &pc) { pc.SetValue(kClass + "0002", "InfPath", sim::Sz("mshdc.inf")); },
         allKeys, {kClassInf, kOemInf, kDriver}},
        {"INF names the driver only with a capital K",
         [](sim::Pc &pc) { pc.AddFile(kOemInf, "[Orv.CopyFiles]\r\nK6417.mpd\r\n"); },
         allKeys, {kOemInf, kDriver}},
        {"driver file already missing", [](sim::Pc &pc) { pc.RemoveFile(kDriver); },
         {kOemInf, kPciDevice, kChild0, kChild1, kClass + "0002"}, {kClassInf}},
        {"PCI instance without a usable Driver value",
         [](sim::Pc &pc) {
             pc.SetValue(kPciDevice + "\\BUS_00&DEV_05&FUNC_01", "Driver", sim::Sz("   "));
         },
         {kPciDevice, kChild0, kClass + "0002"}, {kClass + "0001", kClass + "0000"}},
        {"iosubsys path too long: both files stay",
         [](sim::Pc &pc) {
             const std::string system = "C:\\" + std::string(106, 'S'); // 109 characters
             pc.SetSystemFolder(system);
             pc.AddFile(system + "\\IOSUBSYS\\K6417.MPD", "MZ");
         },
         allKeys, {kOemInf, kDriver, "C:\\" + std::string(106, 'S') + "\\IOSUBSYS\\K6417.MPD"}},
    };
    return cases;
}

void PrintTo(const StaleCase &c, std::ostream *os) { *os << c.name; }

class StaleTable : public ::testing::TestWithParam<StaleCase> {};

TEST_P(StaleTable, DeletesWhatTheEarlierDriverLeft)
{
    const StaleCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    BuildEarlierDriver(pc);
    c.change(pc);

    EXPECT_EQ(RemoveStale(pc), 1);
    for (const std::string &path : c.gone)
        EXPECT_FALSE(Exists(pc, path)) << path;
    for (const std::string &path : c.stay)
        EXPECT_TRUE(Exists(pc, path)) << path;
}

INSTANTIATE_TEST_SUITE_P(Stale, StaleTable, ::testing::ValuesIn(StaleCases()));

TEST(Stale, ControllerWithoutKeysTouchesNothing)
{
    sim::Pc pc;
    BuildEarlierDriver(pc);
    pc.LoadRegistry("REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n");
    const std::string registry = pc.ExportRegistry();
    const std::vector<std::string> files = pc.Files();

    sim::RunResult run;
    EXPECT_EQ(RemoveStale(pc, &run), 1);
    EXPECT_TRUE(run.Lines("message-box").empty());
    EXPECT_EQ(pc.ExportRegistry(), registry);
    EXPECT_EQ(pc.Files(), files);
}

TEST(Stale, NoControllerShowsTheMessageAndTouchesNothing)
{
    sim::Pc pc;
    pc.LoadRegistry(kEarlierDriver);
    pc.AddFile(kOemInf, "k6417.mpd\r\n");
    pc.AddFile(kDriver, "MZ");
    pc.AddPciDevice(0, 5, 0, 0x1E6B, 0x6417); // the controller itself is no marker
    const std::string registry = pc.ExportRegistry();
    const std::vector<std::string> files = pc.Files();

    sim::RunResult run;
    EXPECT_EQ(RemoveStale(pc, &run), 0);

    std::vector<std::string> boxes = run.Lines("message-box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("caption=\"Setup Error\" text=\"Orv IDE controller not found!\""),
              std::string::npos)
        << boxes[0];
    EXPECT_EQ(pc.ExportRegistry(), registry);
    EXPECT_EQ(pc.Files(), files);
}

} // namespace

// ---- on the bundled machines ----

namespace {

const std::string kSampleInf = "C:\\WINDOWS\\INF\\OTHER\\oem3.inf";
const std::vector<std::string> kSampleKeys = {
    kHklm + "Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01",
    kHklm + "Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01&BUS_00&DEV_07&FUNC_01",
    kHklm + "Enum\\MF\\CHILD0001\\PCI&VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01&BUS_00&DEV_07&FUNC_01",
};

TEST(StaleSample, RemovesTheEarlierDriverOfTheK6417Machine)
{
    sim::Pc pc;
    pc.LoadFolder(testsupport::SamplePath("win98-k6417"));

    EXPECT_EQ(RemoveStale(pc), 1);

    std::vector<std::string> gone = kSampleKeys;
    gone.insert(gone.end(), {kSampleInf, kDriver, kClass + "0000", kClass + "0001", kClass + "0002"});
    for (const std::string &path : gone)
        EXPECT_FALSE(Exists(pc, path)) << path;
    for (const std::string &path :
         {kClassInf, std::string("C:\\WINDOWS\\OPTIONS\\CABS\\k6417.mpd"),
          kHklm + "Enum\\PCI\\VEN_1E6B&DEV_3C91&SUBSYS_00000000&REV_02",
          kHklm + "System\\CurrentControlSet\\Services\\Class\\hdc"})
        EXPECT_TRUE(Exists(pc, path)) << path;
}

TEST(StaleSample, TheInstallerLeavesOnlyTheNewDriver)
{
    sim::Pc pc;
    pc.LoadFolder(testsupport::SamplePath("win98-k6417"));
    pc.SetAnswers({"yes"});

    pc.Run(sim::IdeSetup(), "/D:K6417");

    EXPECT_FALSE(pc.File(kSampleInf).has_value());
    for (const std::string &key : kSampleKeys)
        EXPECT_FALSE(pc.HasKey(key)) << key;
    // The old driver file went; what may stand there now is the disk's copy.
    std::optional<std::string> driver = pc.File(kDriver);
    if (driver)
        EXPECT_EQ(*driver, *pc.File("A:\\k6417.mpd"));
}

TEST(StaleSample, TheInstallerReportsAMissingController)
{
    sim::Pc pc;
    pc.LoadFolder(testsupport::SamplePath("win95-none"));
    pc.SetAnswers({"yes"});

    sim::RunResult run = pc.Run(sim::IdeSetup(), "/D:K6417");

    int shown = 0;
    for (const std::string &line : run.Lines("message-box"))
        shown += line.find("caption=\"Setup Error\" text=\"Orv IDE controller not found!\"") !=
                 std::string::npos;
    EXPECT_EQ(shown, 1) << run.Transcript();
    EXPECT_TRUE(run.Lines("dialog").empty());
}

} // namespace
