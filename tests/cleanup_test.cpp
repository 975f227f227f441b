// cleanup_test.cpp - clearing the device enumeration over small registries:
// what each step deletes, what stays, the name limits and the lists that
// take several passes.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cleanup.h"
#include "machine.h"
#include "sim.h"
#include "testsupport.h"

namespace {

using testsupport::kHklm;
const std::string kChild0 = "Enum\\MF\\CHILD0000";
const std::string kChild1 = "Enum\\MF\\CHILD0001";
const std::string kPci = "Enum\\PCI";
const std::string kScsi = "Enum\\SCSI";
const std::string kHdc = "System\\CurrentControlSet\\Services\\Class\\hdc";

std::string Number(int i)
{
    char s[8];
    snprintf(s, sizeof s, "%04d", i);
    return s;
}

// Subkeys 0000, 0001, ... of key, each with a subkey of its own.
void AddNumbered(sim::Pc &pc, const std::string &key, int count)
{
    for (int i = 0; i < count; i++)
        pc.AddKey(kHklm + key + "\\" + Number(i) + "\\Settings");
}

std::vector<std::string> Numbered(const std::string &key, int from, int to)
{
    std::vector<std::string> keys;
    for (int i = from; i < to; i++)
        keys.push_back(key + "\\" + Number(i));
    return keys;
}

// A PCI device key with instances 0000, 0001, ... of the given classes
// ("" for an instance without a "Class" value).
void AddDevice(sim::Pc &pc, const std::string &device, const std::vector<std::string> &classes)
{
    std::string key = kHklm + kPci + "\\" + device;
    pc.AddKey(key);
    for (size_t i = 0; i < classes.size(); i++) {
        std::string instance = key + "\\" + Number(int(i));
        pc.AddKey(instance);
        if (!classes[i].empty())
            pc.SetValue(instance, "Class", sim::Sz(classes[i]));
    }
}

std::string Device(const std::string &name) { return kPci + "\\" + name; }

struct CleanupCase {
    const char *name;
    std::function<void(sim::Pc &)> build;
    std::vector<std::string> gone; // relative to HKEY_LOCAL_MACHINE
    std::vector<std::string> kept;
    std::vector<sim::Failure> failures;
};

std::vector<CleanupCase> Cases()
{
    const std::string longName(128, 'L');  // does not fit a 128-character buffer
    const std::string fullName(127, 'F');  // just fits
    std::vector<CleanupCase> cases = {
        {"no CHILD0000: CHILD0001 is still cleared",
         [](sim::Pc &pc) {
             pc.AddKey(kHklm + kChild1 + "\\PCI&VEN_1E6B\\Sub");
             pc.AddKey(kHklm + kChild1 + "\\ESDI");
         },
         {kChild1 + "\\PCI&VEN_1E6B", kChild1 + "\\ESDI", kChild0},
         {kChild1}},
        {"the parent keys stay, SCSI goes whole, other branches stay",
         [](sim::Pc &pc) {
             pc.AddKey(kHklm + kChild0 + "\\A\\B");
             pc.AddKey(kHklm + kChild1 + "\\C");
             pc.AddKey(kHklm + kScsi + "\\DISK\\0000");
             AddNumbered(pc, kHdc, 1);
             pc.AddKey(kHklm + "System\\CurrentControlSet\\Services\\Class\\CDROM\\0000");
             pc.AddKey(kHklm + "Enum\\ESDI\\DISK\\0000");
             pc.AddKey(kHklm + "Enum\\MF\\CHILD0002\\D");
         },
         {kChild0 + "\\A", kChild1 + "\\C", kScsi, kHdc + "\\0000"},
         {kChild0, kChild1, "Enum", kHdc, "System\\CurrentControlSet\\Services\\Class\\CDROM\\0000",
          "Enum\\ESDI\\DISK\\0000", "Enum\\MF\\CHILD0002\\D"}},
        {"4 class subkeys all go", [](sim::Pc &pc) { AddNumbered(pc, kHdc, 4); }, Numbered(kHdc, 0, 4),
         {kHdc}},
        {"10 class subkeys all go", [](sim::Pc &pc) { AddNumbered(pc, kHdc, 10); },
         Numbered(kHdc, 0, 10), {kHdc}},
        {"25 class subkeys and 25 children all go",
         [](sim::Pc &pc) {
             AddNumbered(pc, kHdc, 25);
             AddNumbered(pc, kChild0, 25);
         },
         Numbered(kHdc, 0, 25), {kHdc, kChild0}},
        {"a name too long ends the collection; the ones before it go",
         [=](sim::Pc &pc) {
             pc.AddKey(kHklm + kHdc + "\\" + fullName);
             AddNumbered(pc, kHdc, 3);
             pc.AddKey(kHklm + kHdc + "\\" + longName);
             pc.AddKey(kHklm + kHdc + "\\Later");
         },
         {kHdc + "\\" + fullName, kHdc + "\\0000", kHdc + "\\0001", kHdc + "\\0002"},
         {kHdc + "\\" + longName, kHdc + "\\Later"}},
        {"a name too long after a full list still ends it",
         [=](sim::Pc &pc) {
             AddNumbered(pc, kChild0, 12);
             pc.AddKey(kHklm + kChild0 + "\\" + longName);
             pc.AddKey(kHklm + kChild0 + "\\Later");
         },
         Numbered(kChild0, 0, 12), {kChild0 + "\\" + longName, kChild0 + "\\Later"}},
        {"\"HDC\" is not \"hdc\"",
         [](sim::Pc &pc) {
             AddDevice(pc, "VEN_8086&DEV_7111", {"HDC"});
             AddDevice(pc, "VEN_1E6B&DEV_6417", {"hdc", "Net"});
         },
         {Device("VEN_1E6B&DEV_6417")}, {Device("VEN_8086&DEV_7111\\0000")}},
        {"only the first instance decides",
         [](sim::Pc &pc) {
             AddDevice(pc, "VEN_10EC&DEV_8139", {"Net", "hdc"});
             AddDevice(pc, "VEN_1E6B&DEV_6407", {"hdc", "hdc"});
         },
         {Device("VEN_1E6B&DEV_6407")}, {Device("VEN_10EC&DEV_8139\\0001")}},
        {"a device without instances, or without a Class, stays",
         [](sim::Pc &pc) {
             AddDevice(pc, "VEN_1234&DEV_0001", {});
             AddDevice(pc, "VEN_1234&DEV_0002", {""});
             AddDevice(pc, "VEN_1E6B&DEV_6417", {"hdc"});
         },
         {Device("VEN_1E6B&DEV_6417")}, {Device("VEN_1234&DEV_0001"), Device("VEN_1234&DEV_0002\\0000")}},
        {"matches separated by non-matches all go",
         [](sim::Pc &pc) {
             AddDevice(pc, "A", {"hdc"});
             AddDevice(pc, "B", {"Net"});
             AddDevice(pc, "C", {"Display"});
             AddDevice(pc, "D", {"hdc"});
             AddDevice(pc, "E", {"System"});
         },
         {Device("A"), Device("D")}, {Device("B"), Device("C"), Device("E"), kPci}},
        {"no SCSI key: the class keys are still cleared",
         [](sim::Pc &pc) {
             pc.AddKey(kHklm + "Enum\\Root");
             AddNumbered(pc, kHdc, 2);
         },
         Numbered(kHdc, 0, 2), {"Enum\\Root", kHdc}},
        {"the composed instance path fits 127 characters, not 128",
         [](sim::Pc &pc) {
             // "Enum\PCI\" + name + "\0000": 9 + 113 + 5 = 127.
             AddDevice(pc, std::string(113, 'A'), {"hdc"});
             AddDevice(pc, std::string(114, 'B'), {"hdc"});
         },
         {Device(std::string(113, 'A'))}, {Device(std::string(114, 'B')) + "\\0000"}},
        {"an empty registry: nothing to do", [](sim::Pc &) {}, {"Enum"}, {}},
    };

    // More devices and matches than one pass holds.
    CleanupCase many{"30 devices, 25 of them hdc", [](sim::Pc &pc) {
                         for (int i = 0; i < 30; i++)
                             AddDevice(pc, "DEV_" + Number(i), {i % 6 == 5 ? "Net" : "hdc"});
                     }};
    for (int i = 0; i < 30; i++)
        (i % 6 == 5 ? many.kept : many.gone).push_back(Device("DEV_" + Number(i)));
    cases.push_back(many);

    // A delete that fails keeps its key; the later passes go past it.
    CleanupCase failedClass{"a failed delete among 12 class keys keeps only that key",
                            [](sim::Pc &pc) { AddNumbered(pc, kHdc, 12); }};
    failedClass.kept = {kHdc + "\\0002"};
    failedClass.gone = Numbered(kHdc, 0, 2);
    for (const std::string &k : Numbered(kHdc, 3, 12))
        failedClass.gone.push_back(k);
    failedClass.failures = {{"RegDeleteKeyA", 3, ERROR_ACCESS_DENIED}};
    cases.push_back(failedClass);

    CleanupCase failedPci{"a failed delete among 24 matching devices keeps only that device",
                          [](sim::Pc &pc) {
                              for (int i = 0; i < 24; i++)
                                  AddDevice(pc, "DEV_" + Number(i), {"hdc"});
                          }};
    for (int i = 0; i < 24; i++)
        (i == 1 ? failedPci.kept : failedPci.gone).push_back(Device("DEV_" + Number(i)));
    failedPci.failures = {{"RegDeleteKeyA", 2, ERROR_ACCESS_DENIED}};
    cases.push_back(failedPci);
    return cases;
}

void PrintTo(const CleanupCase &c, std::ostream *os) { *os << c.name; }

class CleanupTable : public ::testing::TestWithParam<CleanupCase> {};

TEST_P(CleanupTable, DeletesWhatTheTableNamesAndNothingElse)
{
    const CleanupCase &c = GetParam();
    sim::Pc pc;
    c.build(pc);
    for (const sim::Failure &f : c.failures)
        pc.Fail(f);
    pc.Invoke([] { ClearDeviceEnumeration(); });
    for (const std::string &k : c.gone)
        EXPECT_FALSE(pc.HasKey(kHklm + k)) << "still there: " << k;
    for (const std::string &k : c.kept)
        EXPECT_TRUE(pc.HasKey(kHklm + k)) << "gone: " << k;
    EXPECT_TRUE(pc.impl().keyHandles.empty()) << "a key was left open";
}

INSTANTIATE_TEST_SUITE_P(Cleanup, CleanupTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<CleanupCase> &info) {
                             std::string name;
                             for (char ch : std::string(info.param.name))
                                 name += isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// The empty parents stay as keys without subkeys.
TEST(Cleanup, LeavesTheClearedKeysEmpty)
{
    sim::Pc pc;
    AddNumbered(pc, kChild0, 3);
    AddNumbered(pc, kChild1, 3);
    AddNumbered(pc, kHdc, 3);
    AddDevice(pc, "VEN_1E6B&DEV_6417", {"hdc", "hdc"});
    pc.Invoke([] { ClearDeviceEnumeration(); });
    for (const std::string &k : {kChild0, kChild1, kHdc, kPci}) {
        EXPECT_TRUE(pc.HasKey(kHklm + k)) << k;
        EXPECT_TRUE(pc.Subkeys(kHklm + k).empty()) << k;
    }
}

} // namespace
