// regressions_test.cpp - inputs that the fuzzers (fuzz/) found to break a
// property, kept so that the fault stays fixed.
#include <gtest/gtest.h>

#include <string>

#include "record.h"
#include "sim.h"

namespace {

const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
const std::string kClass = "System\\CurrentControlSet\\Services\\Class";
const std::string kChild0 = "Enum\\MF\\CHILD0000\\PCI&VEN_1E6B&DEV_6417&BUS_00&DEV_07&FUNC_01";

// walks_fuzz: a "Driver" value of nothing but backslashes made the driver
// key "...\Class\\", which the registry resolves to the class branch
// itself, and deleting the record's keys took every device class with it.
TEST(Regressions, DriverValueOfBackslashesNamesNoDriverKey)
{
    for (const char *value : {"\\", "\\\\", "\\   "}) {
        SCOPED_TRACE(value);
        sim::Pc pc;
        pc.SetValue(kHklm + kChild0, "Driver", sim::Sz(value));
        pc.AddKey(kHklm + kClass + "\\hdc\\0000");
        pc.AddKey(kHklm + kClass + "\\CDROM\\0000");
        InstalledDriverRecord record{};
        pc.Invoke([&] {
            ProgramState = ProgramStateData{};
            ProgramState.Program = PROGRAM_SETUP;
            CollectInstalledDriver(&record, 1);
            DeleteDeviceKeys(&record);
        });
        EXPECT_STREQ(record.Slots[1].DriverKey, "");
        EXPECT_FALSE(pc.HasKey(kHklm + kChild0));
        EXPECT_TRUE(pc.HasKey(kHklm + kClass + "\\hdc\\0000"));
        EXPECT_TRUE(pc.HasKey(kHklm + kClass + "\\CDROM\\0000"));
    }
}

} // namespace
