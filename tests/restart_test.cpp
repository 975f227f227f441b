// restart_test.cpp - FinishWithRestart and RestartWindows: the wait, the
// NT family's shutdown privilege, and the messages of each failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "completion.h"
#include "sim.h"

namespace {

const std::string kRestart = "restart flags=2 result=1\n";
const std::string kWait = "sleep ms=30000\n";
const std::string kToken = "debug-output text=\"Setting token\"\n";
const std::string kExit = "exit code=0\n";
// NT refuses the restart to a process without the shutdown privilege.
const std::string kRefused = "restart flags=2 result=0\n" "message-box caption=null "
                             "text=\"Error ExitWindows Error #1314\" buttons=ok answer=ok\n";

// A restart error as the transcript shows it: an OK box with no caption.
std::string BoxLine(const std::string &text)
{
    return "message-box caption=null text=\"" + text + "\" buttons=ok answer=ok";
}
std::string Box(const std::string &text) { return BoxLine(text) + "\n"; }

struct RestartCase {
    const char *name;
    sim::Version version;
    RestartChoice choice;
    std::vector<sim::Failure> failures;
    std::string transcript;
    int tokenCalls; // OpenProcessToken, LookupPrivilegeValueA, AdjustTokenPrivileges each
};

const std::vector<RestartCase> kCases = {
    {"now restarts without a wait", sim::Version::Win98, RESTART_NOW, {}, kRestart + kExit, 0},
    {"later waits first", sim::Version::Win98, RESTART_LATER, {}, kWait + kRestart + kExit, 0},
    {"no dialog waits first", sim::Version::Win98, RESTART_NO_DIALOG, {}, kWait + kRestart + kExit, 0},
    {"the initial 0 waits first", sim::Version::Win95, 0, {}, kWait + kRestart + kExit, 0},
    {"Windows 95 touches no token", sim::Version::Win95, RESTART_NOW, {}, kRestart + kExit, 0},
    {"NT takes the shutdown privilege", sim::Version::NT, RESTART_NOW, {}, kToken + kRestart + kExit, 1},
    {"NT waits before the token", sim::Version::NT, RESTART_LATER, {}, kWait + kToken + kRestart + kExit, 1},
    {"no token: the adjustment fails as well", sim::Version::NT, RESTART_NOW,
     {{"OpenProcessToken", 0, ERROR_ACCESS_DENIED}},
     kToken + Box("OpenProcessToken Error #5") + Box("AdjustTokenPrivileges Error #6") + kRefused + kExit, 1},
    {"the adjustment fails", sim::Version::NT, RESTART_NOW,
     {{"AdjustTokenPrivileges", 0, ERROR_NOT_ALL_ASSIGNED}},
     kToken + Box("AdjustTokenPrivileges Error #1300") + kRefused + kExit, 1},
    {"a failed privilege lookup is not reported", sim::Version::NT, RESTART_NOW,
     {{"LookupPrivilegeValueA", 0, 1313}}, kToken + kRefused + kExit, 1},
    {"the restart request fails", sim::Version::Win98, RESTART_NOW,
     {{"ExitWindowsEx", 0, ERROR_ACCESS_DENIED}},
     "restart flags=2 result=0\n" + Box("Error ExitWindows Error #5") + kExit, 0},
    {"the code is a signed number", sim::Version::NT, RESTART_NOW,
     {{"ExitWindowsEx", 0, 0x80070005u}},
     kToken + "restart flags=2 result=0\n" + Box("Error ExitWindows Error #-2147024891") + kExit, 1},
};

TEST(Restart, WaitTokenAndMessagesAsEachCaseNeeds)
{
    for (const RestartCase &c : kCases) {
        SCOPED_TRACE(c.name);
        sim::Pc pc;
        pc.SetVersion(c.version);
        for (const sim::Failure &f : c.failures)
            pc.Fail(f);
        sim::RunResult r = pc.Invoke([&] { FinishWithRestart(c.choice); });
        EXPECT_EQ(r.Transcript(), c.transcript);
        EXPECT_EQ(pc.CallCount("GetVersion"), 1);
        for (const char *call : {"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges"})
            EXPECT_EQ(pc.CallCount(call), c.tokenCalls) << call;
        EXPECT_EQ(pc.CallCount("ExitWindowsEx"), 1);
    }
}

// The installer's whole run on the sample PC: the dialog's "later", then
// the clean-up, the wait and the restart.
TEST(Restart, InstallerOnTheSampleChoosesLaterAndRestartsAfterTheWait)
{
    const std::string hklm = "HKEY_LOCAL_MACHINE\\";
    sim::Pc pc;
    pc.LoadFolder(std::string(IDE_SOURCE_DIR) + "/samples/win98-k6417");
    ASSERT_FALSE(pc.Subkeys(hklm + "Enum\\MF\\CHILD0000").empty());
    ASSERT_TRUE(pc.HasKey(hklm + "Enum\\SCSI"));
    pc.SetAnswers({"yes", "later"});
    sim::RunResult r = pc.Run(sim::IdeSetup(), "/D:K6417");

    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> kinds;
    for (const sim::Event &e : r.events)
        kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"message-box", "dialog", "sleep", "restart", "exit"}));
    EXPECT_EQ(r.Lines("dialog"), std::vector<std::string>{"dialog name=DIALOG_COMPLETE caption=\" Setup "
                                                          "Complete!\" clicks=1026,1027 result=1"});
    EXPECT_EQ(r.Lines("sleep"), std::vector<std::string>{"sleep ms=30000"});
    EXPECT_EQ(r.Lines("restart"), std::vector<std::string>{"restart flags=2 result=1"});

    for (const char *cleared : {"Enum\\MF\\CHILD0000", "Enum\\MF\\CHILD0001",
                                "System\\CurrentControlSet\\Services\\Class\\hdc"}) {
        EXPECT_TRUE(pc.HasKey(hklm + cleared)) << cleared;
        EXPECT_TRUE(pc.Subkeys(hklm + cleared).empty()) << cleared;
    }
    EXPECT_FALSE(pc.HasKey(hklm + "Enum\\SCSI"));
    for (const std::string &device : pc.Subkeys(hklm + "Enum\\PCI")) {
        std::string key = hklm + "Enum\\PCI\\" + device;
        std::vector<std::string> instances = pc.Subkeys(key);
        if (instances.empty())
            continue;
        auto cls = pc.GetValue(key + "\\" + instances[0], "Class");
        EXPECT_FALSE(cls && cls->data == std::string("hdc", 4)) << key;
    }
}

// A refused restart request is shown and the run still ends normally.
TEST(Restart, RefusedRestartStillEndsWithExitCodeZero)
{
    sim::Pc pc;
    pc.LoadFolder(std::string(IDE_SOURCE_DIR) + "/samples/win98-k6417");
    pc.Fail({"ExitWindowsEx", 0, ERROR_ACCESS_DENIED});
    pc.SetAnswers({"yes", "now"});
    sim::RunResult r = pc.Run(sim::IdeSetup(), "/D:K6417");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(r.exitedViaExitProcess);
    EXPECT_TRUE(r.Lines("sleep").empty());
    ASSERT_FALSE(r.Lines("message-box").empty());
    EXPECT_EQ(r.Lines("message-box").back(), BoxLine("Error ExitWindows Error #5"));
}

} // namespace
