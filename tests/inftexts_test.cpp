// inftexts_test.cpp - WriteDriverSections: the driver file, the fixed texts,
// and the two passes over the vendor INF with their different tests.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "inftexts.h"
#include "sim.h"
#include "testsupport.h"

namespace {

const char kOut[] = "C:\\OUT.INF";
const std::string kVendor = "A:\\ORVHDD.INF"; // the current folder is A:\ .

using testsupport::Crlf;

struct Written {
    int result = -1;
    std::string driverFile;
    std::string bytes;
};

// Run WriteDriverSections for a variant into a fresh output file.
Written WriteSections(sim::Pc &pc, DriverVariant variant)
{
    Written w;
    pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Variant = variant;
        TextFile out;
        ASSERT_TRUE(TextOpenWrite(&out, kOut));
        w.result = WriteDriverSections(&out);
        ASSERT_TRUE(TextClose(&out));
        w.driverFile = ProgramState.DriverFile;
    });
    w.bytes = pc.File(kOut).value_or("");
    return w;
}

// The fixed texts alone: what a variant writes when no vendor INF is there.
std::string FixedTexts(DriverVariant variant)
{
    sim::Pc pc;
    return WriteSections(pc, variant).bytes;
}

// --- The variant's record: driver file, vendor INF, the texts' details ---

struct VariantCase {
    DriverVariant variant;
    const char *driverFile;
    const char *vendorInf;          // where the variant looks
    std::vector<std::string> rows;  // rows of its fixed texts, CR LF on disk
};

const VariantCase kVariantCases[] = {
    {K6407, "k6407.mpd", "A:\\ORVHDD.INF",
     {"AddReg=StandardMF.Reg,IDEProp.Reg,DrvArg.Reg  \r\n", "HKR,,IDENoSerialize,3,01 \r\n \r\n",
      "HKR,,PortDriver,,K6407.mpd\r\n", ", MF\\MASTERPRIMARY\r\n"}},
    {K6417, "k6417.mpd", "A:\\ORVHDD.INF",
     {"AddReg=StandardMF.Reg,IDEProp.Reg,DrvArg.Reg \r\n", "HKR,,IDENoSerialize,3,01\r\n\r\n",
      "HKR,,PortDriver,,K6417.mpd\r\n", ", MF\\K6417SECONDARY\r\n\r\n"}},
    {KQNEO, "kqide.mpd", "A:\\KQHDD.INF",
     {"%PCI\\VEN_1E6B&DEV_6417.DeviceDesc%  = DUAL_MASTER_IDE   , PCI\\VEN_1E6B&DEV_6417\r\n",
      ", MF\\KQNEOPRIMARY\r\n", ", MF\\KQNEOSECONDARY\r\n\r\n", "HKR,,PortDriver,,kqide.mpd\r\n"}},
};

void PrintTo(const VariantCase &c, std::ostream *os) { *os << "variant " << c.variant; }

class VariantRecord : public ::testing::TestWithParam<VariantCase> {};

TEST_P(VariantRecord, SetsTheDriverFileAndReadsItsOwnVendorInf)
{
    const VariantCase &c = GetParam();
    sim::Pc pc;
    // Both vendor INFs are on the disk; only the variant's own is copied from.
    pc.AddFile("A:\\ORVHDD.INF", Crlf("[DUAL_MASTER_IDE.RegHW]\nHKR,,From,,orv\n"));
    pc.AddFile("A:\\KQHDD.INF", Crlf("[DUAL_MASTER_IDE.RegHW]\nHKR,,From,,kq\n"));
    std::string own = *pc.File(c.vendorInf);

    Written w = WriteSections(pc, c.variant);

    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.driverFile, c.driverFile);
    EXPECT_EQ(w.bytes, FixedTexts(c.variant) + own);
    for (const std::string &row : c.rows)
        EXPECT_NE(w.bytes.find(row), std::string::npos) << row;
}

INSTANTIATE_TEST_SUITE_P(Variants, VariantRecord, ::testing::ValuesIn(kVariantCases));

