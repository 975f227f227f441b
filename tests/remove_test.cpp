// remove_test.cpp - the remover: the check for the driver's patch in the
// class INF, its deletions, its main sequence, and install-then-remove round
// trips on every sample PC.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cmdline.h"
#include "record.h"
#include "remove.h"
#include "sim.h"
#include "testsupport.h"

namespace {

using testsupport::Exists;
using testsupport::kHklm;
using testsupport::SamplePath;

const std::string kClassInf = "C:\\WINDOWS\\INF\\MSHDC.INF";
const std::string kBackup = "C:\\WINDOWS\\INF\\MSHDC.ING";
const std::string kOemInf = "C:\\WINDOWS\\INF\\OTHER\\oem3.inf";
const std::string kIosubsys = "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\";
const std::string kCabs = "C:\\WINDOWS\\OPTIONS\\CABS\\";
const std::string kMsInf = "C:\\WINDOWS\\INF\\OTHER\\MicrosoftMSHDC.INF";
const std::string kChild0 =
    kHklm + "Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01&BUS_00&DEV_07&FUNC_01";
const std::string kPortDriverKey = kHklm + "System\\CurrentControlSet\\Services\\Class\\hdc\\0001";
const std::string kProduct = kHklm + "SOFTWARE\\ORV\\K6417";

// --- Is the driver's patch in the class INF? ---

struct InstalledCase {
    const char *name;
    const char *classInf; // nullptr: no class INF at all
    int expected;
};

const InstalledCase kInstalledCases[] = {
    {"model line before the first empty line",
     "[Version]\r\n\r\n[ORV_HDC]\r\n%PCI\\VEN_1E6B&DEV_6417.DeviceDesc%  = DUAL_MASTER_IDE\r\n"
     "%MF\\MASTERPRIMARY.DeviecDesc%       = MASTER_IDE\r\n\r\n",
     1},
    {"header and key in other case",
     "[orv_hdc]\r\n%mf\\masterprimary.deviecdesc% = MASTER_IDE\r\n", 1},
    {"header followed by a comment", "[ORV_HDC] ; Orvanic\r\n\t%MF\\MASTERPRIMARY.DeviecDesc%=X\r\n", 1},
    {"empty line right after the header",
     "[ORV_HDC]\r\n\r\n%MF\\MASTERPRIMARY.DeviecDesc% = MASTER_IDE\r\n", 0},
    {"blank-and-comma line right after the header",
     "[ORV_HDC]\r\n , ,\r\n%MF\\MASTERPRIMARY.DeviecDesc% = MASTER_IDE\r\n", 0},
    {"file ends inside the section", "[ORV_HDC]\r\n%PCI\\VEN_1E6B&DEV_6417.DeviceDesc% = X\r\n", 0},
    {"key only in a later [ORV_HDC] section",
     "[ORV_HDC]\r\nA = B\r\n\r\n[ORV_HDC]\r\n%MF\\MASTERPRIMARY.DeviecDesc% = X\r\n", 0},
    {"key run together with more text", "[ORV_HDC]\r\n%MF\\MASTERPRIMARY.DeviecDesc%X = Y\r\n", 0},
    {"no [ORV_HDC] section", "[Version]\r\n%MF\\MASTERPRIMARY.DeviecDesc% = X\r\n", 0},
    {"no class INF", nullptr, 0},
};

class InstalledTable : public ::testing::TestWithParam<InstalledCase> {};

TEST_P(InstalledTable, FindsTheDriversModelLine)
{
    const InstalledCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    if (c.classInf)
        pc.AddFile(kClassInf, c.classInf);
    int result = -1;
    pc.Invoke([&] { result = IsDriverInstalled(); });
    EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Remove, InstalledTable, ::testing::ValuesIn(kInstalledCases));

// --- The deletions ---

// The K6417 sample with the remover's extra files in place.
void BuildInstalled(sim::Pc &pc)
{
    pc.LoadFolder(SamplePath("win98-k6417"));
    pc.AddFile(kIosubsys + "kqide.mpd", "KQ");
    pc.AddFile(kIosubsys + "idevsd.vxd", "VXD");
    pc.AddFile(kMsInf, "[Version]\r\n");
    pc.AddFile(kCabs + "kqide.mpd", "KQ");
}

struct RemovalCase {
    const char *name;
    DriverVariant variant;
    int preload;
    std::function<void(sim::Pc &)> change;
    std::vector<std::string> gone;
    std::vector<std::string> stay;
};

const std::vector<RemovalCase> &RemovalCases()
{
    static const std::vector<RemovalCase> cases = {
        {"K6417", K6417, 0, [](sim::Pc &) {},
         {kOemInf, kIosubsys + "k6417.mpd", kIosubsys + "idevsd.vxd", kMsInf, kChild0, kPortDriverKey},
         {kIosubsys + "kqide.mpd", kCabs + "orvhdd.inf", kCabs + "k6417.mpd", kClassInf}},
        {"KQNEO with an OEM INF naming only kqide.mpd", KQNEO, 0,
         [](sim::Pc &pc) { pc.AddFile(kOemInf, "[KQ.CopyFiles]\r\nkqide.mpd\r\n"); },
         {kIosubsys + "kqide.mpd", kChild0},
         {kOemInf, kIosubsys + "k6417.mpd"}},
        {"K6407 on a K6417 board uses k6417.mpd", K6407, 0, [](sim::Pc &) {},
         {kOemInf, kIosubsys + "k6417.mpd"}, {}},
        {"no CHILD0000 device: files still go, no gate", K6417, 1,
         [](sim::Pc &pc) {
             pc.LoadRegistry("REGEDIT4\r\n\r\n[-" + kHklm + "Enum\\MF\\CHILD0000]\r\n");
             pc.SetValue(kPortDriverKey, "PortDriver", sim::Sz("other.mpd"));
         },
         {kIosubsys + "k6417.mpd", kMsInf, kCabs + "orvhdd.inf", kCabs + "k6417.mpd"},
         {kOemInf, kPortDriverKey}},
        {"PRELOAD", K6417, 1, [](sim::Pc &) {}, {kCabs + "orvhdd.inf", kCabs + "k6417.mpd"},
         {kCabs + "kqide.mpd"}},
        {"PRELOAD with KQNEO takes the chip's file", KQNEO, 1, [](sim::Pc &) {},
         {kCabs + "orvhdd.inf", kCabs + "k6417.mpd"}, {kCabs + "kqide.mpd"}},
        {"PortDriver in capitals passes the gate", K6417, 0,
         [](sim::Pc &pc) { pc.SetValue(kPortDriverKey, "PortDriver", sim::Sz("K6417.MPD")); },
         {kOemInf, kChild0}, {}},
    };
    return cases;
}

class RemovalTable : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(RemovalTable, DeletesTheDriversFilesAndKeys)
{
    const RemovalCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    BuildInstalled(pc);
    c.change(pc);

