// registry.h - the simulated registry: a tree of keys under the roots
// (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...), REGEDIT4 text in and out.
//
// Keys and value names match ignoring case and keep the case they were
// created with. Subkeys enumerate in creation order, as a real registry
// does; values keep their order too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform.h"

namespace sim {

struct RegValue {
    std::string name;   // "" is the default value (@)
    DWORD type = 1;     // REG_SZ
    std::string data;   // raw bytes; a REG_SZ holds its terminating NUL
};

// Hash and equality of names ignoring (ASCII) case.
struct NameHash {
    size_t operator()(std::string_view s) const;
};
struct NameEqual {
    bool operator()(std::string_view a, std::string_view b) const;
};
bool SameName(std::string_view a, std::string_view b); // ignoring case

struct RegKey {
    std::string name;
    RegKey *parent = nullptr;
    std::vector<std::unique_ptr<RegKey>> subkeys; // creation order
    std::vector<RegValue> values;                 // insertion order

    RegKey *Find(const std::string &subkeyName) const;     // one component, ignoring case
    RegKey *Create(const std::string &subkeyName);          // one component; existing or new
    const RegValue *FindValue(const std::string &name) const;
    void SetValue(const RegValue &v);                       // replace (keeping position) or append
    bool RemoveSubkey(const std::string &subkeyName);       // takes the tree
    bool RemoveValue(const std::string &name);              // false when absent
    std::string Path() const;                               // "HKEY_LOCAL_MACHINE\Enum\PCI"

    // Lookup indexes, built once a key holds many subkeys or values, so that
    // loading a large export stays linear. The member functions keep them up
    // to date; edit `subkeys` and `values` through them.
private:
    friend class Registry;
    RegKey *FindView(std::string_view subkeyName) const;
    RegKey *CreateView(std::string_view subkeyName);
    mutable std::unordered_map<std::string_view, RegKey *, NameHash, NameEqual> subkeyIndex_;
    mutable std::unordered_map<std::string, size_t, NameHash, NameEqual> valueIndex_;
    void IndexSubkeys() const;
    void IndexValues() const;
};

class Registry {
public:
    Registry();
    Registry(const Registry &other);            // a deep copy
    Registry &operator=(const Registry &other);
    Registry(Registry &&) = default;
    Registry &operator=(Registry &&) = default;

    // The root key for a root name ("HKEY_LOCAL_MACHINE", also "HKLM"), or
    // for a predefined handle; nullptr when unknown.
    RegKey *Root(const std::string &rootName);
    RegKey *Root(HKEY predefined);

    // Full paths "HKEY_LOCAL_MACHINE\A\B".
    RegKey *FindPath(const std::string &fullPath) const;
    RegKey *CreatePath(const std::string &fullPath);        // with missing parents
    bool DeletePath(const std::string &fullPath);           // takes the tree

    // Relative paths below a key ("Enum\PCI"); empty path is the key itself.
    static RegKey *FindBelow(RegKey *key, const std::string &relPath);

    // REGEDIT4 text: "REGEDIT4" as the first non-empty line, [ROOT\path]
    // sections, "name"= / @= lines with "text" (\\ and \" the only
    // escapes), dword:XXXXXXXX, hex:aa,bb and hex(N):aa,bb, or - to delete
    // the value; a trailing backslash continues a line (not a comment or a
    // section header), leading blanks of the continuation ignored; ';'
    // comments and blank lines are skipped; [-ROOT\path] deletes a tree. A
    // section creates its key and missing parents. CR LF or LF line ends.
    // Throws MachineError("registry.reg line N: ...") on a malformed line,
    // N being the first line of a continued one.
    void Load(const std::string &text);

    // "REGEDIT4", a blank line, then every key as a section (empty keys
    // too), depth first in enumeration order, values in their order, CR LF
    // line ends, a blank line after each section. The roots come in the
    // order they were first named or given keys; a root once named is
    // written even when empty. A REG_SZ that "text" can't carry exactly (no
    // single terminating NUL, or a control character other than tab inside)
    // is written as hex(1):; long hex data is folded as regedit folds it.
    // Load(Save()) gives back the same tree.
    std::string Save() const;

    // Every key path (with root) of the keys Save writes, depth first; for
    // diffs.
    std::vector<std::string> AllKeyPaths() const;

private:
    std::vector<std::unique_ptr<RegKey>> roots_;
    // Roots in the order they were first given keys or named by a loaded
    // text; Save writes them in this order, then any other root that holds
    // anything.
    std::vector<RegKey *> rootOrder_;
    void NoteRoot(RegKey *root);
    std::vector<const RegKey *> SavedRoots() const;
};

} // namespace sim
