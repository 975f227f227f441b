// sim_registry_test.cpp - the simulated registry and its REGEDIT4 text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "registry.h"
#include "sim.h"

namespace {

using sim::RegKey;
using sim::Registry;
using sim::RegValue;

// Every key and value of a registry, in order, as comparable text.
void DumpKey(const RegKey &key, std::vector<std::string> &out) {
    out.push_back("key " + key.Path());
    for (const RegValue &v : key.values)
        out.push_back("  value \"" + v.name + "\" type " + std::to_string(v.type) + " data " +
                      std::string(v.data));
    for (const auto &sub : key.subkeys) DumpKey(*sub, out);
}

std::vector<std::string> Dump(Registry &r) {
    std::vector<std::string> out;
    for (const char *root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT",
                             "HKEY_USERS", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"})
        DumpKey(*r.Root(root), out);
    return out;
}

std::vector<std::string> SubkeyNames(const RegKey *key) {
    std::vector<std::string> names;
    for (const auto &sub : key->subkeys) names.push_back(sub->name);
    return names;
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

std::string HexRun(int from, int to) { // "0f,10,...,to" in lower case
    std::string s;
    const char *hex = "0123456789abcdef";
    for (int i = from; i <= to; ++i) {
        if (i > from) s += ',';
        s += hex[i >> 4];
        s += hex[i & 15];
    }
    return s;
}

TEST(SimRegistry, EveryValueKindRoundTrips) {
    // LF line ends, a comment, upper-case hex, a hex value folded at an odd
    // place, a value set twice and a value deleted.
    const std::string text =
        "REGEDIT4\n"
        "\n"
        "; the product key\n"
        "[HKEY_CURRENT_USER\\Software\\Orv]\n"
        "\"Path\"=\"C:\\\\WINDOWS\\\\SYSTEM\\\\IOSUBSYS\"\n"
        "\"Say \\\"hi\\\"\"=\"a \\\"quoted\\\" word\"\n"
        "@=\"default\"\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\Enum\\PCI]\n"
        "\"Count\"=dword:0000002A\n"
        "\"Blob\"=hex:" + HexRun(0, 3) + ",\\\n"
        "      " + HexRun(4, 39) + "\n"
        "\"Expand\"=hex(2):25,57,49,4E,25,00\n"
        "\"Multi\"=hex(7):61,00,62,00,00\n"
        "\"None\"=hex(0):\n"
        "\"Big\"=hex(20000):01\n"
        "\"Count\"=dword:00000007\n"
        "\"Gone\"=\"x\"\n"
        "\"Gone\"=-\n";
    Registry r;
    r.Load(text);

    RegKey *orv = r.FindPath("HKEY_CURRENT_USER\\Software\\Orv");
    ASSERT_NE(orv, nullptr);
    EXPECT_EQ(orv->FindValue("Path")->data, std::string("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\0", 27));
    EXPECT_EQ(orv->FindValue("Say \"hi\"")->data, std::string("a \"quoted\" word\0", 16));
    EXPECT_EQ(orv->FindValue("")->data, std::string("default\0", 8));
    RegKey *pci = r.FindPath("HKEY_LOCAL_MACHINE\\Enum\\PCI");
    ASSERT_NE(pci, nullptr);
    EXPECT_EQ(pci->FindValue("Count")->type, DWORD(REG_DWORD));
    EXPECT_EQ(pci->FindValue("Count")->data, Bytes({7, 0, 0, 0}));
    std::string blob;
    for (int i = 0; i < 40; ++i) blob += static_cast<char>(i);
    EXPECT_EQ(pci->FindValue("Blob")->type, DWORD(REG_BINARY));
    EXPECT_EQ(pci->FindValue("Blob")->data, blob);
    EXPECT_EQ(pci->FindValue("Expand")->type, DWORD(REG_EXPAND_SZ));
    EXPECT_EQ(pci->FindValue("Expand")->data, std::string("%WIN%\0", 6));
    EXPECT_EQ(pci->FindValue("Big")->type, DWORD(0x20000));
    EXPECT_EQ(pci->FindValue("Gone"), nullptr);

    // Roots in the order the text named them, every key a section, CR LF,
    // hex folded after 77 columns as regedit does.
    const std::string saved =
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Orv]\r\n"
        "\"Path\"=\"C:\\\\WINDOWS\\\\SYSTEM\\\\IOSUBSYS\"\r\n"
        "\"Say \\\"hi\\\"\"=\"a \\\"quoted\\\" word\"\r\n"
        "@=\"default\"\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Enum\\PCI]\r\n"
        "\"Count\"=dword:00000007\r\n"
        "\"Blob\"=hex:" + HexRun(0, 21) + ",\\\r\n"
        "  " + HexRun(22, 39) + "\r\n"
        "\"Expand\"=hex(2):25,57,49,4e,25,00\r\n"
        "\"Multi\"=hex(7):61,00,62,00,00\r\n"
        "\"None\"=hex(0):\r\n"
        "\"Big\"=hex(20000):01\r\n"
        "\r\n";
    EXPECT_EQ(r.Save(), saved);

    Registry again;
    again.Load(saved);
    EXPECT_EQ(Dump(again), Dump(r));
    EXPECT_EQ(again.Save(), saved);

    // A copy is deep.
    Registry copy = r;
    EXPECT_EQ(copy.Save(), saved);
    copy.DeletePath("HKEY_LOCAL_MACHINE\\Enum");
    copy.CreatePath("HKEY_LOCAL_MACHINE\\New");
    EXPECT_EQ(r.Save(), saved);
}

TEST(SimRegistry, LongHexFoldsAtTwentyFiveBytesPerContinuation) {
    Registry r;
    RegKey *k = r.CreatePath("HKEY_LOCAL_MACHINE\\K");
    k->SetValue({"", REG_BINARY, std::string(98, '\x5a')});
    std::string s = r.Save();
    size_t at = s.find("@=hex:");
    ASSERT_NE(at, std::string::npos);
    std::vector<std::string> lines;
    for (size_t end; (end = s.find("\r\n", at)) != std::string::npos && end > at; at = end + 2)
        lines.push_back(s.substr(at, end - at));
    ASSERT_EQ(lines.size(), 4u); // 23 bytes after "@=hex:", then 25 a line
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 78u) << lines[i];
        EXPECT_EQ(lines[i].back(), '\\');
    }
    std::string run;
    for (int i = 0; i < 25; ++i) run += "5a,";
    EXPECT_EQ(lines[1], "  " + run + "\\");
    EXPECT_EQ(lines[3], "  " + run.substr(0, 74));
    Registry again;
    again.Load(s);
    EXPECT_EQ(again.FindPath("HKEY_LOCAL_MACHINE\\K")->FindValue("")->data, std::string(98, '\x5a'));
}

