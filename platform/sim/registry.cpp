// registry.cpp - the simulated registry and its REGEDIT4 form.
//
// The tree is plain: every key owns its subkeys in creation order and its
// values in insertion order. Lookups ignore ASCII case; keys with many
// subkeys or values get a hash index so that a large export loads in linear
// time. Save() writes what Load() reads back to the same tree, byte for
// byte in every value's data.
#include "registry.h"

#include <cstring>

#include "sim.h"

namespace sim {

namespace {

// A key with more subkeys (or values) than this gets an index.
constexpr size_t kIndexThreshold = 8;

// Regedit folds hex data so that a line holds at most this many characters
// before its continuation backslash (25 bytes on each continuation line).
constexpr size_t kHexColumns = 77;

inline unsigned char Lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

struct RootName {
    const char *name;
    const char *shortName;
    uintptr_t handle;
};

// The order in which roots nobody named are written.
const RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", 0x80000002u}, {"HKEY_CURRENT_CONFIG", "HKCC", 0x80000005u},
    {"HKEY_CLASSES_ROOT", "HKCR", 0x80000000u},  {"HKEY_CURRENT_USER", "HKCU", 0x80000001u},
    {"HKEY_USERS", "HKU", 0x80000003u},          {"HKEY_DYN_DATA", "HKDD", 0x80000006u},
};

// Calls f(component) for each non-empty component of a backslash path.
template <typename F> bool ForEachComponent(std::string_view path, F f) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start && !f(path.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

// Splits "ROOT\rest" into its root name and the rest.
void SplitRoot(std::string_view full, std::string_view &root, std::string_view &rest) {
    size_t slash = full.find('\\');
    root = full.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : full.substr(slash + 1);
}

} // namespace

// --- Names ----------------------------------------------------------------

size_t NameHash::operator()(std::string_view s) const {
    size_t h = 1469598103934665603ull; // FNV-1a over the lowered bytes
    for (unsigned char c : s) {
        h ^= Lower(c);
        h *= 1099511628211ull;
    }
    return h;
}

bool NameEqual::operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// --- Keys -----------------------------------------------------------------

void RegKey::IndexSubkeys() const {
    subkeyIndex_.clear();
    subkeyIndex_.reserve(subkeys.size() * 2);
    for (const auto &k : subkeys) subkeyIndex_.emplace(std::string_view(k->name), k.get());
}

void RegKey::IndexValues() const {
    valueIndex_.clear();
    valueIndex_.reserve(values.size() * 2);
    for (size_t i = 0; i < values.size(); ++i) valueIndex_.emplace(values[i].name, i);
}

RegKey *RegKey::FindView(std::string_view subkeyName) const {
    if (subkeys.size() <= kIndexThreshold) {
        for (const auto &k : subkeys)
            if (SameName(k->name, subkeyName)) return k.get();
        return nullptr;
    }
    if (subkeyIndex_.size() != subkeys.size()) IndexSubkeys();
    auto it = subkeyIndex_.find(subkeyName);
    return it == subkeyIndex_.end() ? nullptr : it->second;
}

RegKey *RegKey::CreateView(std::string_view subkeyName) {
    if (RegKey *k = FindView(subkeyName)) return k;
    auto k = std::make_unique<RegKey>();
    k->name.assign(subkeyName.data(), subkeyName.size());
    k->parent = this;
    RegKey *raw = k.get();
    subkeys.push_back(std::move(k));
    // The index is in step when it covered every earlier subkey.
    if (subkeyIndex_.size() + 1 == subkeys.size())
        subkeyIndex_.emplace(std::string_view(raw->name), raw);
    return raw;
}

RegKey *RegKey::Find(const std::string &subkeyName) const { return FindView(subkeyName); }

RegKey *RegKey::Create(const std::string &subkeyName) { return CreateView(subkeyName); }

const RegValue *RegKey::FindValue(const std::string &name) const {
    if (values.size() <= kIndexThreshold) {
        for (const auto &v : values)
            if (SameName(v.name, name)) return &v;
        return nullptr;
    }
    if (valueIndex_.size() != values.size()) IndexValues();
    auto it = valueIndex_.find(name);
    return it == valueIndex_.end() ? nullptr : &values[it->second];
}

void RegKey::SetValue(const RegValue &v) {
    if (const RegValue *old = FindValue(v.name)) {
        RegValue &slot = values[static_cast<size_t>(old - values.data())];
        slot.type = v.type;
        slot.data = v.data; // the name keeps the case it was created with
        return;
    }
    values.push_back(v);
    if (valueIndex_.size() + 1 == values.size()) valueIndex_.emplace(v.name, values.size() - 1);
}

bool RegKey::RemoveValue(const std::string &name) {
    const RegValue *v = FindValue(name);
    if (!v) return false;
    values.erase(values.begin() + (v - values.data()));
    valueIndex_.clear(); // positions shifted; rebuilt on the next lookup
    return true;
}

bool RegKey::RemoveSubkey(const std::string &subkeyName) {
    RegKey *k = FindView(subkeyName);
    if (!k) return false;
    if (subkeyIndex_.size() == subkeys.size()) subkeyIndex_.erase(std::string_view(k->name));
    else subkeyIndex_.clear();
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it)
        if (it->get() == k) {
            subkeys.erase(it);
            break;
        }
    return true;
}

