// record_test.cpp - the installed-driver record over small registries:
// device keys, driver keys, the OEM INF, the remover's port-driver gate,
// the driver-name test and the key deletion.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cmdline.h"
#include "record.h"
#include "sim.h"
#include "testsupport.h"

namespace {

using testsupport::kHklm;
const std::string kClass = "System\\CurrentControlSet\\Services\\Class";
const std::string kChild0 = "Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01";

// Run body on the PC as the given program would, with the K6417 texts.
sim::RunResult InProgram(sim::Pc &pc, int program, const std::function<void()> &body)
{
    return pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Program = program;
        ProgramState.Variant = K6417;
        SelectVariantTexts();
        body();
    });
}

InstalledDriverRecord Collect(sim::Pc &pc, int program = PROGRAM_SETUP,
                              sim::RunResult *result = nullptr)
{
    InstalledDriverRecord record{};
    sim::RunResult r = InProgram(pc, program, [&] { CollectInstalledDriver(&record, 1); });
    if (result)
        *result = r;
    return record;
}

// ---- FindDeviceKey ----

struct DeviceKeyCase {
    const char *name;
    std::vector<std::string> subkeys; // under Enum\PCI, in enumeration order
    ChipIndex chip;
    std::string expected;             // DeviceKey, "" for not found
};

const std::vector<DeviceKeyCase> &DeviceKeyCases()
{
    static const std::vector<DeviceKeyCase> cases = {
        {"first of two matches",
         {"VEN_8086&DEV_7111", "VEN_1E6B&DEV_6417&SUBSYS_00000000", "VEN_1E6B&DEV_6417&SUBSYS_11111111"},
         1, "Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000"},
        {"ID only in the subsystem part, first",
         {"VEN_10B9&DEV_5229&SUBSYS_64171E6B", "VEN_1E6B&DEV_6417"},
         1, "Enum\\PCI\\VEN_10B9&DEV_5229&SUBSYS_64171E6B"},
        {"chip 0 looks for 6407", {"VEN_1E6B&DEV_6417", "VEN_1E6B&DEV_6407"}, 0,
         "Enum\\PCI\\VEN_1E6B&DEV_6407"},
        {"no match", {"VEN_8086&DEV_7111"}, 1, ""},
        {"no branch", {}, 1, ""},
        {"128-character name ends the search", {std::string(128, 'A'), "VEN_1E6B&DEV_6417"}, 1, ""},
        {"127-character name is passed over", {std::string(127, 'A'), "VEN_1E6B&DEV_6417"}, 1,
         "Enum\\PCI\\VEN_1E6B&DEV_6417"},
        {"path of 127 characters fits", {"6417" + std::string(114, 'B')}, 1,
         "Enum\\PCI\\6417" + std::string(114, 'B')},
        {"path of 128 characters is refused", {"6417" + std::string(115, 'B')}, 1, ""},
    };
    return cases;
}

void PrintTo(const DeviceKeyCase &c, std::ostream *os) { *os << c.name; }

class DeviceKeyTable : public ::testing::TestWithParam<DeviceKeyCase> {};

TEST_P(DeviceKeyTable, RecordsTheFirstMatchingSubkey)
{
    const DeviceKeyCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    for (const std::string &name : c.subkeys)
        pc.AddKey(kHklm + "Enum\\PCI\\" + name);

    DeviceSlot slot{"stale", "stale", 1};
    int result = -1;
    InProgram(pc, PROGRAM_SETUP, [&] { result = FindDeviceKey(&slot, c.chip, "Enum\\PCI"); });

    EXPECT_EQ(std::string(slot.DeviceKey), c.expected);
    EXPECT_EQ(slot.Found, c.expected.empty() ? 0 : 1);
    EXPECT_EQ(result, slot.Found);
    EXPECT_STREQ(slot.DriverKey, "");
}