TEST(SimRegistry, KeysEnumerateInCreationOrderAndMatchIgnoringCase) {
    Registry r;
    r.Load("REGEDIT4\r\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\Zeta\\0001]\r\n"
           "\"Driver\"=\"hdc\\\\0000\"\r\n"
           "[hkey_local_machine\\ENUM\\pci\\alpha]\r\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\ZETA\\0000]\r\n"
           "\"DRIVER\"=\"hdc\\\\0001\"\r\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\Mid]\r\n");
    RegKey *pci = r.FindPath("HKEY_LOCAL_MACHINE\\enum\\Pci");
    ASSERT_NE(pci, nullptr);
    EXPECT_EQ(SubkeyNames(pci), (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
    EXPECT_EQ(SubkeyNames(pci->Find("zeta")), (std::vector<std::string>{"0001", "0000"}));
    EXPECT_EQ(pci->Path(), "HKEY_LOCAL_MACHINE\\Enum\\PCI");

    // A second assignment replaces the data and keeps the first name's case.
    const RegValue *driver = r.FindPath("HKEY_LOCAL_MACHINE\\Enum\\PCI\\Zeta\\0001")->FindValue("driver");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->name, "Driver");
    EXPECT_EQ(r.FindPath("HKEY_LOCAL_MACHINE\\Enum\\PCI\\Zeta\\0000")->FindValue("Driver")->name, "DRIVER");

    // Many subkeys (an indexed key): order and lookups hold through removal
    // and re-creation.
    RegKey *many = r.CreatePath("HKEY_LOCAL_MACHINE\\Many");
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("Key" + std::to_string((i * 17) % 40));
    for (const std::string &n : names) many->Create(n);
    EXPECT_EQ(SubkeyNames(many), names);
    size_t at33 = std::find(names.begin(), names.end(), "Key33") - names.begin();
    EXPECT_EQ(many->Find("KEY33"), many->subkeys[at33].get());
    EXPECT_TRUE(many->RemoveSubkey("key0"));
    EXPECT_EQ(many->Find("Key0"), nullptr);
    EXPECT_NE(many->Find("kEY39"), nullptr);
    many->Create("KEY0");
    EXPECT_EQ(many->subkeys.back()->name, "KEY0");
    EXPECT_EQ(many->Find("key0"), many->subkeys.back().get());

    // Many values: a replacement keeps its place, a removal shifts the rest.
    for (int i = 0; i < 20; ++i) many->SetValue({"V" + std::to_string(i), REG_SZ, std::to_string(i)});
    many->SetValue({"v5", REG_DWORD, "five"});
    EXPECT_TRUE(many->RemoveValue("V2"));
    EXPECT_FALSE(many->RemoveValue("v2"));
    ASSERT_EQ(many->values.size(), 19u);
    EXPECT_EQ(many->values[4].name, "V5");
    EXPECT_EQ(many->FindValue("V5")->data, "five");
    EXPECT_EQ(many->FindValue("v19")->data, "19");
    EXPECT_EQ(many->FindValue("V2"), nullptr);
}

TEST(SimRegistry, DeletingFormsTakeTheTree) {
    Registry r;
    r.Load("REGEDIT4\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\A\\0000]\n"
           "\"Driver\"=\"x\"\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\B]\n"
           "\"Keep\"=dword:00000001\n"
           "\"Drop\"=dword:00000002\n"
           "[-HKEY_LOCAL_MACHINE\\Enum\\PCI\\a]\n"
           "[-HKEY_LOCAL_MACHINE\\Enum\\PCI\\Absent\\Below]\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\B]\n"
           "\"drop\"=-\n"
           "\"Absent\"=-\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\A]\n");
    RegKey *pci = r.FindPath("HKEY_LOCAL_MACHINE\\Enum\\PCI");
    ASSERT_NE(pci, nullptr);
    // A is new again: empty, and after B.
    EXPECT_EQ(SubkeyNames(pci), (std::vector<std::string>{"B", "A"}));
    EXPECT_TRUE(pci->Find("A")->subkeys.empty());
    RegKey *b = pci->Find("B");
    ASSERT_EQ(b->values.size(), 1u);
    EXPECT_EQ(b->values[0].name, "Keep");

    EXPECT_TRUE(r.DeletePath("HKEY_LOCAL_MACHINE\\ENUM"));
    EXPECT_EQ(r.FindPath("HKEY_LOCAL_MACHINE\\Enum\\PCI\\B"), nullptr);
    EXPECT_FALSE(r.DeletePath("HKEY_LOCAL_MACHINE\\Enum"));
    EXPECT_FALSE(r.DeletePath("HKEY_LOCAL_MACHINE"));
    EXPECT_NE(r.Root(HKEY_LOCAL_MACHINE), nullptr);
    // The root stays and is written back, empty.
    EXPECT_EQ(r.Save(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\r\n");
}

TEST(SimRegistry, StringsThatQuotesCannotCarrySaveAsHex) {
    struct Case {
        const char *what;
        std::string data;
    };
    const Case cases[] = {
        {"no terminating NUL", "abc"},
        {"empty, not even a NUL", ""},
        {"NUL inside", std::string("a\0b\0", 4)},
        {"two NULs at the end", std::string("ab\0\0", 4)},
        {"line break inside", std::string("a\r\nb\0", 5)},
    };
    Registry r;
    RegKey *k = r.CreatePath("HKEY_LOCAL_MACHINE\\Strings");
    for (const Case &c : cases) k->SetValue({c.what, REG_SZ, c.data});
    k->SetValue({"plain", REG_SZ, std::string("C:\\x \"y\"\t\xE9\0", 11)});
    k->SetValue({"short dword", REG_DWORD, "\x01\x02"});

    std::string saved = r.Save();
    EXPECT_NE(saved.find("\"no terminating NUL\"=hex(1):61,62,63\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"plain\"=\"C:\\\\x \\\"y\\\"\t\xE9\"\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"short dword\"=hex(4):01,02\r\n"), std::string::npos) << saved;

    Registry again;
    again.Load(saved);
    RegKey *back = again.FindPath("HKEY_LOCAL_MACHINE\\Strings");
    ASSERT_NE(back, nullptr);
    for (const Case &c : cases) {
        const RegValue *v = back->FindValue(c.what);
        ASSERT_NE(v, nullptr) << c.what;
        EXPECT_EQ(v->type, DWORD(REG_SZ)) << c.what;
        EXPECT_EQ(v->data, c.data) << c.what;
    }
    EXPECT_EQ(Dump(again), Dump(r));
}

TEST(SimRegistry, MalformedLinesNameTheirLine) {
    struct Case {
        const char *what;
        std::string text;
        int line;
        const char *says;
    };
    const Case cases[] = {
        {"missing header", "\r\n\r\nREGEDIT5\r\n", 3, "REGEDIT4"},
        {"comment before the header", "; hi\nREGEDIT4\n", 1, "REGEDIT4"},
        {"empty text", "", 1, "REGEDIT4"},
        {"section without ]", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Enum\n", 3, "section header"},
        {"unknown root", "REGEDIT4\n[HKEY_NOWHERE\\Enum]\n", 2, "root"},
        {"deleting a root", "REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n", 2, "root"},
        {"value before any section", "REGEDIT4\n\"a\"=\"b\"\n", 2, "before any section"},
        {"value in a deleting section", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n@=\"b\"\n", 3, "deleting"},
        {"unterminated string", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=\"abc\r\n", 3, "unterminated"},
        {"unterminated name", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a=\"abc\"\n", 3, "="},
        {"unknown escape", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"C:\\WINDOWS\"\n", 3, "escape"},
        {"text after the string", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"b\" c\n", 3, "after"},
        {"dword too long", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:123456789\n", 3, "dword"},
        {"dword not hex", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:00x1\n", 3, "dword"},
        {"hex not hex", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:00,0g\n", 3, "hex"},
        {"hex without commas", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:00 01\n", 3, "hex"},
        {"hex byte too long", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:001\n", 3, "hex"},
        {"hex type not hex", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(z):00\n", 3, "hex"},
        {"unknown data", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=qword:1\n", 3, "value"},
        {"stray text", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\nDriver=1\n", 3, "expected"},
        {"bad data in a continued value names its first line",
         "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:00,\\\n  01,\\\n  zz\n", 3, "hex"},
        {"lines after a continuation count",
         "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:00,\\\n  01\n\n\"b\"=dword:\n", 6, "dword"},
    };
    for (const Case &c : cases) {
        Registry r;
        try {
            r.Load(c.text);
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const sim::MachineError &e) {
            std::string prefix = "registry.reg line " + std::to_string(c.line) + ": ";
            EXPECT_EQ(e.message.compare(0, prefix.size(), prefix), 0) << c.what << ": " << e.message;
            EXPECT_NE(e.message.find(c.says), std::string::npos) << c.what << ": " << e.message;
        }
    }
}

} // namespace
