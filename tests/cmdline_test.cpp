// cmdline_test.cpp - the command line of both programs and the texts of the
// variant it selects.
#include <gtest/gtest.h>

#include <string>

#include "cmdline.h"
#include "sim.h"

namespace {

enum Outcome { Accepted, Refused, NoDriver };

struct CommandCase {
    const char *name;
    std::string tail;
    Outcome outcome;
    DriverVariant variant; // when accepted
    int preload;           // in the remover, when accepted
    bool formatMessage;    // the refusal shows the format message
};

std::string Parameters(int n)
{
    std::string tail = "/D:K6417";
    for (int i = 1; i < n; i++)
        tail += " /X" + std::to_string(i);
    return tail;
}

const CommandCase kCases[] = {
    {"empty command line", "", NoDriver, 0, 0, false},
    {"lower case", "/d:k6417", Accepted, K6417, 0, false},
    {"K6407", "/D:K6407", Accepted, K6407, 0, false},
    {"KQNEO", "/D:KQNEO", Accepted, KQNEO, 0, false},
    {"switch without value", "/D", Accepted, K6407, 0, false},
    {"switch with empty value", "/D:", Accepted, K6407, 0, false},
    {"unknown driver", "/D:XYZ", Accepted, K6407, 0, false},
    {"third piece ignored", "/D:K6417:EXTRA", Accepted, K6417, 0, false},
    {"longer switch name is no driver switch", "/DX:K6417", NoDriver, 0, 0, false},
    {"comma separates parameters", "/D:K6417,/PRELOAD", Accepted, K6417, 1, false},
    {"tabs separate parameters", "\t/D:K6417\t/preload\t", Accepted, K6417, 1, false},
    {"last recognised driver wins", "/D:K6417 /D:KQNEO", Accepted, KQNEO, 0, false},
    {"unrecognised later value keeps it", "/D:KQNEO /D:XYZ", Accepted, KQNEO, 0, false},
    {"PRELOAD with a value", "/PRELOAD:X /D:K6417", Accepted, K6417, 1, false},
    {"exactly 20 parameters", Parameters(20), Accepted, K6417, 0, false},
    {"21 parameters", Parameters(21), Refused, 0, 0, false},
    {"parameter without slash first", "D:K6417", Refused, 0, 0, true},
    {"parameter without slash later", "/D:K6417 /PRELOAD extra", Refused, 0, 0, true},
    {"259-character tail", "/D:K6417 /" + std::string(249, 'X'), Accepted, K6417, 0, false},
    {"260-character tail", "/D:K6417 /" + std::string(250, 'X'), Refused, 0, 0, true},
};

struct Flavour {
    int program;
    const char *noDriverCaption;
};

class CommandLineTable : public ::testing::TestWithParam<std::tuple<CommandCase, Flavour>> {};

TEST_P(CommandLineTable, ParsesAsBothProgramsDo)
{
    const CommandCase &c = std::get<0>(GetParam());
    const Flavour &f = std::get<1>(GetParam());
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    int result = -1;
    sim::RunResult run = pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Program = f.program;
        if (StoreCommandLine(c.tail.c_str()))
            result = ParseCommandLine();
        else
            result = 0;
    });

    std::vector<std::string> boxes = run.Lines("message-box");
    switch (c.outcome) {
    case Accepted:
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(ProgramState.Variant, c.variant);
        EXPECT_EQ(ProgramState.Preload, f.program == PROGRAM_REMOVE ? c.preload : 0);
        break;
    case Refused:
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(run.exitedViaExitProcess);
        if (c.formatMessage)
            EXPECT_EQ(boxes, std::vector<std::string>{
                                 "message-box caption=\"SET UP ERROR!\" text=\"Command line parameter "
                                 "format error! \" buttons=ok answer=ok"});
        else
            EXPECT_TRUE(boxes.empty());
        break;
    case NoDriver:
        EXPECT_TRUE(run.exitedViaExitProcess);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(boxes, std::vector<std::string>{std::string("message-box caption=\"") +
                                                  f.noDriverCaption +
                                                  "\" text=\"Driver Name Not Found! \" "
                                                  "buttons=ok answer=ok"});
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CommandLineTable,
    ::testing::Combine(::testing::ValuesIn(kCases),
                       ::testing::Values(Flavour{PROGRAM_SETUP, "SET UP ERROR!"},
                                         Flavour{PROGRAM_REMOVE, "UNINSTALL ERROR!"})),
    [](const auto &info) {
        std::string name = std::string(std::get<1>(info.param).program == PROGRAM_SETUP ? "setup_"
                                                                                        : "remove_") +
                           std::get<0>(info.param).name;
        for (char &ch : name)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(CommandLine, VariantTextsOfBothPrograms)
{
    struct Row {
        int program;
        DriverVariant variant;
        const char *title, *notFound, *nothing;
    };
    const Row rows[] = {
        {PROGRAM_SETUP, K6407, "Orv IDE Driver Setup", "Orv IDE controller not found!", ""},
        {PROGRAM_SETUP, K6417, "Orv IDE Driver Setup", "Orv IDE controller not found!", ""},
        {PROGRAM_SETUP, KQNEO, "KQ Neo IDE Driver Setup", "KQ Neo IDE controller not found!", ""},
        {PROGRAM_REMOVE, K6407, "Orv IDE Driver Uninstall!", "Orv IDE controller not found!",
         "There is no ORV IDE driver to remove!"},
        {PROGRAM_REMOVE, K6417, "Orv IDE Driver Uninstall!", "Orv IDE controller not found!",
         "There is no ORV IDE driver to remove!"},
        {PROGRAM_REMOVE, KQNEO, "KQ Neo IDE Driver Uninstall!", "KQ Neo IDE controller not found!",
         "There is no KQ Neo IDE driver to remove!"},
        {PROGRAM_REMOVE, 7, "KQ Neo IDE Driver Uninstall!", "KQ Neo IDE controller not found!",
         "There is no KQ Neo IDE driver to remove!"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::to_string(r.program) + "/" + std::to_string(r.variant));
        sim::Pc pc;
        pc.Invoke([&] {
            ProgramState = ProgramStateData{};
            ProgramState.Program = r.program;
            ProgramState.Variant = r.variant;
            SelectVariantTexts();
        });
        EXPECT_STREQ(ProgramState.Title, r.title);
        EXPECT_STREQ(ProgramState.NotFoundMessage, r.notFound);
        EXPECT_STREQ(ProgramState.NothingToRemoveMessage, r.nothing);
    }
}

// A refused command line ends both programs before the confirmation box,
// with nothing changed and no restart.
TEST(CommandLine, RefusalEndsTheProgramBeforeAnything)
{
    for (const sim::Program *program : {&sim::IdeSetup(), &sim::IdeRemove()}) {
        SCOPED_TRACE(program->name);
        sim::Pc pc;
        pc.LoadFolder(std::string(IDE_SOURCE_DIR) + "/samples/win98-k6417");
        sim::RunResult run = pc.Run(*program, "/D:K6417 oops");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.Lines("message-box").size(), 1u);
        EXPECT_TRUE(run.changes.empty());
        EXPECT_TRUE(run.Lines("restart").empty());
    }
}

} // namespace