INSTANTIATE_TEST_SUITE_P(Record, DeviceKeyTable, ::testing::ValuesIn(DeviceKeyCases()));

// ---- ReadDriverKey ----

struct DriverValueCase {
    const char *name;
    std::optional<sim::Value> driver;
    std::string expected; // DriverKey
};

const std::vector<DriverValueCase> &DriverValueCases()
{
    static const std::vector<DriverValueCase> cases = {
        {"plain", sim::Sz("hdc\\0001"), kClass + "\\hdc\\0001"},
        {"trailing blanks dropped", sim::Sz("hdc\\0001   "), kClass + "\\hdc\\0001"},
        {"empty", sim::Sz(""), ""},
        {"blanks only", sim::Sz("   "), ""},
        {"missing", std::nullopt, ""},
        {"87 characters", sim::Sz(std::string(87, 'd')), kClass + "\\" + std::string(87, 'd')},
        {"88 characters", sim::Sz(std::string(88, 'd')), ""},
        {"longer than the buffer", sim::Sz(std::string(200, 'd')), ""},
        {"no terminating NUL", sim::Binary("hdc\\0002"), kClass + "\\hdc\\0002"},
        {"ends at the first NUL", sim::Binary(std::string("hdc\\0003\0tail", 13)),
         kClass + "\\hdc\\0003"},
    };
    return cases;
}

void PrintTo(const DriverValueCase &c, std::ostream *os) { *os << c.name; }

class DriverValueTable : public ::testing::TestWithParam<DriverValueCase> {};

TEST_P(DriverValueTable, ComposesTheDriverKey)
{
    const DriverValueCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    pc.AddKey(kHklm + kChild0);
    if (c.driver)
        pc.SetValue(kHklm + kChild0, "Driver", *c.driver);

    DeviceSlot slot{"", "stale", 1};
    int result = -1;
    InProgram(pc, PROGRAM_SETUP, [&] {
        result = ReadDriverKey(&slot, kChild0.c_str());
    });

    EXPECT_EQ(std::string(slot.DriverKey), c.expected);
    EXPECT_EQ(result, c.expected.empty() ? 0 : 1);
    if (!c.expected.empty())
        EXPECT_LE(c.expected.size(), 127u);
}

INSTANTIATE_TEST_SUITE_P(Record, DriverValueTable, ::testing::ValuesIn(DriverValueCases()));

// ---- CollectInstalledDriver: the three slots ----

const char kThreeSlots[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01\\BUS_00&DEV_05&FUNC_01]\r\n"
    "\"Driver\"=\"hdc\\\\0001\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01\\BUS_00&DEV_05&FUNC_02]\r\n"
    "\"Driver\"=\"hdc\\\\0009\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01]\r\n"
    "\"Driver\"=\"hdc\\\\0002\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\MF\\CHILD0001\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01]\r\n"
    "\"Driver\"=\"hdc\\\\0003\"\r\n\r\n";

TEST(Record, FillsEachSlotFromItsBranch)
{
    sim::Pc pc;
    pc.LoadRegistry(kThreeSlots);

    InstalledDriverRecord r = Collect(pc);

    EXPECT_STREQ(r.Slots[0].DeviceKey, "Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01");
    EXPECT_EQ(std::string(r.Slots[0].DriverKey), kClass + "\\hdc\\0001"); // first instance only
    EXPECT_EQ(std::string(r.Slots[1].DeviceKey), kChild0);
    EXPECT_EQ(std::string(r.Slots[1].DriverKey), kClass + "\\hdc\\0002");
    EXPECT_STREQ(r.Slots[2].DeviceKey,
                 "Enum\\MF\\CHILD0001\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01");
    EXPECT_EQ(std::string(r.Slots[2].DriverKey), kClass + "\\hdc\\0003");
    for (const DeviceSlot &s : r.Slots)
        EXPECT_EQ(s.Found, 1);
}

