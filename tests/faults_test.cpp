// faults_test.cpp - every file and registry call of a whole run made to
// fail in turn: for N = 1, 2, ... the Nth call of an install (and of a
// remove after an install) fails, the program runs to its end on the
// simulated PC, and what it leaves must still be sound:
//   - it ended with exit code 0 (a usage or machine error, or a crash, ends
//     the test);
//   - the class INF is as it was before the run, or it is the complete file
//     of a run without failures, with the backup as it was before;
//   - no key, and no file, is gone or changed that a run without failures
//     leaves in place (beyond the work file mshdc.1, which a failed commit
//     may leave behind);
//   - no key is left open, and no file but one whose close was the call
//     that failed.
// N runs past the number of calls that the run without failures makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "machine.h"
#include "sim.h"

namespace {

const std::string kClassInf = "C:\\WINDOWS\\INF\\MSHDC.INF";
const std::string kBackup = "C:\\WINDOWS\\INF\\MSHDC.ING";
const std::string kWorkFile = "C:\\WINDOWS\\INF\\MSHDC.1";
// Yes at the confirmation; every later box and the dialog take their first
// button, so that the run reaches its end on every sample.
const std::vector<std::string> kAnswers = {"yes"};

struct Scenario {
    const char *sample;
    const char *driver;
    bool remove; // the remover, after an install without failures
};

void PrintTo(const Scenario &s, std::ostream *os)
{
    *os << (s.remove ? "remove " : "install ") << s.driver << " on " << s.sample;
}

// Everything on the PC that a run may change: key paths, file bytes.
struct State {
    std::set<std::string> keys; // upper case
    std::map<std::string, std::string> files; // upper-case path -> bytes
};

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

State StateOf(sim::Pc &pc)
{
    State s;
    for (const std::string &k : pc.impl().registry.AllKeyPaths())
        s.keys.insert(Upper(k));
    for (const std::string &f : pc.Files())
        s.files[Upper(f)] = *pc.File(f);
    return s;
}

// What went from before to after: keys gone, files gone or changed or new.
struct Difference {
    std::set<std::string> keys, files;
};

Difference Diff(const State &before, const State &after)
{
    Difference d;
    for (const std::string &k : before.keys)
        if (!after.keys.count(k))
            d.keys.insert(k);
    for (const auto &f : before.files) {
        auto now = after.files.find(f.first);
        if (now == after.files.end() || now->second != f.second)
            d.files.insert(f.first);
    }
    for (const auto &f : after.files)
        if (!before.files.count(f.first))
            d.files.insert(f.first);
    return d;
}

const sim::Program &ProgramOf(const Scenario &s) { return s.remove ? sim::IdeRemove() : sim::IdeSetup(); }

// The PC just before the run under test.
void Prepare(sim::Pc &pc, const Scenario &s)
{
    pc.LoadFolder(std::string(IDE_SOURCE_DIR) + "/samples/" + s.sample);
    pc.SetAnswers(kAnswers);
    if (s.remove) {
        sim::RunResult install = pc.Run(sim::IdeSetup(), std::string("/D:") + s.driver);
        ASSERT_EQ(install.exitCode, 0);
        pc.SetAnswers(kAnswers);
    }
}

class Faults : public ::testing::TestWithParam<Scenario> {};

TEST_P(Faults, EveryFailingCallLeavesASoundPc)
{
    const Scenario &s = GetParam();
    const std::string tail = std::string("/D:") + s.driver;

    sim::Pc clean;
    Prepare(clean, s);
    if (HasFatalFailure())
        return;
    const State start = StateOf(clean);
    sim::RunResult cleanRun = clean.Run(ProgramOf(s), tail);
    ASSERT_EQ(cleanRun.exitCode, 0) << cleanRun.Transcript();
    ASSERT_EQ(cleanRun.Lines("restart").size(), 1u) << cleanRun.Transcript();
    const int calls = clean.IoCallCount();
    ASSERT_GT(calls, 20);
    const State end = StateOf(clean);
    const Difference cleanChanges = Diff(start, end);
    const std::string before = start.files.at(kClassInf);
    const std::string complete = end.files.at(kClassInf);
    ASSERT_NE(before, complete) << "the run changes the class INF";

    for (int nth = 1; nth <= calls + 1; nth++) {
        SCOPED_TRACE("failing call " + std::to_string(nth));
        sim::Pc pc;
        Prepare(pc, s);
        pc.FailNthIoCall(nth);
        sim::RunResult run = pc.Run(ProgramOf(s), tail);
        const State after = StateOf(pc);

        EXPECT_EQ(run.exitCode, 0) << run.Transcript();
        const std::string classInf = after.files.count(kClassInf) ? after.files.at(kClassInf) : "(gone)";
        if (classInf != before) {
            EXPECT_EQ(classInf, complete) << run.Transcript();
            EXPECT_EQ(after.files.count(kBackup) ? after.files.at(kBackup) : "(gone)",
                      start.files.count(kBackup) && s.remove ? start.files.at(kBackup) : before);
        }
        const Difference changes = Diff(start, after);
        for (const std::string &k : changes.keys)
            EXPECT_TRUE(cleanChanges.keys.count(k)) << "key gone: " << k << "\n" << run.Transcript();
        for (const std::string &f : changes.files)
            EXPECT_TRUE(cleanChanges.files.count(f) || f == kWorkFile)
                << "file changed: " << f << "\n" << run.Transcript();
        // One file may stay open: the one whose CloseHandle was the call that failed.
        EXPECT_LE(pc.impl().fileHandles.size(), 1u) << "files were left open";
        EXPECT_TRUE(pc.impl().keyHandles.empty()) << "a key was left open";
        if (HasFailure())
            break; // the first failing call tells the story
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, Faults,
                         ::testing::Values(Scenario{"win98-k6417", "K6417", false},
                                           Scenario{"win98-k6417", "KQNEO", false},
                                           Scenario{"win98-k6407", "K6407", false},
                                           Scenario{"win95-none", "K6417", false},
                                           Scenario{"win98-k6417", "K6417", true},
                                           Scenario{"win98-k6417", "KQNEO", true},
                                           Scenario{"win98-k6407", "K6407", true},
                                           Scenario{"win95-none", "K6417", true}),
                         [](const ::testing::TestParamInfo<Scenario> &info) {
                             std::string name = std::string(info.param.remove ? "remove_" : "install_") +
                                                info.param.driver + "_" + info.param.sample;
                             for (char &ch : name)
                                 if (ch == '-')
                                     ch = '_';
                             return name;
                         });

} // namespace