std::string RegKey::Path() const {
    if (!parent) return name;
    return parent->Path() + "\\" + name;
}

// --- The registry ---------------------------------------------------------

Registry::Registry() {
    for (const RootName &r : kRoots) {
        auto k = std::make_unique<RegKey>();
        k->name = r.name;
        roots_.push_back(std::move(k));
    }
}

namespace {

std::unique_ptr<RegKey> CloneKey(const RegKey &from, RegKey *parent) {
    auto k = std::make_unique<RegKey>();
    k->name = from.name;
    k->parent = parent;
    k->values = from.values;
    k->subkeys.reserve(from.subkeys.size());
    for (const auto &sub : from.subkeys) k->subkeys.push_back(CloneKey(*sub, k.get()));
    return k;
}

} // namespace

Registry::Registry(const Registry &other) {
    for (const auto &r : other.roots_) roots_.push_back(CloneKey(*r, nullptr));
    for (const RegKey *o : other.rootOrder_)
        for (size_t i = 0; i < other.roots_.size(); ++i)
            if (other.roots_[i].get() == o) rootOrder_.push_back(roots_[i].get());
}

Registry &Registry::operator=(const Registry &other) {
    if (this != &other) *this = Registry(other);
    return *this;
}

RegKey *Registry::Root(const std::string &rootName) {
    for (size_t i = 0; i < roots_.size(); ++i)
        if (SameName(rootName, kRoots[i].name) || SameName(rootName, kRoots[i].shortName))
            return roots_[i].get();
    return nullptr;
}

RegKey *Registry::Root(HKEY predefined) {
    uintptr_t h = reinterpret_cast<uintptr_t>(predefined);
    for (size_t i = 0; i < roots_.size(); ++i)
        if (kRoots[i].handle == h) return roots_[i].get();
    return nullptr;
}

void Registry::NoteRoot(RegKey *root) {
    for (RegKey *r : rootOrder_)
        if (r == root) return;
    rootOrder_.push_back(root);
}

std::vector<const RegKey *> Registry::SavedRoots() const {
    std::vector<const RegKey *> out(rootOrder_.begin(), rootOrder_.end());
    for (const auto &r : roots_) {
        bool listed = false;
        for (const RegKey *o : out) listed = listed || o == r.get();
        if (!listed && (!r->subkeys.empty() || !r->values.empty())) out.push_back(r.get());
    }
    return out;
}

RegKey *Registry::FindBelow(RegKey *key, const std::string &relPath) {
    ForEachComponent(relPath, [&](std::string_view c) {
        key = key ? key->FindView(c) : nullptr;
        return key != nullptr;
    });
    return key;
}

RegKey *Registry::FindPath(const std::string &fullPath) const {
    std::string_view root, rest;
    SplitRoot(fullPath, root, rest);
    RegKey *key = const_cast<Registry *>(this)->Root(std::string(root));
    return key ? FindBelow(key, std::string(rest)) : nullptr;
}

RegKey *Registry::CreatePath(const std::string &fullPath) {
    std::string_view root, rest;
    SplitRoot(fullPath, root, rest);
    RegKey *key = Root(std::string(root));
    if (!key) return nullptr;
    NoteRoot(key);
    ForEachComponent(rest, [&](std::string_view c) {
        key = key->CreateView(c);
        return true;
    });
    return key;
}

bool Registry::DeletePath(const std::string &fullPath) {
    RegKey *key = FindPath(fullPath);
    if (!key || !key->parent) return false; // absent, or a root: roots stay
    return key->parent->RemoveSubkey(key->name);
}

// --- Loading REGEDIT4 -----------------------------------------------------

