// dialog_test.cpp - the completion dialog as the user works it, on the
// simulated PC's dialog engine: the choice each sequence of clicks gives,
// the cancel command that changes nothing, a missing template, and the
// engine's own handling of radio buttons and the terminal.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "completion.h"
#include "dialog.h"
#include "sim.h"

namespace {

struct Clicks {
    std::vector<std::string> answers;
    RestartChoice choice;
    const char *clicks; // as the transcript line lists them
};

const std::vector<Clicks> kClicks = {
    {{}, RESTART_NOW, "1027"},                          // Finish at once
    {{"1027"}, RESTART_NOW, "1027"},
    {{"1026", "1027"}, RESTART_LATER, "1026,1027"},
    {{"1026", "1025", "1027"}, RESTART_NOW, "1026,1025,1027"},
    {{"later"}, RESTART_LATER, "1026,1027"},
    {{"now"}, RESTART_NOW, "1025,1027"},
    {{"cancel"}, RESTART_NOW, "cancel,1027"},           // cancel leaves it open
    {{"1026", "cancel", "cancel", "1027"}, RESTART_LATER, "1026,cancel,cancel,1027"},
};

RestartChoice RunDialog(sim::Pc &pc, const sim::Program &program, sim::RunResult *result)
{
    RestartChoice choice = -1;
    *result = pc.Invoke(
        [&] {
            ProgramState = ProgramStateData{};
            choice = ShowCompleteDialog();
        },
        &program);
    return choice;
}

TEST(CompleteDialog, TheLastRadioClickBeforeFinishDecides)
{
    const struct {
        const sim::Program *program;
        const char *caption;
    } programs[] = {{&sim::IdeSetup(), "\" Setup Complete!\""},
                    {&sim::IdeRemove(), "\"Remove Complete!\""}};
    for (const auto &p : programs) {
        for (const Clicks &row : kClicks) {
            sim::Pc pc;
            pc.SetAnswers(row.answers);
            sim::RunResult r;
            RestartChoice choice = RunDialog(pc, *p.program, &r);
            SCOPED_TRACE(std::string(p.program->name) + " " + row.clicks);
            EXPECT_EQ(choice, row.choice);
            EXPECT_EQ(r.Lines("dialog"),
                      std::vector<std::string>{std::string("dialog name=DIALOG_COMPLETE caption=") +
                                               p.caption + " clicks=" + row.clicks + " result=1"});
        }
    }
}

// A program without the template: DialogBoxParamA fails as on Windows, the
// choice stays 0, and the restart comes after the wait.
TEST(CompleteDialog, MissingTemplateLeavesChoiceZeroAndTheRestartWaits)
{
    static const unsigned char kNoResources[] = {0};
    sim::Program bare = sim::IdeSetup();
    bare.resources = kNoResources;
    bare.resourcesSize = 0;
    sim::Pc pc;
    RestartChoice choice = -1;
    INT_PTR direct = 0;
    DWORD error = 0;
    sim::RunResult r = pc.Invoke(
        [&] {
            ProgramState = ProgramStateData{};
            direct = DialogBoxParamA(GetModuleHandleA(NULL), "DIALOG_COMPLETE", NULL,
                                     CompleteDialogProc, 0);
            error = GetLastError();
            choice = ShowCompleteDialog();
            FinishWithRestart(choice);
        },
        &bare);
    EXPECT_EQ(direct, -1);
    EXPECT_EQ(error, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(choice, 0);
    EXPECT_EQ(r.Transcript(), "dialog name=DIALOG_COMPLETE result=-1 error=1814\n"
                              "dialog name=DIALOG_COMPLETE result=-1 error=1814\n"
                              "sleep ms=30000\n"
                              "restart flags=2 result=1\n"
                              "exit code=0\n");
}

// The procedure counts only a click: the whole wParam, notification 0.
TEST(CompleteDialog, ProcedureIgnoresEverythingButTheThreeClicks)
{
    sim::Pc pc;
    pc.Invoke([] {
        ProgramState = ProgramStateData{};
        ProgramState.Choice = RESTART_LATER;
        HWND none = NULL;
        EXPECT_EQ(CompleteDialogProc(none, WM_COMMAND, IDCANCEL, 0), FALSE);
        EXPECT_EQ(CompleteDialogProc(none, WM_COMMAND, 1025 | (5 << 16), 0), FALSE); // double click
        EXPECT_EQ(CompleteDialogProc(none, WM_COMMAND, 1024, 0), FALSE);
        EXPECT_EQ(CompleteDialogProc(none, 0x0010 /* WM_CLOSE */, 0, 0), FALSE);
        EXPECT_EQ(ProgramState.Choice, RESTART_LATER);
        EXPECT_EQ(CompleteDialogProc(none, WM_COMMAND, 1025, 0), TRUE);
        EXPECT_EQ(ProgramState.Choice, RESTART_NOW);
    });
}

// --- the engine ---

struct Seen {
    WPARAM wParam;
    bool fromControl;
    int now, later; // the radio buttons' states when the procedure heard of it
};
std::vector<Seen> g_seen;

// Checks nothing itself, so what it sees is the engine's doing.
INT_PTR CALLBACK WatchingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG || message == WM_COMMAND)
        g_seen.push_back({wParam, lParam != 0, sim::DialogButtonState(dialog, 1025),
                          sim::DialogButtonState(dialog, 1026)});
    if (message == WM_COMMAND && wParam == 1027)
        EndDialog(dialog, 7);
    return TRUE;
}

