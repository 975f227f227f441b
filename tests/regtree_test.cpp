// regtree_test.cpp - the registry on both families of Windows: the order
// of subkeys, and deleting a key with everything below it (RegDeleteKeyA
// takes the tree on Windows 95/98 and refuses a key with subkeys on NT,
// where the subkeys go first).
#include <gtest/gtest.h>

#include <string>

#include "sim.h"
#include "testsupport.h"

namespace {

using testsupport::kHklm;

TEST(KeyTree, DeletedWholeOnEveryFamily)
{
    for (sim::Version v : {sim::Version::Win95, sim::Version::Win98, sim::Version::NT}) {
        SCOPED_TRACE(static_cast<int>(v));
        sim::Pc pc;
        pc.SetVersion(v);
        pc.AddKey(kHklm + "Enum\\SCSI\\DISK\\0000\\Deeper");
        pc.AddKey(kHklm + "Enum\\SCSI\\CDROM");
        pc.AddKey(kHklm + "Enum\\Other");
        LONG plain = -1, tree = -1;
        pc.Invoke([&] {
            plain = RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\SCSI");
            if (plain != ERROR_SUCCESS)
                tree = DeleteKeyTree(HKEY_LOCAL_MACHINE, "Enum\\SCSI");
        });
        if (v == sim::Version::NT) {
            EXPECT_EQ(plain, ERROR_ACCESS_DENIED);
            EXPECT_EQ(tree, ERROR_SUCCESS);
        } else {
            EXPECT_EQ(plain, ERROR_SUCCESS);
        }
        EXPECT_FALSE(pc.HasKey(kHklm + "Enum\\SCSI"));
        EXPECT_TRUE(pc.HasKey(kHklm + "Enum\\Other"));
    }
}

TEST(KeyTree, SubkeysEnumerateInCreationOrderOn9xAndByNameOnNt)
{
    for (sim::Version v : {sim::Version::Win98, sim::Version::NT}) {
        sim::Pc pc;
        pc.SetVersion(v);
        for (const char *name : {"b", "A", "c"})
            pc.AddKey(kHklm + "Enum\\PCI\\" + name);
        std::string order;
        pc.Invoke([&] {
            HKEY key;
            ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\PCI", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
            char name[128];
            DWORD size = sizeof name;
            for (DWORD i = 0; RegEnumKeyExA(key, i, name, &size, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
                 i++, size = sizeof name)
                order += name;
            RegCloseKey(key);
        });
        EXPECT_EQ(order, v == sim::Version::NT ? "Abc" : "bAc");
    }
}

// The installer on an NT machine still takes the device keys with their
// instance keys, and clears the enumeration as on Windows 98.
TEST(KeyTree, InstallerOnNtDeletesTheSameTrees)
{
    sim::Pc on98, onNt;
    on98.LoadFolder(testsupport::SamplePath("win98-k6417"));
    onNt.LoadFolder(testsupport::SamplePath("win98-k6417"));
    onNt.SetVersion(sim::Version::NT);
    sim::RunResult a = on98.Run(sim::IdeSetup(), "/D:K6417");
    sim::RunResult b = onNt.Run(sim::IdeSetup(), "/D:K6417");
    EXPECT_EQ(a.changes, b.changes);
    EXPECT_EQ(on98.ExportRegistry(), onNt.ExportRegistry());
}

} // namespace
