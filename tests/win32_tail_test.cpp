// win32_tail_test.cpp - the Windows start file finds the command-line tail
// after the program name, quoted or not.
#include "../platform/win32/tail.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TailCase {
    const char *line;
    const char *tail;
};

const TailCase kTailCases[] = {
    {"IDESETUP.EXE /D:K6417", "/D:K6417"},
    {"A:\\IDESETUP.EXE", ""},
    {"", ""},
    {"\"A:\\DRIVER DISK\\IDESETUP.EXE\" /D:K6417", "/D:K6417"},
    {"\"A:\\IDESETUP.EXE\"/D:K6417", "/D:K6417"},      // the quote ends the name
    {"IDESETUP.EXE \t  /D:K6417  PRELOAD ", "/D:K6417  PRELOAD "}, // only leading blanks go
    {"IDESETUP.EXE\t/D:K6417", "/D:K6417"},
    {"\"A:\\NO END QUOTE /D:K6417", ""},                // an open quote takes the rest
    {"A\"B C\" /D", "C\" /D"},                          // a quote inside a name is plain
};

TEST(Win32CommandLineTail, SkipsTheProgramNameAndTheBlanksAfterIt)
{
    for (const TailCase &c : kTailCases) {
        std::string line = c.line;
        EXPECT_STREQ(CommandLineTail(&line[0]), c.tail) << "line: " << c.line;
    }
}

} // namespace
