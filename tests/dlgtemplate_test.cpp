// dlgtemplate_test.cpp - the compiled DIALOG_COMPLETE of each program,
// field by field: from the .res that the host build carries and, once the
// Win32 build has run, from the executable's resource section.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dlgtemplate.h"
#include "sim.h"

namespace {

constexpr uint16_t kButton = 0x0080, kStatic = 0x0082;
constexpr uint32_t kText = 0x50020000;   // WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT
constexpr uint32_t kRadio = 0x50000009;  // WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON
constexpr uint32_t kFinish = 0x50010001; // WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON
constexpr uint32_t kGroup = 0x50000007;  // WS_CHILD | WS_VISIBLE | BS_GROUPBOX
constexpr uint32_t kTransparent = 0x20;  // WS_EX_TRANSPARENT

struct Item {
    uint32_t id;
    uint16_t windowClass;
    const char *text;
    uint32_t style, exStyle;
    int16_t x, y, cx, cy;
};

struct Expected {
    bool extended;
    const char *caption;
    uint16_t weight;
    uint8_t italic, charset;
    std::vector<Item> items;
};

const Expected kInstaller = {
    true, " Setup Complete!", 0, 0, 1,
    {
        {0xFFFFFFFF, kStatic, "Before you continue to install  driver, you must restart your computer.",
         kText, 0, 4, 5, 221, 8},
        {0xFFFFFFFF, kStatic, "Warning: You must save all  working jobs, before press any button!",
         kText, 0, 4, 15, 217, 9},
        {1025, kButton, "Yes , I want to restart my computer now.", kRadio, 0, 33, 35, 142, 10},
        {1026, kButton, "No,   Let system reboot after 30 seconds.", kRadio, 0, 33, 49, 139, 10},
        {1027, kButton, "&Finish", kFinish, 0, 92, 78, 50, 14},
        {0xFFFFFFFF, kButton, "", kGroup, kTransparent, 23, 25, 166, 42},
    }};

const Expected kRemover = {
    false, "Remove Complete!", 0, 0, 0,
    {
        {0xFFFF, kStatic, "After restarting your computer, you can install any IDE controller driver!",
         kText, 0, 4, 5, 221, 8},
        {0xFFFF, kStatic, "Warning: You must save all  working jobs, before press any button!",
         kText, 0, 4, 15, 217, 9},
        {1025, kButton, "Yes , I want to restart my computer now.", kRadio, 0, 33, 35, 142, 10},
        {1026, kButton, "No, Let system reboot after 30 seconds.", kRadio, 0, 33, 49, 139, 10},
        {1027, kButton, "&Finish", kFinish, 0, 92, 78, 50, 14},
        {0xFFFF, kButton, "", kGroup, 0, 25, 26, 166, 42},
    }};

struct Source {
    std::string label;
    std::vector<sim::ResourceEntry> entries;
};

// The program's resources as the host build embeds them and, when it has
// been built, as its Win32 executable holds them.
std::vector<Source> SourcesOf(const sim::Program &program)
{
    std::vector<Source> sources;
    std::string error;
    std::string res(reinterpret_cast<const char *>(program.resources), program.resourcesSize);
    auto fromRes = sim::ParseResFile(res, &error);
    EXPECT_TRUE(fromRes) << error;
    if (fromRes)
        sources.push_back({std::string(program.name) + ".res", *fromRes});

    std::string exe = std::string(IDE_SOURCE_DIR) + "/build/win32/bin/" + program.name + ".exe";
    std::ifstream in(exe, std::ios::binary);
    if (in) {
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto fromPe = sim::ParsePeResources(bytes, &error);
        EXPECT_TRUE(fromPe) << exe << ": " << error;
        if (fromPe)
            sources.push_back({exe, *fromPe});
    }
    return sources;
}

void CheckTemplate(const sim::Program &program, const Expected &want)
{
    for (const Source &source : SourcesOf(program)) {
        SCOPED_TRACE(source.label);
        const sim::ResourceEntry *e = sim::FindResource(
            source.entries, sim::ResId::MakeOrdinal(sim::kRtDialog), sim::ResId::MakeName("DIALOG_COMPLETE"));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->name.name, "DIALOG_COMPLETE");
        EXPECT_EQ(e->language, 1028); // Chinese (Traditional)
        std::string error;
        auto t = sim::ParseDialogTemplate(e->data, &error);
        ASSERT_TRUE(t) << error;

        EXPECT_EQ(t->extended, want.extended);
        if (want.extended) {
            EXPECT_EQ(t->dlgVer, 1);
            EXPECT_EQ(t->signature, 0xFFFF);
        }
        EXPECT_EQ(t->helpId, 0u);
        EXPECT_EQ(t->exStyle, 0u);
        EXPECT_EQ(t->style, 0x80C800C0u); // no WS_VISIBLE, no DS_ bit beyond the two
        EXPECT_EQ(t->itemCount, want.items.size());
        EXPECT_EQ(t->x, 150);
        EXPECT_EQ(t->y, 100);
        EXPECT_EQ(t->cx, 231);
        EXPECT_EQ(t->cy, 101);
        EXPECT_EQ(t->menu.kind, sim::ResId::None);
        EXPECT_EQ(t->windowClass.kind, sim::ResId::None);
        EXPECT_EQ(t->title, want.caption);
        EXPECT_TRUE(t->hasFont);
        EXPECT_EQ(t->pointSize, 8);
        EXPECT_EQ(t->typeface, "MS Sans Serif");
        EXPECT_EQ(t->weight, want.weight);
        EXPECT_EQ(t->italic, want.italic);
        EXPECT_EQ(t->charset, want.charset);

        ASSERT_EQ(t->items.size(), want.items.size());
        for (size_t i = 0; i < want.items.size(); i++) {
            SCOPED_TRACE("control " + std::to_string(i + 1));
            const sim::DialogItem &got = t->items[i];
            const Item &w = want.items[i];
            EXPECT_EQ(got.id, w.id);
            EXPECT_EQ(got.windowClass, sim::ResId::MakeOrdinal(w.windowClass));
            EXPECT_EQ(got.title, sim::ResId::MakeName(w.text));
            EXPECT_EQ(got.style, w.style);
            EXPECT_EQ(got.exStyle, w.exStyle);
            EXPECT_EQ(got.helpId, 0u);
            EXPECT_EQ(got.x, w.x);
            EXPECT_EQ(got.y, w.y);
            EXPECT_EQ(got.cx, w.cx);
            EXPECT_EQ(got.cy, w.cy);
            EXPECT_EQ(got.creationData, "");
        }
        int dialogs = 0;
        for (const sim::ResourceEntry &r : source.entries)
            dialogs += r.type == sim::ResId::MakeOrdinal(sim::kRtDialog);
        EXPECT_EQ(dialogs, 1);
    }
}

TEST(DialogTemplate, InstallerHoldsTheExtendedTemplateAsTabled) { CheckTemplate(sim::IdeSetup(), kInstaller); }

TEST(DialogTemplate, RemoverHoldsTheStandardTemplateAsTabled) { CheckTemplate(sim::IdeRemove(), kRemover); }

// A template cut anywhere is refused, never read past its end.
TEST(DialogTemplate, EveryCutTemplateIsRefused)
{
    for (const sim::Program *program : {&sim::IdeSetup(), &sim::IdeRemove()}) {
        std::string res(reinterpret_cast<const char *>(program->resources), program->resourcesSize);
        auto entries = sim::ParseResFile(res);
        ASSERT_TRUE(entries);
        ASSERT_FALSE(entries->empty());
        const std::string &data = entries->front().data;
        for (size_t n = 0; n < data.size(); n++)
            EXPECT_FALSE(sim::ParseDialogTemplate(data.substr(0, n))) << program->name << " cut at " << n;
        EXPECT_FALSE(sim::ParseResFile(res.substr(0, res.size() - 3))) << program->name;
    }
}

} // namespace