namespace {

[[noreturn]] void Malformed(int line, const std::string &what) {
    throw MachineError{"registry.reg line " + std::to_string(line) + ": " + what};
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

inline int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

// 1..8 hex digits, nothing else.
bool ParseHexNumber(std::string_view s, DWORD &out) {
    if (s.empty() || s.size() > 8) return false;
    DWORD v = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    out = v;
    return true;
}

// A quoted text at the start of s: its unescaped content, and s moved past
// the closing quote.
void ParseQuoted(std::string_view &s, std::string &out, int line) {
    out.clear();
    size_t i = 1; // past the opening quote
    for (;;) {
        if (i >= s.size()) Malformed(line, "unterminated string");
        char c = s[i++];
        if (c == '"') break;
        if (c == '\\') {
            if (i >= s.size()) Malformed(line, "unterminated string");
            char e = s[i++];
            if (e != '\\' && e != '"')
                Malformed(line, std::string("bad escape \\") + e + " in string (write \\\\ for a backslash)");
            c = e;
        }
        out += c;
    }
    s.remove_prefix(i);
}

// "aa,bb,..." (blanks allowed around the bytes); empty is no bytes.
void ParseHexBytes(std::string_view s, std::string &out, int line) {
    out.clear();
    out.reserve(s.size() / 3 + 1);
    size_t i = 0, n = s.size();
    while (i < n && IsBlank(s[i])) ++i;
    if (i == n) return;
    for (;;) {
        while (i < n && IsBlank(s[i])) ++i;
        int hi = i < n ? HexDigit(s[i]) : -1;
        if (hi < 0) Malformed(line, "bad hex data (expected a byte such as 0a)");
        ++i;
        int lo = i < n ? HexDigit(s[i]) : -1;
        int byte = hi;
        if (lo >= 0) {
            byte = hi * 16 + lo;
            ++i;
        }
        out += static_cast<char>(byte);
        while (i < n && IsBlank(s[i])) ++i;
        if (i == n) return;
        if (s[i] != ',') Malformed(line, "bad hex data (bytes are separated by commas)");
        ++i;
    }
}

struct Loader {
    explicit Loader(Registry &r) : reg(r) {}
    Registry &reg;
    RegKey *current = nullptr;
    bool inDeletedSection = false;
    std::string name, data; // reused buffers

    void Section(std::string_view line, int n) {
        if (line.size() < 2 || line.back() != ']')
            Malformed(n, "bad section header (expected [ROOT\\path])");
        std::string_view inner = line.substr(1, line.size() - 2);
        bool deleting = !inner.empty() && inner.front() == '-';
        if (deleting) inner.remove_prefix(1);
        std::string_view root, rest;
        SplitRoot(inner, root, rest);
        RegKey *key = reg.Root(std::string(root));
        if (!key) Malformed(n, "unknown root key \"" + std::string(root) + "\"");
        if (deleting) {
            if (rest.find_first_not_of('\\') == std::string_view::npos)
                Malformed(n, "a root key can't be deleted");
            reg.DeletePath(std::string(inner));
            current = nullptr;
            inDeletedSection = true;
            return;
        }
        current = reg.CreatePath(std::string(inner));
        inDeletedSection = false;
    }

    void Value(std::string_view line, int n) {
        if (!current)
            Malformed(n, inDeletedSection ? "value line in a deleting section" : "value line before any section");
        if (line.front() == '@') {
            name.clear();
            line.remove_prefix(1);
        } else {
            ParseQuoted(line, name, n);
        }
        line = Trim(line);
        if (line.empty() || line.front() != '=') Malformed(n, "expected = after the value name");
        line = Trim(line.substr(1));

        RegValue v;
        if (line == "-") {
            current->RemoveValue(name);
            return;
        }
        if (!line.empty() && line.front() == '"') {
            ParseQuoted(line, data, n);
            if (!Trim(line).empty()) Malformed(n, "text after the closing quote");
            v.type = REG_SZ;
            data += '\0';
        } else if (StartsWithNoCase(line, "dword:")) {
            DWORD d;
            if (!ParseHexNumber(Trim(line.substr(6)), d))
                Malformed(n, "bad dword (expected dword:XXXXXXXX, 1 to 8 hex digits)");
            v.type = REG_DWORD;
            data.assign(4, '\0');
            for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((d >> (8 * i)) & 0xff);
        } else if (StartsWithNoCase(line, "hex:")) {
            v.type = REG_BINARY;
            ParseHexBytes(line.substr(4), data, n);
        } else if (StartsWithNoCase(line, "hex(")) {
            size_t close = line.find("):");
            if (close == std::string_view::npos || !ParseHexNumber(line.substr(4, close - 4), v.type))
                Malformed(n, "bad hex type (expected hex(N):aa,bb with N in hex)");
            ParseHexBytes(line.substr(close + 2), data, n);
        } else {
            Malformed(n, "bad value (expected \"text\", dword:, hex:, hex(N): or -)");
        }
        v.name = name;
        v.data.swap(data);
        current->SetValue(v);
    }

    void Line(std::string_view line, int n) {
        char c = line.front();
        if (c == '[') Section(line, n);
        else if (c == '"' || c == '@') Value(line, n);
        else Malformed(n, "expected a [section], a \"name\"= or @= line, or a ; comment");
    }
};

} // namespace

void Registry::Load(const std::string &text) {
    Loader loader(*this);
    std::string logical;   // a line with its continuations joined
    int logicalStart = 0;  // its first physical line
    bool continuing = false;
    bool header = false;
    int lineNo = 0;
    size_t pos = 0, size = text.size();

    if (size >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3; // a stray UTF-8 mark

    while (pos < size) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string::npos ? size : nl;
        std::string_view physical(text.data() + pos, end - pos);
        pos = nl == std::string::npos ? size : nl + 1;
        ++lineNo;
        if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
        std::string_view line = Trim(physical);

        if (!header) {
            if (line.empty()) continue;
            if (line != "REGEDIT4") Malformed(lineNo, "missing REGEDIT4 header");
            header = true;
            continue;
        }
        if (!continuing) {
            if (line.empty() || line.front() == ';') continue;
            logical.assign(line.data(), line.size());
            logicalStart = lineNo;
        } else {
            logical.append(line.data(), line.size());
        }
        // A section header never continues: a key name can't end in a backslash.
        if (!logical.empty() && logical.back() == '\\' && logical.front() != '[') {
            logical.pop_back();
            continuing = true;
            continue;
        }
        continuing = false;
        loader.Line(logical, logicalStart);
    }
    if (!header) Malformed(lineNo ? lineNo : 1, "missing REGEDIT4 header");
    if (continuing && !logical.empty()) loader.Line(logical, logicalStart);
}

// --- Saving REGEDIT4 ------------------------------------------------------

namespace {

const char kHex[] = "0123456789abcdef";

void AppendQuoted(std::string &out, const std::string &s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// A REG_SZ can be written as "text" when reading it back gives the same
// bytes: one terminating NUL, and no byte inside that a line can't carry.
bool QuotableString(const std::string &d) {
    if (d.empty() || d.back() != '\0') return false;
    for (size_t i = 0; i + 1 < d.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(d[i]);
        if (c < 0x20 && c != '\t') return false;
    }
    return true;
}

void AppendHexBytes(std::string &out, const std::string &d, size_t lineStart) {
    for (size_t i = 0; i < d.size(); ++i) {
        if (i > 0 && out.size() - lineStart + 3 > kHexColumns) {
            out += "\\\r\n  ";
            lineStart = out.size() - 2;
        }
        unsigned char c = static_cast<unsigned char>(d[i]);
        out += kHex[c >> 4];
        out += kHex[c & 15];
        if (i + 1 < d.size()) out += ',';
    }
}

void AppendValue(std::string &out, const RegValue &v) {
    size_t lineStart = out.size();
    if (v.name.empty()) out += '@';
    else AppendQuoted(out, v.name);
    out += '=';
    if (v.type == REG_SZ && QuotableString(v.data)) {
        out += '"';
        for (size_t i = 0; i + 1 < v.data.size(); ++i) {
            char c = v.data[i];
            if (c == '\\' || c == '"') out += '\\';
            out += c;
        }
        out += '"';
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = 0;
        for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(d >> shift) & 15];
    } else {
        if (v.type == REG_BINARY) {
            out += "hex:";
        } else {
            out += "hex(";
            char num[9];
            int n = 0;
            DWORD t = v.type;
            do {
                num[n++] = kHex[t & 15];
                t >>= 4;
            } while (t);
            while (n) out += num[--n];
            out += "):";
        }
        AppendHexBytes(out, v.data, lineStart);
    }
    out += "\r\n";
}

void AppendKey(std::string &out, const RegKey &key, std::string &path) {
    out += '[';
    out += path;
    out += "]\r\n";
    for (const RegValue &v : key.values) AppendValue(out, v);
    out += "\r\n";
    for (const auto &sub : key.subkeys) {
        size_t keep = path.size();
        path += '\\';
        path += sub->name;
        AppendKey(out, *sub, path);
        path.resize(keep);
    }
}

void CollectPaths(std::vector<std::string> &out, const RegKey &key, std::string &path) {
    out.push_back(path);
    for (const auto &sub : key.subkeys) {
        size_t keep = path.size();
        path += '\\';
        path += sub->name;
        CollectPaths(out, *sub, path);
        path.resize(keep);
    }
}

} // namespace

std::string Registry::Save() const {
    std::string out;
    out.reserve(64 * 1024);
    out += "REGEDIT4\r\n\r\n";
    std::string path;
    path.reserve(512);
    for (const RegKey *root : SavedRoots()) {
        path = root->name;
        AppendKey(out, *root, path);
    }
    return out;
}

std::vector<std::string> Registry::AllKeyPaths() const {
    std::vector<std::string> out;
    std::string path;
    for (const RegKey *root : SavedRoots()) {
        path = root->name;
        CollectPaths(out, *root, path);
    }
    return out;
}

} // namespace sim