    int result = -1;
    sim::RunResult run = pc.Invoke([&] {
        ProgramState.Program = PROGRAM_REMOVE;
        ProgramState.Variant = c.variant;
        ProgramState.Preload = c.preload;
        SelectVariantTexts();
        result = RemoveDriver();
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(run.Lines("message-box").empty());
    for (const std::string &path : c.gone)
        EXPECT_FALSE(Exists(pc, path)) << path;
    for (const std::string &path : c.stay)
        EXPECT_TRUE(Exists(pc, path)) << path;
}

INSTANTIATE_TEST_SUITE_P(Remove, RemovalTable, ::testing::ValuesIn(RemovalCases()));

struct ProductCase {
    DriverVariant variant;
    bool withOrv;
    std::vector<std::string> gone;
    std::vector<std::string> stay;
};

TEST(Remove, ProductKeyByVariant)
{
    const std::string orv = kHklm + "SOFTWARE\\ORV";
    const std::string kq = kHklm + "SOFTWARE\\KQNEO";
    const ProductCase cases[] = {
        {K6417, true, {kProduct}, {orv, kq}},
        {KQNEO, true, {kq}, {orv, kProduct}},
        {K6407, true, {}, {orv, kProduct, kq}},
        {K6417, false, {}, {kq}},
    };
    for (const ProductCase &c : cases) {
        SCOPED_TRACE(c.variant);
        sim::Pc pc;
        pc.SetValue(kProduct, "Version", sim::Sz("2.00"));
        pc.AddKey(kq + "\\Settings");
        if (!c.withOrv)
            pc.LoadRegistry("REGEDIT4\r\n\r\n[-" + orv + "]\r\n");
        sim::RunResult run = pc.Invoke([&] {
            ProgramState.Variant = c.variant;
            RemoveProductKey();
        });
        EXPECT_TRUE(run.events.empty() || run.Lines("message-box").empty());
        for (const std::string &k : c.gone)
            EXPECT_FALSE(pc.HasKey(k)) << k;
        for (const std::string &k : c.stay)
            EXPECT_TRUE(pc.HasKey(k)) << k;
    }
}

// --- The main sequence ---

TEST(RemoveSequence, NoAtTheConfirmationTouchesNothing)
{
    sim::Pc pc;
    BuildInstalled(pc);
    pc.SetAnswers({"no"});
    sim::RunResult run = pc.Run(sim::IdeRemove(), "/D:K6417 /PRELOAD");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.changes.empty());
    EXPECT_TRUE(run.Lines("restart").empty());
    EXPECT_TRUE(run.Lines("sleep").empty());
}

TEST(RemoveSequence, ForeignPortDriverEndsAfterTheRestore)
{
    sim::Pc pc;
    BuildInstalled(pc);
    const std::string original = *pc.File(kClassInf);
    pc.AddFile(kClassInf, "[ORV_HDC]\r\n%MF\\MASTERPRIMARY.DeviecDesc% = MASTER_IDE\r\n");
    pc.AddFile(kBackup, original);
    pc.SetValue(kPortDriverKey, "PortDriver", sim::Sz("esdi_506.pdr"));

    sim::RunResult run = pc.Run(sim::IdeRemove(), "/D:K6417");
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.Lines("message-box").size(), 2u);
    EXPECT_EQ(run.Lines("message-box")[1],
              "message-box caption=\"Setup Error!\" text=\"There is no ORV IDE driver to remove!\" "
              "buttons=ok answer=ok");
    EXPECT_EQ(*pc.File(kClassInf), original); // restored before the gate
    EXPECT_EQ(run.changes, std::vector<std::string>{"change modified file " + kClassInf});
    EXPECT_TRUE(run.Lines("dialog").empty());
    EXPECT_TRUE(run.Lines("restart").empty());
}

TEST(RemoveSequence, NoControllerStillClearsAndRestartsLater)
{
    sim::Pc pc;
    pc.LoadFolder(SamplePath("win95-none"));
    pc.SetValue(kProduct, "Version", sim::Sz("2.00"));
    pc.AddKey(kHklm + "Enum\\SCSI\\DISK");
    pc.SetValue(kHklm + "Enum\\MF\\CHILD0000\\X", "Driver", sim::Sz("hdc\\0001"));

    sim::RunResult run = pc.Run(sim::IdeRemove(), "/D:K6417");
    ASSERT_EQ(run.Lines("message-box").size(), 2u);
    EXPECT_EQ(run.Lines("message-box")[1],
              "message-box caption=\"Remove Error\" text=\"Orv IDE controller not found!\" "
              "buttons=ok answer=ok");
    EXPECT_TRUE(run.Lines("dialog").empty());
    EXPECT_FALSE(pc.HasKey(kHklm + "Enum\\SCSI"));
    EXPECT_FALSE(pc.HasKey(kHklm + "Enum\\MF\\CHILD0000\\X"));
    EXPECT_TRUE(pc.HasKey(kHklm + "Enum\\MF\\CHILD0000"));
    EXPECT_FALSE(pc.HasKey(kProduct));
    EXPECT_EQ(run.Lines("sleep"), std::vector<std::string>{"sleep ms=30000"});
    EXPECT_EQ(run.Lines("restart").size(), 1u);
    EXPECT_EQ(run.exitCode, 0);
}

// --- Install, then remove, on every sample PC ---

struct RoundTrip {
    const char *sample;
    const char *driver;   // the D switch
    const char *chipFile; // what the installer copies
    bool controller;      // the remover deletes files only where it finds one
};

class RoundTripTable : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTable, RemoveUndoesTheInstall)
{
    const RoundTrip &c = GetParam();
    SCOPED_TRACE(c.sample);
    sim::Pc pc;
    pc.LoadFolder(SamplePath(c.sample));
    const std::string original = *pc.File(kClassInf);