TEST(Record, PciDeviceWithoutInstanceKeepsFoundWithoutDriverKey)
{
    sim::Pc pc;
    pc.AddKey(kHklm + "Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01");
    pc.AddKey(kHklm + "Enum\\MF\\CHILD0001\\VEN_8086&DEV_7111");

    InstalledDriverRecord r = Collect(pc);

    EXPECT_EQ(r.Slots[0].Found, 1);
    EXPECT_STREQ(r.Slots[0].DriverKey, "");
    for (int i = 1; i < 3; i++) {
        EXPECT_EQ(r.Slots[i].Found, 0);
        EXPECT_STREQ(r.Slots[i].DeviceKey, "");
        EXPECT_STREQ(r.Slots[i].DriverKey, "");
    }
    EXPECT_STREQ(r.InfFile, "");
}

// ---- FindDriverInf: where the OEM INF is ----

struct InfCase {
    const char *name;
    std::optional<sim::Value> infPath;
    std::vector<std::string> files;
    std::string expected; // InfFile
    bool child = true;    // a CHILD0000 device points at the driver key
    std::optional<std::string> remover = std::nullopt; // InfFile in the remover, when it differs
};

const std::vector<InfCase> &InfCases()
{
    static const std::vector<InfCase> cases = {
        {"in inf", sim::Sz("oem3.inf"), {"C:\\WINDOWS\\INF\\OEM3.INF"}, "C:\\WINDOWS\\inf\\oem3.inf"},
        {"in inf\\other", sim::Sz("oem3.inf"), {"C:\\WINDOWS\\INF\\OTHER\\OEM3.INF"},
         "C:\\WINDOWS\\inf\\other\\oem3.inf"},
        {"in both: inf wins", sim::Sz("oem3.inf"),
         {"C:\\WINDOWS\\INF\\OTHER\\OEM3.INF", "C:\\WINDOWS\\INF\\OEM3.INF"},
         "C:\\WINDOWS\\inf\\oem3.inf"},
        {"in neither", sim::Sz("oem3.inf"), {"C:\\WINDOWS\\OEM3.INF"}, ""},
        {"value missing", std::nullopt, {"C:\\WINDOWS\\INF\\OEM3.INF"}, ""},
        {"Windows' own class INF", sim::Sz("MSHDC.INF"), {"C:\\WINDOWS\\INF\\MSHDC.INF"}, ""},
        {"path-like: folder", sim::Sz("other\\oem3.inf"), {"C:\\WINDOWS\\INF\\OTHER\\OEM3.INF"}, ""},
        {"path-like: drive", sim::Sz("C:oem3.inf"), {"C:\\WINDOWS\\INF\\OEM3.INF"}, ""},
        {"path-like: slash", sim::Sz("../oem3.inf"), {"C:\\OEM3.INF"}, ""},
        {"no terminating NUL", sim::Binary("oem3.inf"), {"C:\\WINDOWS\\INF\\OEM3.INF"},
         "C:\\WINDOWS\\inf\\oem3.inf"},
        {"127 characters fit", sim::Sz(std::string(108, 'n') + ".inf"),
         {"C:\\WINDOWS\\INF\\" + std::string(108, 'n') + ".inf"},
         "C:\\WINDOWS\\inf\\" + std::string(108, 'n') + ".inf"},
        {"128 characters are refused", sim::Sz(std::string(109, 'n') + ".inf"),
         {"C:\\WINDOWS\\INF\\" + std::string(109, 'n') + ".inf"}, ""},
        {"no CHILD0000 device", sim::Sz("oem3.inf"), {"C:\\WINDOWS\\INF\\OEM3.INF"}, "", false},
        {"200 bytes: only the remover reads them",
         sim::Binary(std::string("oem3.inf\0", 9) + std::string(191, ' ')),
         {"C:\\WINDOWS\\INF\\OEM3.INF"}, "", true, "C:\\WINDOWS\\inf\\oem3.inf"},
    };
    return cases;
}

