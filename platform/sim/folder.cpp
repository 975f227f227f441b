// folder.cpp - machine folders: machine.ini, registry.reg and drive_<letter>/
// folders in, the same written back.
#include "machine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace sim {

namespace {

std::string ReadBytes(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        throw MachineError{"cannot read " + p.string()};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Write through a temporary file and a rename, so that a file is either
// the old one or the new one.
void WriteBytes(const fs::path &p, const std::string &bytes)
{
    fs::path tmp = p;
    tmp += ".simtmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out)
            throw MachineError{"cannot write " + p.string()};
    }
    fs::rename(tmp, p);
}

std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool ParseHex(const std::string &s, unsigned long max, unsigned long &out)
{
    if (s.empty() || s.size() > 8)
        return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    out = std::stoul(s, nullptr, 16);
    return out <= max;
}

// "00:07.0" and "1e6b:3c91".
bool ParsePciLine(const std::string &key, const std::string &value, int &bus, int &dev, int &fn,
                  unsigned &vendor, unsigned &device)
{
    size_t colon = key.find(':'), dot = key.find('.');
    size_t vcolon = value.find(':');
    if (colon == std::string::npos || dot == std::string::npos || dot < colon || vcolon == std::string::npos)
        return false;
    unsigned long b, d, f, v, i;
    if (!ParseHex(key.substr(0, colon), 0xFF, b) || !ParseHex(key.substr(colon + 1, dot - colon - 1), 0x1F, d) ||
        !ParseHex(key.substr(dot + 1), 7, f) || !ParseHex(value.substr(0, vcolon), 0xFFFF, v) ||
        !ParseHex(value.substr(vcolon + 1), 0xFFFF, i))
        return false;
    bus = int(b), dev = int(d), fn = int(f), vendor = unsigned(v), device = unsigned(i);
    return true;
}

void ParseIni(Pc &pc, Pc::Impl &impl, const std::string &text)
{
    std::istringstream in(text);
    std::string raw, section;
    int lineNo = 0;
    std::optional<std::string> system;
    auto fail = [&](const std::string &why) {
        throw MachineError{"machine.ini line " + std::to_string(lineNo) + ": " + why};
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = Trim(raw.substr(0, raw.find(';')));
        if (line.empty())
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                fail("a section header must end with ']'");
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (section != "windows" && section != "pci")
                fail("unknown section [" + section + "] (expected [windows] or [pci])");
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            fail("expected name = value");
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::string value = Trim(line.substr(eq + 1));
        if (section.empty())
            fail("a setting before the first section");
        if (section == "windows") {
            if (key == "version") {
                std::string v = Lower(value);
                if (v == "win95")
                    impl.version = Version::Win95;
                else if (v == "win98")
                    impl.version = Version::Win98;
                else if (v == "nt")
                    impl.version = Version::NT;
                else
                    fail("version must be win95, win98 or nt, not \"" + value + "\"");
            } else if (key == "windows" || key == "system" || key == "current") {
                PathParts p;
                if (value.size() < 2 || value[1] != ':' || !impl.Parse(value, p))
                    fail(key + " must be a full path such as C:\\WINDOWS");
                if (key == "windows")
                    impl.windowsFolder = value;
                else if (key == "system")
                    system = value;
                else
                    impl.currentFolder = value;
            } else {
                fail("unknown setting \"" + key + "\" in [windows] (expected version, windows, system or current)");
            }
        } else {
            int bus, dev, fn;
            unsigned vendor, device;
            if (!ParsePciLine(key, value, bus, dev, fn, vendor, device))
                fail("expected bus:device.function = vendor:device in hex, such as 00:07.0 = 1e6b:3c91");
            DWORD address = 0x80000000u | DWORD(bus) << 16 | DWORD(dev) << 11 | DWORD(fn) << 8;
            if (impl.pci.count(address))
                fail("a second device at " + key);
            pc.AddPciDevice(bus, dev, fn, uint16_t(vendor), uint16_t(device));
        }
    }
    impl.systemFolder = system;
}

std::string Hex(unsigned v, int digits)
{
    char b[16];
    std::snprintf(b, sizeof b, "%0*x", digits, v);
    return b;
}

// The settings as machine.ini text.
std::string IniText(const Pc::Impl &impl)
{
    std::string t = "[windows]\r\n";
    t += std::string("version = ") +
         (impl.version == Version::Win95 ? "win95" : impl.version == Version::NT ? "nt" : "win98") + "\r\n";
    t += "windows = " + impl.windowsFolder + "\r\n";
    if (impl.systemFolder)
        t += "system = " + *impl.systemFolder + "\r\n";
    t += "current = " + impl.currentFolder + "\r\n";
    t += "\r\n[pci]\r\n";
    for (const auto &d : impl.pci) {
        DWORD a = d.first;
        t += Hex((a >> 16) & 0xFF, 2) + ":" + Hex((a >> 11) & 0x1F, 2) + "." + Hex((a >> 8) & 7, 1) + " = " +
             Hex(d.second & 0xFFFF, 4) + ":" + Hex(d.second >> 16, 4) + "\r\n";
    }
    return t;
}

void LoadTree(FsNode *node, const fs::path &dir)
{
    std::map<std::string, std::string> seen; // lower name -> name
    std::vector<fs::directory_entry> entries{fs::directory_iterator(dir), fs::directory_iterator()};
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry &a, const fs::directory_entry &b) { return a.path() < b.path(); });
    for (const auto &e : entries) {
        std::string name = e.path().filename().string();
        auto dup = seen.find(Lower(name));
        if (dup != seen.end())
            throw MachineError{"\"" + dup->second + "\" and \"" + name + "\" in " + dir.string() +
                               " differ only in case; Windows takes them for one name"};
        seen[Lower(name)] = name;
        if (e.is_directory()) {
            LoadTree(node->AddChild(name, true), e.path());
        } else if (e.is_regular_file()) {
            *node->AddChild(name, false)->data = ReadBytes(e.path());
        } else {
            throw MachineError{e.path().string() + " is neither a folder nor a file"};
        }
    }
}