    std::string tail = std::string("/D:") + c.driver;
    sim::RunResult install = pc.Run(sim::IdeSetup(), tail);
    EXPECT_EQ(install.exitCode, 0);
    EXPECT_NE(*pc.File(kClassInf), original);
    EXPECT_EQ(*pc.File(kBackup), original);
    EXPECT_TRUE(pc.File(kIosubsys + c.chipFile).has_value());
    EXPECT_TRUE(pc.File(kIosubsys + "idevsd.vxd").has_value());

    sim::RunResult remove = pc.Run(sim::IdeRemove(), tail);
    EXPECT_EQ(remove.exitCode, 0);
    EXPECT_EQ(*pc.File(kClassInf), original);
    EXPECT_EQ(*pc.File(kBackup), original);
    EXPECT_EQ(pc.File(kIosubsys + c.chipFile).has_value(), !c.controller);
    EXPECT_EQ(pc.File(kIosubsys + "idevsd.vxd").has_value(), !c.controller);
    EXPECT_EQ(remove.Lines("restart").size(), 1u);

    // What the clean-ups leave: the kept parents, no hdc device or class key.
    EXPECT_TRUE(pc.Subkeys(kHklm + "Enum\\MF\\CHILD0000").empty());
    EXPECT_TRUE(pc.Subkeys(kHklm + "Enum\\MF\\CHILD0001").empty());
    EXPECT_TRUE(pc.Subkeys(kHklm + "System\\CurrentControlSet\\Services\\Class\\hdc").empty());
    EXPECT_FALSE(pc.HasKey(kHklm + "Enum\\SCSI"));
    for (const std::string &device : pc.Subkeys(kHklm + "Enum\\PCI")) {
        const std::string key = kHklm + "Enum\\PCI\\" + device;
        std::vector<std::string> instances = pc.Subkeys(key);
        ASSERT_FALSE(instances.empty()) << key;
        auto cls = pc.GetValue(key + "\\" + instances[0], "Class");
        EXPECT_FALSE(cls && cls->data == std::string("hdc", 4)) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Remove, RoundTripTable,
                         ::testing::Values(RoundTrip{"win98-k6417", "K6417", "k6417.mpd", true},
                                           RoundTrip{"win98-k6407", "K6407", "k6407.mpd", true},
                                           RoundTrip{"win95-none", "K6417", "k6417.mpd", false},
                                           RoundTrip{"win98-k6417", "KQNEO", "kqide.mpd", true}),
                         [](const ::testing::TestParamInfo<RoundTrip> &info) {
                             std::string name = std::string(info.param.sample) + "_" + info.param.driver;
                             for (char &ch : name)
                                 if (ch == '-')
                                     ch = '_';
                             return name;
                         });

} // namespace
