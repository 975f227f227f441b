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
#include <vector>

#include "platform.h"

namespace sim {

struct RegValue {
    std::string name;   // "" is the default value (@)
    DWORD type = 1;     // REG_SZ
    std::string data;   // raw bytes; a REG_SZ holds its terminating NUL
};

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
    std::string Path() const;                               // "HKEY_LOCAL_MACHINE\Enum\PCI"
};

class Registry {
public:
    Registry();

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

    // REGEDIT4 text: "REGEDIT4", [ROOT\path] sections, "name"= / @= lines
    // with "text" (\\ and \" escapes), dword:XXXXXXXX, hex:aa,bb and
    // hex(N):aa,bb, a trailing backslash continuing a line; ';' comments and
    // blank lines are skipped; [-ROOT\path] deletes a tree. A section creates
    // its key and missing parents. Throws MachineError("registry.reg line N:
    // ...") on a malformed line.
    void Load(const std::string &text);

    // Every key of every root that holds anything as a section (empty keys
    // too), depth first in enumeration order, values in their order, CR LF
    // line ends, a blank line after each section.
    std::string Save() const;

    // Every key path (with root), depth first; for diffs.
    std::vector<std::string> AllKeyPaths() const;

private:
    std::vector<std::unique_ptr<RegKey>> roots_;
};

} // namespace sim
