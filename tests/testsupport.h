// testsupport.h - small helpers that several suites share.
#pragma once

#include <string>

#include "sim.h"

namespace testsupport {

// Registry paths in tests are written with their root.
inline const std::string kHklm = "HKEY_LOCAL_MACHINE\\";

// The folder of a bundled sample PC.
inline std::string SamplePath(const std::string &name)
{
    return std::string(IDE_SOURCE_DIR) + "/samples/" + name;
}

// A registry key (a path with its root) or a file is on the PC.
inline bool Exists(const sim::Pc &pc, const std::string &path)
{
    return path.rfind("HKEY_", 0) == 0 ? pc.HasKey(path) : pc.File(path).has_value();
}

// A text with each "\n" as CR LF, as a text-mode write puts it on disk.
inline std::string Crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace testsupport