void PrintTo(const InfCase &c, std::ostream *os) { *os << c.name; }

class InfTable : public ::testing::TestWithParam<InfCase> {};

TEST_P(InfTable, FindsTheOemInfOfTheChild0000Driver)
{
    const InfCase &c = GetParam();
    SCOPED_TRACE(c.name);
    for (int program : {PROGRAM_SETUP, PROGRAM_REMOVE}) {
        sim::Pc pc;
        // Slot 0 points at the same driver key: only CHILD0000 is consulted.
        pc.SetValue(kHklm + "Enum\\PCI\\VEN_1E6B&DEV_6417\\BUS_00&DEV_05&FUNC_01", "Driver",
                    sim::Sz("hdc\\0002"));
        if (c.child)
            pc.SetValue(kHklm + kChild0, "Driver", sim::Sz("hdc\\0002"));
        pc.SetValue(kHklm + kClass + "\\hdc\\0002", "PortDriver", sim::Sz("k6417.mpd"));
        if (c.infPath)
            pc.SetValue(kHklm + kClass + "\\hdc\\0002", "InfPath", *c.infPath);
        for (const std::string &f : c.files)
            pc.AddFile(f, "[Version]\r\n");

        InstalledDriverRecord r = Collect(pc, program);
        const std::string expected =
            program == PROGRAM_REMOVE && c.remover ? *c.remover : c.expected;
        EXPECT_EQ(std::string(r.InfFile), expected) << "program " << program;
    }
}

INSTANTIATE_TEST_SUITE_P(Record, InfTable, ::testing::ValuesIn(InfCases()));

// ---- the remover's port-driver gate ----

struct GateCase {
    const char *name;
    int program;
    std::optional<sim::Value> portDriver;
    bool child;
    bool ends;
};

const std::vector<GateCase> &GateCases()
{
    static const std::vector<GateCase> cases = {
        {"ours", PROGRAM_REMOVE, sim::Sz("k6417.mpd"), true, false},
        {"ours in capitals", PROGRAM_REMOVE, sim::Sz("K6417.MPD"), true, false},
        {"the other chip's", PROGRAM_REMOVE, sim::Sz("k6407.mpd"), true, false},
        {"the OEM edition's", PROGRAM_REMOVE, sim::Sz("kqide.mpd"), true, false},
        {"ours, in 200 bytes", PROGRAM_REMOVE,
         sim::Binary(std::string("k6417.mpd\0", 10) + std::string(190, ' ')), true, false},
        {"missing", PROGRAM_REMOVE, std::nullopt, true, true},
        {"another driver", PROGRAM_REMOVE, sim::Sz("esdi.mpd"), true, true},
        {"no CHILD0000 device: no gate", PROGRAM_REMOVE, std::nullopt, false, false},
        {"the installer has no gate", PROGRAM_SETUP, sim::Sz("esdi.mpd"), true, false},
    };
    return cases;
}

void PrintTo(const GateCase &c, std::ostream *os) { *os << c.name; }

class GateTable : public ::testing::TestWithParam<GateCase> {};