TEST(DialogEngine, AutoRadioClickChecksItClearsItsGroupThenNotifies)
{
    sim::Pc pc;
    pc.SetAnswers({"1026", "1025", "cancel", "1027"});
    g_seen.clear();
    INT_PTR result = 0;
    sim::RunResult r = pc.Invoke(
        [&] { result = DialogBoxParamA(GetModuleHandleA(NULL), "dialog_complete", NULL, WatchingProc, 0); },
        &sim::IdeSetup());
    EXPECT_EQ(result, 7);
    ASSERT_EQ(g_seen.size(), 5u);
    EXPECT_EQ(g_seen[0].now, 0); // WM_INITDIALOG: nothing checked yet
    EXPECT_EQ(g_seen[0].later, 0);
    EXPECT_EQ(g_seen[1].wParam, 1026u);
    EXPECT_TRUE(g_seen[1].fromControl);
    EXPECT_EQ(g_seen[1].now, 0);
    EXPECT_EQ(g_seen[1].later, 1);
    EXPECT_EQ(g_seen[2].wParam, 1025u);
    EXPECT_EQ(g_seen[2].now, 1);
    EXPECT_EQ(g_seen[2].later, 0);
    EXPECT_EQ(g_seen[3].wParam, WPARAM(IDCANCEL));
    EXPECT_FALSE(g_seen[3].fromControl);
    EXPECT_EQ(g_seen[4].wParam, 1027u);
    EXPECT_EQ(r.Lines("dialog"),
              std::vector<std::string>{"dialog name=dialog_complete caption=\" Setup Complete!\" "
                                       "clicks=1026,1025,cancel,1027 result=7"});
}

TEST(DialogEngine, AnswerTheDialogDoesNotOfferIsAMachineError)
{
    for (const char *answer : {"yes", "1030", "65535"}) {
        sim::Pc pc;
        pc.SetAnswers({answer});
        EXPECT_THROW(pc.Invoke([] { ShowCompleteDialog(); }, &sim::IdeSetup()), sim::MachineError)
            << answer;
    }
}

TEST(DialogEngine, PersonAtTheTerminalSeesTheTemplateAndChooses)
{
    sim::Pc pc;
    std::istringstream in("1026\nnonsense\n\n");
    std::ostringstream out;
    pc.SetInteractive(true);
    pc.SetTerminal(in, out);
    sim::RunResult r;
    EXPECT_EQ(RunDialog(pc, sim::IdeSetup(), &r), RESTART_LATER);
    std::string screen = out.str();
    for (const char *shown :
         {"|  Setup Complete!", "Before you continue to install  driver, you must restart your computer.",
          "Warning: You must save all  working jobs, before press any button!",
          "(*) Yes , I want to restart my computer now.", "( ) No,   Let system reboot after 30 seconds.",
          "(*) No,   Let system reboot after 30 seconds.", "[ Finish ]", "No such choice: nonsense"})
        EXPECT_NE(screen.find(shown), std::string::npos) << shown << "\n" << screen;
    EXPECT_EQ(r.Lines("dialog"), std::vector<std::string>{"dialog name=DIALOG_COMPLETE caption=\" Setup "
                                                          "Complete!\" clicks=1026,1027 result=1"});
}

} // namespace