// Make the host folder hold exactly what node holds.
void SaveTree(const FsNode *node, const fs::path &dir)
{
    fs::create_directories(dir);
    std::set<std::string> names;
    for (const auto &c : node->children) {
        names.insert(c->name);
        fs::path p = dir / c->name;
        if (c->folder) {
            if (fs::exists(p) && !fs::is_directory(p))
                fs::remove(p);
            SaveTree(c.get(), p);
        } else {
            if (fs::is_directory(p))
                fs::remove_all(p);
            if (!fs::exists(p) || ReadBytes(p) != *c->data)
                WriteBytes(p, *c->data);
        }
    }
    std::vector<fs::path> stale;
    for (const auto &e : fs::directory_iterator(dir))
        if (!names.count(e.path().filename().string()))
            stale.push_back(e.path());
    for (const fs::path &p : stale)
        fs::remove_all(p);
}

bool IsDriveFolderName(const std::string &name, char &letter)
{
    if (name.size() != 7 || Lower(name.substr(0, 6)) != "drive_" || !std::isalpha(static_cast<unsigned char>(name[6])))
        return false;
    letter = char(std::toupper(static_cast<unsigned char>(name[6])));
    return true;
}

} // namespace

void Pc::LoadFolder(const std::string &dir)
{
    fs::path root(dir);
    if (!fs::is_directory(root))
        throw MachineError{"machine folder not found: " + dir};
    Impl &impl = *impl_;
    impl.drives.clear();
    impl.registry = Registry();
    impl.pci.clear();
    impl.version = Version::Win98;
    impl.windowsFolder = "C:\\WINDOWS";
    impl.systemFolder.reset();
    impl.currentFolder = "A:\\";
    impl.driveFolderNames.clear();

    impl.hadIni = fs::exists(root / "machine.ini");
    impl.loadedIni = impl.hadIni ? ReadBytes(root / "machine.ini") : "";
    ParseIni(*this, impl, impl.loadedIni);

    impl.hadRegistry = fs::exists(root / "registry.reg");
    impl.loadedRegistry = impl.hadRegistry ? ReadBytes(root / "registry.reg") : "";
    if (impl.hadRegistry)
        impl.registry.Load(impl.loadedRegistry);
    impl.loadedRegistryCanonical = impl.registry.Save();

    for (const auto &e : fs::directory_iterator(root)) {
        char letter;
        if (!e.is_directory() || !IsDriveFolderName(e.path().filename().string(), letter))
            continue;
        if (impl.drives.count(letter))
            throw MachineError{"two folders for drive " + std::string(1, letter) + ": in " + dir};
        impl.driveFolderNames[letter] = e.path().filename().string();
        LoadTree(impl.Drive(letter, true), e.path());
    }
    impl.loadedIni = IniText(impl); // from here on: the settings as loaded
}

void Pc::SaveFolder(const std::string &dir) const
{
    const Impl &impl = *impl_;
    fs::path root(dir);
    fs::create_directories(root);

    // machine.ini: left as it is while the settings are those it gave.
    std::string ini = IniText(impl);
    bool iniCurrent = impl.hadIni && fs::exists(root / "machine.ini") && ini == impl.loadedIni;
    if (!iniCurrent && (impl.hadIni || ini != IniText(Impl())))
        WriteBytes(root / "machine.ini", ini);

    // registry.reg: rewritten only when the registry changed.
    std::string reg = impl.registry.Save();
    bool regCurrent = impl.hadRegistry && fs::exists(root / "registry.reg") && reg == impl.loadedRegistryCanonical;
    if (!regCurrent && (impl.hadRegistry || reg != Registry().Save()))
        WriteBytes(root / "registry.reg", reg);

    std::set<std::string> driveFolders;
    for (const auto &d : impl.drives) {
        auto named = impl.driveFolderNames.find(d.first);
        std::string name = named != impl.driveFolderNames.end()
                               ? named->second
                               : "drive_" + std::string(1, char(std::tolower(static_cast<unsigned char>(d.first))));
        driveFolders.insert(name);
        SaveTree(d.second.get(), root / name);
    }
    std::vector<fs::path> stale;
    for (const auto &e : fs::directory_iterator(root)) {
        char letter;
        std::string name = e.path().filename().string();
        if (e.is_directory() && IsDriveFolderName(name, letter) && !driveFolders.count(name))
            stale.push_back(e.path());
    }
    for (const fs::path &p : stale)
        fs::remove_all(p);
}

} // namespace sim