TEST_P(GateTable, EndsTheRemoverOnlyForAForeignPortDriver)
{
    const GateCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    const std::string driverKey = kHklm + kClass + "\\hdc\\0002";
    if (c.child)
        pc.SetValue(kHklm + kChild0, "Driver", sim::Sz("hdc\\0002"));
    pc.SetValue(driverKey, "InfPath", sim::Sz("oem3.inf"));
    if (c.portDriver)
        pc.SetValue(driverKey, "PortDriver", *c.portDriver);
    pc.AddFile("C:\\WINDOWS\\INF\\OEM3.INF", "[Version]\r\n");

    sim::RunResult result;
    InstalledDriverRecord r = Collect(pc, c.program, &result);

    std::vector<std::string> boxes = result.Lines("message-box");
    if (c.ends) {
        EXPECT_TRUE(result.exitedViaExitProcess);
        EXPECT_EQ(result.exitCode, 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find("caption=\"Setup Error!\""), std::string::npos) << boxes[0];
        EXPECT_NE(boxes[0].find("text=\"There is no ORV IDE driver to remove!\""),
                  std::string::npos)
            << boxes[0];
    } else {
        EXPECT_FALSE(result.exitedViaExitProcess);
        EXPECT_TRUE(boxes.empty());
        EXPECT_STREQ(r.InfFile, c.child ? "C:\\WINDOWS\\inf\\oem3.inf" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(Record, GateTable, ::testing::ValuesIn(GateCases()));

// ---- InfNamesDriver ----

struct NamesCase {
    const char *name;
    std::optional<std::string> content;
    int expected;
};

const std::vector<NamesCase> &NamesCases()
{
    static const std::vector<NamesCase> cases = {
        {"names the driver", "[Files]\r\nk6417.mpd,,,\r\n", 1},
        {"only in capitals", "[Files]\r\nK6417.mpd\r\n", 0},
        {"only the other chip's", "[Files]\r\nk6407.mpd\r\n", 0},
        {"missing file", std::nullopt, 0},
        {"split across two pieces", std::string(250, 'x') + "k6417.mpd\r\n", 0},
        {"whole in the second piece", std::string(255, 'x') + "k6417.mpd\r\n", 1},
    };
    return cases;
}

void PrintTo(const NamesCase &c, std::ostream *os) { *os << c.name; }

class NamesTable : public ::testing::TestWithParam<NamesCase> {};

TEST_P(NamesTable, LooksForTheChipsDriverFile)
{
    const NamesCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    if (c.content)
        pc.AddFile("C:\\WINDOWS\\INF\\OEM3.INF", *c.content);

    int named = -1;
    InProgram(pc, PROGRAM_SETUP, [&] { named = InfNamesDriver("C:\\WINDOWS\\INF\\OEM3.INF", 1); });
    EXPECT_EQ(named, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Record, NamesTable, ::testing::ValuesIn(NamesCases()));

// ---- DeleteDeviceKeys ----

TEST(Record, DeletesFoundDeviceKeysWithTheirDriverKeys)
{
    sim::Pc pc;
    pc.LoadRegistry(kThreeSlots);
    pc.AddKey(kHklm + kClass + "\\hdc\\0001\\Sub");
    pc.AddKey(kHklm + kClass + "\\hdc\\0009");
    pc.AddKey(kHklm + kClass + "\\hdc\\0002");
    pc.AddKey(kHklm + kClass + "\\hdc\\0003");
    pc.AddKey(kHklm + "Enum\\PCI\\VEN_8086&DEV_7111");

    InProgram(pc, PROGRAM_SETUP, [&] {
        InstalledDriverRecord r;
        CollectInstalledDriver(&r, 1);
        DeleteDeviceKeys(&r);
    });

    EXPECT_FALSE(pc.HasKey(kHklm + "Enum\\PCI\\VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01"));
    EXPECT_FALSE(pc.HasKey(kHklm + kChild0));
    EXPECT_FALSE(pc.HasKey(kHklm + "Enum\\MF\\CHILD0001\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_05&FUNC_01"));
    EXPECT_FALSE(pc.HasKey(kHklm + kClass + "\\hdc\\0001"));
    EXPECT_FALSE(pc.HasKey(kHklm + kClass + "\\hdc\\0002"));
    EXPECT_FALSE(pc.HasKey(kHklm + kClass + "\\hdc\\0003"));
    // Only the first instance's driver key was recorded; the rest stays.
    EXPECT_TRUE(pc.HasKey(kHklm + kClass + "\\hdc\\0009"));
    EXPECT_TRUE(pc.HasKey(kHklm + "Enum\\PCI\\VEN_8086&DEV_7111"));
}

} // namespace
