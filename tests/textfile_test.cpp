// textfile_test.cpp - text files with the C runtime's text-mode rules: what
// a read hands out for the bytes on disk, and what a write puts there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim.h"
#include "textfile.h"

namespace {

const char kPath[] = "C:\\TEXT.INF";

std::vector<std::string> ReadLines(const std::string &bytes, int size)
{
    sim::Pc pc;
    pc.AddFile(kPath, bytes);
    std::vector<std::string> lines;
    pc.Invoke([&] {
        TextFile f;
        std::vector<char> line(size);
        ASSERT_TRUE(TextOpenRead(&f, kPath));
        while (TextReadLine(&f, line.data(), size))
            lines.push_back(line.data());
        EXPECT_TRUE(TextClose(&f));
    });
    return lines;
}

struct ReadCase {
    const char *name;
    std::string bytes;
    int size;
    std::vector<std::string> lines;
};

TEST(TextFile, ReadsAsTheCRuntimeDoes)
{
    const std::string x511(511, 'x');
    const ReadCase cases[] = {
        {"CR LF becomes a newline", "a\r\nb\r\n", 255, {"a\n", "b\n"}},
        {"bare LF and a last line without one", "a\nb", 255, {"a\n", "b"}},
        {"a lone CR stays", "a\rb\r\n", 255, {"a\rb\n"}},
        {"Ctrl-Z ends the file", "a\r\n\x1a" "b\r\n", 255, {"a\n"}},
        {"Ctrl-Z inside a line", "ab\x1a" "cd", 255, {"ab"}},
        {"a long line arrives in size-1 pieces", "abcdefg\n", 4, {"abc", "def", "g\n"}},
        {"CR LF after a full piece", "ab\r\n", 3, {"ab", "\n"}},
        {"CR LF across the read buffer", x511 + "\r\ny", 1024, {x511 + "\n", "y"}},
        {"empty file", "", 255, {}},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadLines(c.bytes, c.size), c.lines);
    }
}

TEST(TextFile, WritesNewlinesAsCrLf)
{
    sim::Pc pc;
    const std::string many(1000, '\n');
    int closed = 0;
    pc.Invoke([&] {
        TextFile f;
        ASSERT_TRUE(TextOpenWrite(&f, kPath));
        EXPECT_TRUE(TextWrite(&f, "[Version]\nSignature=x"));
        EXPECT_TRUE(TextWrite(&f, many.c_str()));
        closed = TextClose(&f);
    });
    EXPECT_EQ(closed, 1);
    std::string expected = "[Version]\r\nSignature=x";
    for (int i = 0; i < 1000; i++)
        expected += "\r\n";
    EXPECT_EQ(*pc.File(kPath), expected);
}

// A close reports any failure since the open, so a cut-short file never
// passes for a complete one.
TEST(TextFile, CloseReportsAFailedWriteOrOpen)
{
    sim::Pc pc;
    pc.Fail({"WriteFile", 1, ERROR_WRITE_FAULT});
    int closed = -1, opened = -1;
    pc.Invoke([&] {
        TextFile f;
        ASSERT_TRUE(TextOpenWrite(&f, kPath));
        TextWrite(&f, "line\n");
        closed = TextClose(&f);
        opened = TextOpenRead(&f, "C:\\MISSING.INF");
        EXPECT_EQ(TextClose(&f), 0);
    });
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(opened, 0);
}

} // namespace