TEST(WriteDriverSections, VariantOneAndTenShareThePciLineButNotTheChannelLines)
{
    std::string k6417 = FixedTexts(K6417), kqneo = FixedTexts(KQNEO);
    std::string pciLine = k6417.substr(0, k6417.find("\r\n") + 2);
    EXPECT_EQ(kqneo.rfind(pciLine, 0), 0u);
    EXPECT_NE(k6417, kqneo);
}

// --- The two passes over the vendor INF (variant 1, ORVHDD.INF) ---

struct VendorCase {
    const char *name;
    std::string vendorInf;  // as on disk
    std::string copied;     // what follows the fixed texts
};

const std::string kLong(300, 'v');
const std::string k252(252, 'v');
const std::string kComment253 = ";" + std::string(253, 'c'); // a first piece of 254

const std::vector<VendorCase> kVendorCases = {
    {"hardware header after blanks and tabs",
     Crlf(" \t [DUAL_MASTER_IDE.RegHW]\nA=1\n"), Crlf(" \t [DUAL_MASTER_IDE.RegHW]\nA=1\n")},
    {"hardware header further on a line that starts with [",
     Crlf("[Other] [DUAL_MASTER_IDE.RegHW]\nA=1\n[Next]\nB=2\n"),
     Crlf("[Other] [DUAL_MASTER_IDE.RegHW]\nA=1\n")},
    {"hardware header behind a comment character", Crlf("; [DUAL_MASTER_IDE.RegHW]\nA=1\n"), ""},
    {"hardware header in other letter case", Crlf("[dual_master_ide.reghw]\nA=1\n"), ""},
    {"empty and comment lines copied, a value holding [ ends the copy",
     Crlf("[DUAL_MASTER_IDE.RegHW]\n\n; note\nA=1\nB=\"[x]\"\nC=3\n"),
     Crlf("[DUAL_MASTER_IDE.RegHW]\n\n; note\nA=1\n")},
    {"two hardware sections: the first only",
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=1\n[DUAL_MASTER_IDE.RegHW]\nB=2\n"),
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=1\n")},
    {"last hardware line without a line end gets one",
     Crlf("[DrvArg.Reg]\nX=1\n\n[DUAL_MASTER_IDE.RegHW]\nA=1"),
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=1\n[DrvArg.Reg]\nX=1\n\n")},
    {"two argument sections, both after the hardware section",
     Crlf("[DrvArg.Reg]\nX=1\n\n[DUAL_MASTER_IDE.RegHW]\nA=1\n\n[DrvArg.Reg]\nY=2\n\n"),
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=1\n\n[DrvArg.Reg]\nX=1\n\n[DrvArg.Reg]\nY=2\n\n")},
    {"argument header in other case, or with a comment behind it",
     Crlf("[drvarg.REG]\nX=1\n\n[DrvArg.Reg] ; more\nY=2\n\n"),
     Crlf("[drvarg.REG]\nX=1\n\n[DrvArg.Reg] ; more\nY=2\n\n")},
    {"argument header run together with more characters",
     Crlf("[DrvArg.Reg];x\nX=1\n\n[DrvArg.Reg]x\nY=2\n\n"), ""},
    {"a section right after an argument section is copied too",
     Crlf("[DrvArg.Reg]\nX=1\n[Other]\nZ=3\n\nW=4\n"), Crlf("[DrvArg.Reg]\nX=1\n[Other]\nZ=3\n\n")},
    {"a line of delimiters ends an argument section as an empty line",
     Crlf("[DrvArg.Reg]\nX=1\n \t,=\nY=2\n"), Crlf("[DrvArg.Reg]\nX=1\n\n")},
    {"argument section running to the end of the file is closed",
     Crlf("[DrvArg.Reg]\nX=1\n"), Crlf("[DrvArg.Reg]\nX=1\n\n")},
    {"... also when its last line has no line end",
     Crlf("[DrvArg.Reg]\nX=1"), Crlf("[DrvArg.Reg]\nX=1\n\n")},
    {"bare line feeds come out as CR LF",
     "[DUAL_MASTER_IDE.RegHW]\nA=1\n[DrvArg.Reg]\nX=1\n", Crlf("[DUAL_MASTER_IDE.RegHW]\nA=1\n[DrvArg.Reg]\nX=1\n\n")},
    {"long lines are copied whole",
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=" + kLong + "\n[DrvArg.Reg]\nX=" + kLong + "\n\n"),
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=" + kLong + "\n[DrvArg.Reg]\nX=" + kLong + "\n\n")},
    {"the second piece of a long line starts the hardware copy",
     Crlf(kComment253 + "[DUAL_MASTER_IDE.RegHW]\nA=1\n"), Crlf("[DUAL_MASTER_IDE.RegHW]\nA=1\n")},
    {"the second piece of a long line starts an argument copy",
     Crlf(kComment253 + "[DrvArg.Reg]\nX=1\n\n"), Crlf("[DrvArg.Reg]\nX=1\n\n")},
    {"the second piece of a long line ends the hardware copy",
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=" + k252 + "[x]\nB=1\n"),
     Crlf("[DUAL_MASTER_IDE.RegHW]\nA=" + k252 + "\n")},
    {"a newline arriving alone after 254 characters ends an argument section",
     Crlf("[DrvArg.Reg]\nX=" + k252 + "\nY=1\n"), Crlf("[DrvArg.Reg]\nX=" + k252 + "\n\n")},
};

void PrintTo(const VendorCase &c, std::ostream *os) { *os << c.name; }

class VendorInfPasses : public ::testing::TestWithParam<VendorCase> {};

TEST_P(VendorInfPasses, CopyWhatEachPassFinds)
{
    const VendorCase &c = GetParam();
    sim::Pc pc;
    pc.AddFile(kVendor, c.vendorInf);

    Written w = WriteSections(pc, K6417);

    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.bytes, FixedTexts(K6417) + c.copied);
    EXPECT_EQ(pc.File(kVendor), c.vendorInf);
}

INSTANTIATE_TEST_SUITE_P(Cases, VendorInfPasses, ::testing::ValuesIn(kVendorCases),
                         [](const ::testing::TestParamInfo<VendorCase> &i) {
                             return "case" + std::to_string(i.index);
                         });

// --- A vendor INF that is not there, or not where the installer runs ---

TEST(WriteDriverSections, WithoutTheVendorInfWritesTheFixedTextsAndSaysSo)
{
    sim::Pc pc;
    Written w = WriteSections(pc, K6417);
    EXPECT_EQ(w.result, 0);
    EXPECT_EQ(w.driverFile, "k6417.mpd");
    EXPECT_EQ(w.bytes.rfind(Crlf("%PCI\\VEN_1E6B&DEV_6417.DeviceDesc%  = DUAL_MASTER_IDE"), 0), 0u);
    EXPECT_NE(w.bytes.find("[IDEProp.Reg] \r\n"), std::string::npos);
}

TEST(WriteDriverSections, FindsTheVendorInfInTheCurrentFolder)
{
    sim::Pc pc;
    pc.AddFile("A:\\ORVHDD.INF", Crlf("[DUAL_MASTER_IDE.RegHW]\nHKR,,From,,root\n"));
    pc.AddFile("D:\\DRIVERS\\ORVHDD.INF", Crlf("[DUAL_MASTER_IDE.RegHW]\nHKR,,From,,disk\n"));
    pc.SetCurrentFolder("D:\\DRIVERS");

    Written w = WriteSections(pc, K6417);

    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.bytes, FixedTexts(K6417) + Crlf("[DUAL_MASTER_IDE.RegHW]\nHKR,,From,,disk\n"));
}

TEST(WriteDriverSections, AVendorInfThatCannotBeReadCounts)
{
    sim::Pc pc;
    pc.AddFile(kVendor, Crlf("[DUAL_MASTER_IDE.RegHW]\nA=1\n"));
    pc.Fail({"ReadFile", 0, ERROR_READ_FAULT});
    EXPECT_EQ(WriteSections(pc, K6417).result, 0);
}

} // namespace
